#include "xsession.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>

namespace vantrel::test
{

XSession::~XSession()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        m_xvfb.waitForFinished(5000);
    }
}

bool XSession::start()
{
    for (const char* tool : {"Xvfb", "xdotool"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            m_why = QStringLiteral("%1 is missing: install the test tools with "
                                   "scripts/install-deps.sh")
                        .arg(QLatin1String(tool));
            return false;
        }
    // -noreset: the server keeps serving after the program, its last client, leaves.
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_xvfb.waitForReadyRead(10000)) {
        m_why = QStringLiteral("Xvfb did not start");
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(m_xvfb.readLine().trimmed());
    return true;
}

bool XSession::startApp(QProcess& app, const QString& device,
                        const QProcessEnvironment& extra) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(extra);
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("VANTREL_COM1"), device);
    app.setProcessEnvironment(env);
    app.start(qEnvironmentVariable("VANTREL_BIN"), {});
    return app.waitForStarted(5000);
}

QByteArray XSession::xdo(const QStringList& args) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return p.readAllStandardOutput().trimmed();
}

QString XSession::window(const QString& caption, int ms) const
{
    QElapsedTimer t;
    t.start();
    do {
        const QByteArray ids =
            xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--name"), QLatin1Char('^') + caption + QLatin1Char('$')});
        if (!ids.isEmpty())
            return QString::fromLatin1(ids.split('\n').last());
        QTest::qWait(100);
    } while (t.elapsed() < ms);
    return {};
}

void XSession::focus(const QString& id) const
{
    xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
}

void XSession::clickAt(const QString& id, int x, int y) const
{
    xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), id, QString::number(x),
         QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

void XSession::keys(const QStringList& names) const
{
    xdo(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} +
        names);
}

void XSession::typeText(const QString& text) const
{
    xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"), text});
}

int XSession::menuBarHeight(const QString& id, int clientHeight) const
{
    const QByteArray geometry = xdo({QStringLiteral("getwindowgeometry"), id});
    const int at = geometry.indexOf("Geometry: ");
    if (at < 0)
        return 0;
    const QByteArray size = geometry.mid(at + 10).split('\n').first();
    return size.split('x').value(1).toInt() - clientHeight;
}

} // namespace vantrel::test

#include "atspisession.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

namespace vantrel::test
{

namespace
{
constexpr int kStartMs = 10000;
constexpr int kStopMs = 5000;
constexpr int kProbeSlackSeconds = 15; // the probe's own start and its last look

void stop(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(kStopMs)) {
        p.kill();
        p.waitForFinished(kStopMs);
    }
}
} // namespace

AtspiSession::~AtspiSession()
{
    stop(m_launcher); // takes the AT-SPI bus (and with it the registry) along
    stop(m_bus);
}

bool AtspiSession::start(const QString& display)
{
    m_display = display;
    // Debian's own Python has the AT-SPI bindings; another first in PATH may not.
    m_python =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    const QString launcher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (m_python.isEmpty() || daemon.isEmpty() || !QFileInfo(launcher).isExecutable() ||
        QProcess::execute(m_python, {QStringLiteral("-c"),
                                     QStringLiteral("import gi; gi.require_version('Atspi', "
                                                    "'2.0'); from gi.repository import Atspi")}) !=
            0) {
        m_why = QStringLiteral("the AT-SPI bus or its Python bindings are missing: install the "
                               "test tools with scripts/install-deps.sh");
        return false;
    }
    if (!m_runtime.isValid()) {
        m_why = QStringLiteral("no runtime folder");
        return false;
    }
    m_bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                         QStringLiteral("--print-address=1")});
    if (!m_bus.waitForReadyRead(kStartMs)) {
        m_why = QStringLiteral("the session bus did not start");
        return false;
    }
    m_address = QString::fromLatin1(m_bus.readLine().trimmed());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("DISPLAY"), m_display);
    m_launcher.setProcessEnvironment(env);
    m_launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_launcher.start(launcher, {QStringLiteral("--launch-immediately")});
    if (!m_launcher.waitForStarted(kStartMs)) {
        m_why = QStringLiteral("the AT-SPI bus launcher did not start");
        return false;
    }
    // The AT-SPI bus is there once the launcher answers for it on the session bus.
    QString said;
    if (!probe({QStringLiteral("bus")}, said, kStartMs / 1000)) {
        m_why = QStringLiteral("the AT-SPI bus did not come up: ") + said;
        return false;
    }
    return true;
}

QProcessEnvironment AtspiSession::environment() const
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
    return env;
}

bool AtspiSession::probe(const QStringList& args, QString& said, int seconds) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(environment());
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(m_python, QStringList{qEnvironmentVariable("VANTREL_A11Y_PROBE")} + args);
    if (!p.waitForFinished((seconds + kProbeSlackSeconds) * 1000)) {
        p.kill();
        p.waitForFinished(kStopMs);
        said = QStringLiteral("the probe did not finish");
        return false;
    }
    said = QString::fromUtf8(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool AtspiSession::waitFor(qint64 pid, const QString& window, const QString& control,
                           const QString& what, const QString& pattern, QString& read,
                           int seconds) const
{
    return probe({QStringLiteral("wait"), QStringLiteral("--pid"), QString::number(pid),
                  QStringLiteral("--window"), window, QStringLiteral("--control"), control,
                  QStringLiteral("--read"), what, QStringLiteral("--expect"), pattern,
                  QStringLiteral("--timeout"), QString::number(seconds)},
                 read, seconds);
}

bool AtspiSession::press(qint64 pid, const QString& window, const QString& control, QString& said,
                         const QString& until, int seconds) const
{
    QStringList args{QStringLiteral("press"),
                     QStringLiteral("--pid"),
                     QString::number(pid),
                     QStringLiteral("--window"),
                     window,
                     QStringLiteral("--control"),
                     control};
    if (!until.isEmpty())
        args << QStringLiteral("--until") << until << QStringLiteral("--timeout")
             << QString::number(seconds);
    return probe(args, said, seconds);
}

bool AtspiSession::focus(qint64 pid, const QString& window, const QString& control,
                         QString& said) const
{
    return probe({QStringLiteral("focus"), QStringLiteral("--pid"), QString::number(pid),
                  QStringLiteral("--window"), window, QStringLiteral("--control"), control},
                 said, 20);
}

QList<std::optional<QString>> AtspiSession::read(qint64 pid, const QString& window,
                                                 const QStringList& controls,
                                                 const QString& what) const
{
    QString said;
    QList<std::optional<QString>> out;
    if (!probe(QStringList{QStringLiteral("read"), QStringLiteral("--pid"), QString::number(pid),
                           QStringLiteral("--window"), window, QStringLiteral("--read"), what} +
                   controls,
               said, 20))
        return out;
    const QJsonArray values = QJsonDocument::fromJson(said.toUtf8()).array();
    for (const QJsonValue& v : values)
        out << (v.isString() ? std::optional<QString>(v.toString()) : std::nullopt);
    return out;
}

bool AtspiSession::enter(qint64 pid, const QString& title, const QString& text) const
{
    QString said;
    return probe({QStringLiteral("enter"), QStringLiteral("--pid"), QString::number(pid),
                  QStringLiteral("--title"), title, QStringLiteral("--text"), text},
                 said, 20);
}

} // namespace vantrel::test

#include "atspiprogram.h"

#include <QTest>

namespace vantrel::test
{

bool AtspiProgram::start()
{
    if (!x.start()) {
        m_why = x.why();
        return false;
    }
    if (!bus.start(x.display())) {
        m_why = bus.why();
        return false;
    }
    sim.start(qEnvironmentVariable("VANTREL_SIM"), {});
    if (!sim.waitForReadyRead(5000)) {
        m_why = QStringLiteral("the simulated controller named no port");
        return false;
    }
    device = QString::fromLatin1(sim.readLine().trimmed());
    return true;
}

void AtspiProgram::stop()
{
    for (QProcess* p : {&app, &sim}) {
        p->kill();
        p->waitForFinished(5000);
    }
}

QString AtspiProgram::startAtCarScreen()
{
    if (app.state() != QProcess::NotRunning) {
        app.kill();
        app.waitForFinished(5000);
    }
    if (!x.startApp(app, device, bus.environment()))
        return {};
    const QString splash = x.window(QStringLiteral("Vantrel"));
    if (splash.isEmpty())
        return {};
    x.focus(splash);
    x.keys({QStringLiteral("space")});
    const QString menu = x.window(QStringLiteral("Vantrel Menu"));
    if (menu.isEmpty())
        return {};
    x.clickAt(menu, 40, 10); // "Car diagnostics" on the menu bar
    return x.window(QStringLiteral("Vantrel Car"));
}

void AtspiProgram::expect(const QString& window, const QString& control, const QString& what,
                          const QString& pattern)
{
    QString read;
    QVERIFY2(bus.waitFor(app.processId(), window, control, what, pattern, read),
             qPrintable(window + QLatin1Char('/') + control + QStringLiteral(": ") + read));
}

void AtspiProgram::press(const QString& window, const QString& control)
{
    QString said;
    QVERIFY2(bus.press(app.processId(), window, control, said), qPrintable(said));
}

void AtspiProgram::enterIn(const QString& from, const QStringList& keys, const QString& title,
                           const QString& text)
{
    x.focus(from);
    x.keys(keys);
    const QString opened = x.window(title);
    QVERIFY2(!opened.isEmpty(), qPrintable(title));
    QVERIFY(bus.enter(app.processId(), title, text));
    x.focus(opened);
    x.keys({QStringLiteral("Return")});
}

} // namespace vantrel::test

// The real program, as built for this run, polling the simulated controller for
// minutes with a capture log on: long enough for the terminal to be cut several
// times. Built with the sanitizers, any report of theirs fails the run.
#include "ptyfixture.h"
#include "xsession.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel::test;

namespace
{
constexpr int kMinimumSeconds = 120;
// The terminal is cut by 4096 characters once it holds 16384: three cuts at least.
constexpr qint64 kLoggedForCuts = 16384 + 3 * 4096;
} // namespace

class TestAppPolling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pollsForMinutesWithoutAFault()
    {
        XSession x;
        QVERIFY2(x.start(), qPrintable(x.why()));
        SimController sim;
        QVERIFY2(!sim.device.isEmpty(), qPrintable(sim.why));
        QProcess app;
        app.setProcessChannelMode(QProcess::MergedChannels);
        QVERIFY(x.startApp(app, sim.device));

        x.focus(x.window(QStringLiteral("Vantrel")));
        x.keys({QStringLiteral("space")});
        x.clickAt(x.window(QStringLiteral("Vantrel Menu")), 40, 10);
        const QString car = x.window(QStringLiteral("Vantrel Car"));
        QVERIFY(!car.isEmpty());
        // The client area is 475 pixels high at 96 dpi; "pmi 1" sits at 8,320.
        const int top = x.menuBarHeight(car, 475);
        x.clickAt(car, 20, top + 335);

        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("polling.log"));
        x.focus(car);
        x.keys({QStringLiteral("alt+f"), QStringLiteral("o")});
        const QString dialog = x.window(QStringLiteral("Open Communications Log File"));
        QVERIFY(!dialog.isEmpty());
        x.focus(dialog);
        QTest::qWait(500); // the dialog settles its own focus on the file name
        x.typeText(log);
        x.keys({QStringLiteral("Return")});
        QVERIFY(!x.window(QStringLiteral("Comm Terminal - polling.log")).isEmpty());

        QElapsedTimer running;
        running.start();
        while (running.elapsed() < kMinimumSeconds * 1000 ||
               QFileInfo(log).size() < kLoggedForCuts) {
            QVERIFY2(app.state() == QProcess::Running, app.readAll().constData());
            QVERIFY2(running.elapsed() < 2 * kMinimumSeconds * 1000,
                     qPrintable(QStringLiteral("only %1 bytes logged").arg(QFileInfo(log).size())));
            QTest::qWait(1000);
        }
        x.focus(x.window(QStringLiteral("Comm Terminal - polling.log")));
        x.keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        QVERIFY(app.waitForFinished(20000));
        const QByteArray said = app.readAll();
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QVERIFY2(app.exitCode() == 0, said.constData());
        for (const char* report : {"Sanitizer", "runtime error"})
            QVERIFY2(!said.contains(report), said.constData());
    }
};

QTEST_MAIN(TestAppPolling)
#include "tst_app_polling.moc"

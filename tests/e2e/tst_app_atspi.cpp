// What a screen reader reads of the real program, from outside it over AT-SPI, while a
// technician works with the simulated controller: the terminal's text, a signal value,
// the window's caption, the replay's pace box and the status line after the port is lost.
#include "atspisession.h"
#include "xsession.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel::test;

class TestAppAtspi : public QObject
{
    Q_OBJECT

    XSession x;
    AtspiSession bus;
    QProcess sim;
    QProcess app;
    QTemporaryDir logs;
    QString car; // the car screen's window, whatever its caption says

    // Reads a control until it shows what is expected; fails the test with what it read.
    void expect(const QString& window, const QString& control, const QString& what,
                const QString& pattern)
    {
        QString read;
        QVERIFY2(bus.waitFor(app.processId(), window, control, what, pattern, read),
                 qPrintable(window + QLatin1Char('/') + control + QStringLiteral(": ") + read));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(x.start(), qPrintable(x.why()));
        QVERIFY2(bus.start(x.display()), qPrintable(bus.why()));
        sim.start(qEnvironmentVariable("VANTREL_SIM"), {});
        QVERIFY(sim.waitForReadyRead(5000));
        QVERIFY(x.startApp(app, QString::fromLatin1(sim.readLine().trimmed()), bus.environment()));
        const QString splash = x.window(QStringLiteral("Vantrel"));
        QVERIFY2(!splash.isEmpty(), app.readAllStandardError().constData());
        x.focus(splash);
        x.keys({QStringLiteral("space")});
        const QString menu = x.window(QStringLiteral("Vantrel Menu"));
        QVERIFY(!menu.isEmpty());
        x.clickAt(menu, 40, 10); // "Car diagnostics" on the menu bar
        car = x.window(QStringLiteral("Vantrel Car"));
        QVERIFY(!car.isEmpty());
    }
    void cleanupTestCase()
    {
        for (QProcess* p : {&app, &sim}) {
            p->kill();
            p->waitForFinished(5000);
        }
    }

    void aSignalValueReadsAfterADump()
    {
        QString said;
        QVERIFY2(
            bus.press(app.processId(), QStringLiteral("Form1"), QStringLiteral("Command1"), said),
            qPrintable(said));
        // At rest on landing 1 the door-closed signal GV is set.
        expect(QStringLiteral("Form1"), QStringLiteral("lbl3_1"), QStringLiteral("name"),
               QStringLiteral("GV, 1"));
    }

    void theTerminalReadsWhatTheControllerAnswered()
    {
        // The poll's command echoed, the controller's answer and its dump, each line once.
        expect(QStringLiteral("Form1"), QStringLiteral("Term"), QStringLiteral("text"),
               QStringLiteral(".*pmii\\n> PMII\\nPMI #  = = = = = = = = = = = = = = = =\\n.*"));
    }

    void theWindowReadsItsCaption_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("caption");
        QTest::newRow("after a capture log was opened") << "log"
                                                        << "Comm Terminal - access.log";
        QTest::newRow("while the stress test runs") << "stress"
                                                    << "Stress Test";
    }
    void theWindowReadsItsCaption()
    {
        QFETCH(QString, step);
        QFETCH(QString, caption);
        const QString form1 = QStringLiteral("Form1");
        if (step == u"log") {
            // File > Open Log File..., the path into the real file dialog, Enter.
            x.focus(car);
            x.keys({QStringLiteral("alt+f"), QStringLiteral("o")});
            const QString title = QStringLiteral("Open Communications Log File");
            const QString dialog = x.window(title);
            QVERIFY(!dialog.isEmpty());
            QVERIFY(bus.enter(app.processId(), title, logs.filePath(QStringLiteral("access.log"))));
            x.focus(dialog);
            x.keys({QStringLiteral("Return")});
            expect(form1, form1, QStringLiteral("name"), caption);
            return;
        }
        // The poll cycle switches the stress test's timer on by itself, so a press may
        // switch it off first: pressed until the caption says it runs.
        QString read;
        QVERIFY2(bus.press(app.processId(), form1, QStringLiteral("Command6"), read, caption),
                 qPrintable(read));
        expect(form1, form1, QStringLiteral("name"), caption);
    }

    void theReplayPaceBoxReadsItsInterval()
    {
        // File > Replay Log File: the third entry, with Close Log File between.
        x.focus(car);
        x.keys({QStringLiteral("alt+f"), QStringLiteral("Down"), QStringLiteral("Down"),
                QStringLiteral("Return")});
        expect(QStringLiteral("replay"), QStringLiteral("Text5"), QStringLiteral("text"),
               QStringLiteral("1000"));
    }

    void theStatusLineReadsThatThePortWasLost()
    {
        // The controller goes away, and its device with it.
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        expect(QStringLiteral("Form1"), QStringLiteral("Label1"), QStringLiteral("name"),
               QStringLiteral("Port 1 lost: .* is gone"));
    }
};

QTEST_MAIN(TestAppAtspi)
#include "tst_app_atspi.moc"

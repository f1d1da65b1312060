// What a screen reader reads of the real program, from outside it over AT-SPI, while a
// technician works with the simulated controller: the terminal's text, a signal value,
// the window's caption, the replay's pace box, the replay taken to a fault chosen on the
// timeline, and the status line after the port is lost.
#include "atspiprogram.h"
#include "core/crlftext.h"
#include "core/logindex.h"
#include "testlogs.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestAppAtspi : public QObject, AtspiProgram
{
    Q_OBJECT

    QTemporaryDir logs;
    QString car; // the car screen's window, whatever its caption says
    QString replayWindow;

    // The keys that open a log dialog from a window, then the path into the real dialog.
    void chooseLog(const QString& from, const QStringList& keys, const QString& path)
    {
        enterIn(from, keys, QStringLiteral("Open Communications Log File"), path);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(start(), qPrintable(why()));
        car = startAtCarScreen();
        QVERIFY2(!car.isEmpty(), app.readAllStandardError().constData());
    }
    void cleanupTestCase() { stop(); }

    void aSignalValueReadsAfterADump()
    {
        press(QStringLiteral("Form1"), QStringLiteral("Command1"));
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
            chooseLog(car, {QStringLiteral("alt+f"), QStringLiteral("o")},
                      logs.filePath(QStringLiteral("access.log")));
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
        replayWindow = x.window(QStringLiteral("Vantrel Car"));
    }

    // A day's capture with its times: the timeline's first fault, chosen in its list with
    // the keys, takes the replay to that moment, with the dump that came before it in the
    // grid, as playing up to it would show.
    void theTimelineTakesTheReplayToAFault()
    {
        QVERIFY(!replayWindow.isEmpty());
        const QString path = writeLog(logs.path(), 5, 900, true);
        const auto built = buildLogIndex(path);
        QVERIFY2(built, qPrintable(built.why()));
        const LogIndex& index = **built;
        QVERIFY(index.timeline().faults().size() > 0);
        const qint64 line =
            index.place(LogIndex::Event::NewFault, index.timeline().faults().value(0)).line;
        const Result<ReplayState> shown = index.stateAfter(line, ReplayState{});
        QVERIFY2(shown, qPrintable(shown.why()));

        // File > Replay Log File, the path into the real file dialog.
        chooseLog(replayWindow,
                  {QStringLiteral("alt+f"), QStringLiteral("Down"), QStringLiteral("Return")},
                  path);
        // Paused, so only what is chosen moves the screen. Once the log is read the foot
        // says where the screen is; File > Timeline....
        press(QStringLiteral("replay"), QStringLiteral("Option4"));
        expect(QStringLiteral("replay"), QStringLiteral("LogPosition"), QStringLiteral("name"),
               QStringLiteral("Line \\d+ of .*"));
        x.focus(replayWindow);
        x.keys({QStringLiteral("ctrl+t")});
        const QString timeline = x.window(QStringLiteral("Timeline - capture.log"));
        QVERIFY(!timeline.isEmpty());
        // Alt+F moves to the list of new faults, Home to its first, Enter chooses it.
        x.focus(timeline);
        x.keys({QStringLiteral("alt+f"), QStringLiteral("Home"), QStringLiteral("Return")});

        expect(QStringLiteral("replay"), QStringLiteral("LogPosition"), QStringLiteral("name"),
               QStringLiteral("Line %1 of .*").arg(QLocale().toString(line)));
        const auto term = bus.read(app.processId(), QStringLiteral("replay"),
                                   {QStringLiteral("Term")}, QStringLiteral("text"));
        QCOMPARE(term.value(0).value_or(QStringLiteral("(nothing)")), crlf::toView(shown->term));
        // Each cell reads as its signal's words and the value it shows.
        QStringList cells;
        for (const DumpCell& c : dumpCells())
            cells << QLatin1String(c.label);
        const auto names =
            bus.read(app.processId(), QStringLiteral("replay"), cells, QStringLiteral("name"));
        QCOMPARE(names.size(), cells.size());
        for (int i = 0; i < kGridCells; ++i) {
            const QString name = names[i].value_or(QString());
            const qsizetype comma = name.indexOf(QStringLiteral(", "));
            const QString value = comma < 0 ? QString() : name.mid(comma + 2);
            QVERIFY2(value == shown->cells[size_t(i)].trimmed(),
                     qPrintable(cells[i] + QStringLiteral(" reads ") + name));
        }
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

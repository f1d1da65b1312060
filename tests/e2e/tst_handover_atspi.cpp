// A capture handed over whole, on the real program against the simulated controller: a
// capture with a button, typed keys and polls, a note added on the replay's timeline, the
// capture saved as a bundle, the bundle opened in a fresh program where its sent lane and
// note read over AT-SPI, and vantrel-log's CSV rows over the bundle and two loose logs.
#include "atspiprogram.h"
#include "core/logindex.h"
#include "core/sentlog.h"
#include "testfiles.h"
#include "testlogs.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestHandoverAtspi : public QObject, AtspiProgram
{
    Q_OBJECT

    QTemporaryDir dir;

    // File > Replay Log File from the car screen, then the log into its dialog; paused.
    QString replayOf(const QString& car, const QString& path)
    {
        x.focus(car);
        x.keys({QStringLiteral("alt+f"), QStringLiteral("Down"), QStringLiteral("Down"),
                QStringLiteral("Return")});
        const QString screen = x.window(QStringLiteral("Vantrel Car"));
        enterIn(screen, {QStringLiteral("alt+f"), QStringLiteral("Down"), QStringLiteral("Return")},
                QStringLiteral("Open Communications Log File"), path);
        press(QStringLiteral("replay"), QStringLiteral("Option4"));
        expect(QStringLiteral("replay"), QStringLiteral("LogPosition"), QStringLiteral("name"),
               QStringLiteral("Line \\d+ of .*"));
        return screen;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(start(), qPrintable(why())); }
    void cleanupTestCase() { stop(); }

    void aCaptureIsHandedOverWithWhatWasSentAndNoted()
    {
        const QString car = startAtCarScreen();
        QVERIFY2(!car.isEmpty(), app.readAllStandardError().constData());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("live")));
        const QString log = dir.filePath(QStringLiteral("live/capture.log"));

        // The capture: "pmi 1" (a button, then the polls), "STU" and a key typed in the
        // terminal.
        enterIn(car, {QStringLiteral("alt+f"), QStringLiteral("o")},
                QStringLiteral("Open Communications Log File"), log);
        expect(QStringLiteral("Form1"), QStringLiteral("Form1"), QStringLiteral("name"),
               QStringLiteral("Comm Terminal - capture.log"));
        press(QStringLiteral("Form1"), QStringLiteral("Command1"));
        press(QStringLiteral("Form1"), QStringLiteral("Command4"));
        // The terminal takes the keys once it has the focus and X has given the window
        // the keyboard: typed again until then.
        const auto sentNow = [&] { return SentLog::forLog(log, QFileInfo(log).size()); };
        const auto typed = [&] { return sentNow().count(sent::Source::Key); };
        for (int tries = 0; tries < 5 && typed() == 0; ++tries) {
            QString said;
            x.focus(car);
            QVERIFY2(
                bus.focus(app.processId(), QStringLiteral("Form1"), QStringLiteral("Term"), said),
                qPrintable(said));
            x.typeText(QStringLiteral("v"));
            QTest::qWaitFor([&] { return typed() > 0; }, 5000);
        }
        QTRY_VERIFY2_WITH_TIMEOUT(typed() > 0 && sentNow().count(sent::Source::Button) == 2,
                                  readFile(sent::pathFor(log)).constData(), 20000);
        // Polls keep the dumps coming.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(log).count("> PMII") >= 3, 30000);
        x.focus(car);
        x.keys({QStringLiteral("alt+f"), QStringLiteral("c")});
        QTRY_VERIFY_WITH_TIMEOUT(readFile(sent::pathFor(log)).contains("\nclose "), 20000);
        const SentLog captured = sentNow();
        QVERIFY2(captured.valid(), qPrintable(captured.notice()));
        QVERIFY(captured.count(sent::Source::Poll) > 0);
        qint64 pieces = 0; // all but the polls
        for (int s = 0; s < sent::kSources; ++s)
            pieces += sent::Source(s) == sent::Source::Poll ? 0 : captured.count(sent::Source(s));

        // The replay, stepped two lines; on its timeline Ctrl+M asks for a note at the
        // cursor, typed into the notes window.
        const QString replay = replayOf(car, log);
        press(QStringLiteral("replay"), QStringLiteral("Command1"));
        press(QStringLiteral("replay"), QStringLiteral("Command1"));
        x.focus(replay);
        x.keys({QStringLiteral("ctrl+t")});
        const QString timeline = x.window(QStringLiteral("Timeline - capture.log"));
        QVERIFY(!timeline.isEmpty());
        enterIn(timeline, {QStringLiteral("ctrl+m")}, QStringLiteral("Notes - capture.log"),
                QStringLiteral("door noise"));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(log + QStringLiteral(".notes")).endsWith(" door noise\n"),
                                 20000);
        // File > Save Capture As Bundle.
        const QString zip = dir.filePath(QStringLiteral("handover.zip"));
        enterIn(replay, {QStringLiteral("alt+f"), QStringLiteral("b")},
                QStringLiteral("Save Capture As Bundle"), zip);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(zip).size() > 0, 20000);

        // A fresh program reads the bundle: its timeline's sent lane lists the button,
        // the key and the note, in the order of their times, and counts the polls.
        const QString again = startAtCarScreen();
        QVERIFY2(!again.isEmpty(), app.readAllStandardError().constData());
        const QString replay2 = replayOf(again, zip);
        x.focus(replay2);
        x.keys({QStringLiteral("ctrl+t")});
        QVERIFY(!x.window(QStringLiteral("Timeline - capture.log")).isEmpty());
        expect(
            QStringLiteral("Timeline"), QStringLiteral("SentLane"), QStringLiteral("name"),
            QStringLiteral("Sent lane: %1 sent, %2 polls, 1 notes; (?=.*button pmii\\\\x0d at )"
                           "(?=.*button stu\\\\x0d at )(?=.*key v at )(?=.*note door noise at ).*")
                .arg(pieces)
                .arg(captured.count(sent::Source::Poll)));

        // One CSV row a capture, the bundle's with what was done.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("b")) &&
                QDir(dir.path()).mkpath(QStringLiteral("c")));
        const QString loose2 = writeLog(dir.filePath(QStringLiteral("b")), 2, 400, true);
        const QString loose3 = writeLog(dir.filePath(QStringLiteral("c")), 3, 400, false);
        QProcess summary;
        summary.start(qEnvironmentVariable("VANTREL_LOG"),
                      {QStringLiteral("summary"), QStringLiteral("--csv"), zip, loose2, loose3});
        QVERIFY(summary.waitForFinished(60000));
        QCOMPARE(summary.exitCode(), 0);
        const QStringList rows =
            QString::fromUtf8(summary.readAllStandardOutput()).split(QStringLiteral("\r\n"));
        QCOMPARE(rows.size(), 5); // a head, three rows and the end
        const QStringList head = rows[0].split(u',');
        const auto cell = [&](int row, const QString& column) {
            return rows[row].split(u',').value(head.indexOf(column));
        };
        QCOMPARE(cell(1, QStringLiteral("file")), zip);
        QVERIFY(cell(1, QStringLiteral("dumps")).toInt() >= 3);
        for (const sent::Source s : {sent::Source::Button, sent::Source::Key, sent::Source::Poll})
            QCOMPARE(cell(1, QStringLiteral("sent ") + QLatin1String(sent::sourceWord(s))),
                     QString::number(captured.count(s)));
        QCOMPARE(cell(1, QStringLiteral("notes")), QStringLiteral("1"));
        for (int row : {2, 3}) {
            const auto built = buildLogIndex(rows[row].split(u',')[0]);
            QVERIFY2(built, qPrintable(built.why()));
            QCOMPARE(cell(row, QStringLiteral("dumps")),
                     QString::number((*built)->count(LogIndex::Event::Dump)));
            QCOMPARE(cell(row, QStringLiteral("sent button")), QStringLiteral("0"));
            QCOMPARE(cell(row, QStringLiteral("notes")), QStringLiteral("0"));
        }
    }
};

QTEST_MAIN(TestHandoverAtspi)
#include "tst_handover_atspi.moc"

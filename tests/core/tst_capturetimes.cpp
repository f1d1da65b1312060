// Capture times beside a log: used only when they match the log, with a notice saying
// why not otherwise; a byte's time is that of the last record at or before it.
#include "core/capturetimes.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace vantrel;
using namespace vantrel::test;

class TestCaptureTimes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchingTimesAreUsed_data()
    {
        QTest::addColumn<QByteArray>("times");
        QTest::addColumn<qint64>("logBytes");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<qint64>("ms");
        const QByteArray one = "vantrel capture times 1\nopen 0 1000\n40 1150\nclose 100 1300\n";
        QTest::newRow("a byte before the first record has the run's opening time")
            << one << qint64(100) << qint64(39) << qint64(1000);
        QTest::newRow("a byte at a record has its time")
            << one << qint64(100) << qint64(40) << qint64(1150);
        QTest::newRow("the last byte has the last record's time")
            << one << qint64(100) << qint64(99) << qint64(1150);
        const QByteArray two = one + "open 100 9000\n130 9400\nclose 160 9500\n";
        QTest::newRow("an appended run opens where the one before closed")
            << two << qint64(160) << qint64(100) << qint64(9000);
        QTest::newRow("an appended run's records count from there")
            << two << qint64(160) << qint64(159) << qint64(9400);
        QTest::newRow("a last run cut off by a crash keeps its times")
            << QByteArray("vantrel capture times 1\nopen 0 1000\n60 1200\n") << qint64(500)
            << qint64(400) << qint64(1200);
        QTest::newRow("an empty run closed at once")
            << QByteArray("vantrel capture times 1\nopen 0 7\nclose 0 8\nopen 0 9\n5 10\n")
            << qint64(6) << qint64(5) << qint64(10);
    }
    void matchingTimesAreUsed()
    {
        QFETCH(QByteArray, times);
        QFETCH(qint64, logBytes);
        QFETCH(qint64, offset);
        QFETCH(qint64, ms);
        const CaptureTimes t = CaptureTimes::parse(times, logBytes, QStringLiteral("car.log"));
        QVERIFY2(t.valid(), qPrintable(t.notice()));
        QCOMPARE(t.notice(), QString());
        QCOMPARE(t.timeAt(offset), std::optional<qint64>(ms));
    }

    void mismatchedTimesAreNotUsed_data()
    {
        QTest::addColumn<QByteArray>("times");
        QTest::addColumn<qint64>("logBytes");
        QTest::addColumn<QString>("why");
        const QByteArray head = "vantrel capture times 1\n";
        QTest::newRow("the log is shorter than its times") << head + "open 0 1\n50 2\nclose 100 3\n"
                                                           << qint64(80) << "offsets past its end";
        QTest::newRow("the log grew after the last run closed")
            << head + "open 0 1\nclose 100 3\n"
            << qint64(120) << "its last run ends at byte 100 of 120";
        QTest::newRow("times go backwards") << head + "open 0 1000\n10 900\nclose 20 1100\n"
                                            << qint64(20) << "times go backwards at line 3";
        QTest::newRow("offsets go backwards") << head + "open 0 1\n30 2\n20 3\nclose 40 4\n"
                                              << qint64(40) << "offsets go backwards at line 4";
        QTest::newRow("times started for a log that already held bytes")
            << head + "open 70 1\nclose 90 2\n"
            << qint64(90) << "its first run does not start at its beginning";
        QTest::newRow("a run that does not go on where the last closed")
            << head + "open 0 1\nclose 50 2\nopen 60 3\nclose 90 4\n"
            << qint64(90) << "the run at line 4 does not start where the one before ended";
        QTest::newRow("a run cut off before another")
            << head + "open 0 1\n10 2\nopen 50 3\nclose 90 4\n"
            << qint64(90) << "a run before line 4 was not closed";
        QTest::newRow("another format")
            << QByteArray("vantrel capture times 2\nopen 0 1\n") << qint64(0)
            << "its first line is not \"vantrel capture times 1\"";
        QTest::newRow("a line that is not numbers") << head + "open 0 1\nten 2\n"
                                                    << qint64(10) << "line 3 cannot be read";
        QTest::newRow("a number with a sign") << head + "open 0 1\n-5 2\n"
                                              << qint64(10) << "line 3 cannot be read";
        QTest::newRow("a record before any run") << head + "5 2\n"
                                                 << qint64(10) << "line 2 is outside a run";
        QTest::newRow("a last line cut short")
            << head + "open 0 1\n5 2" << qint64(10) << "line 3 has no line end";
        QTest::newRow("no run at all") << head << qint64(0) << "it holds no run";
    }
    void mismatchedTimesAreNotUsed()
    {
        QFETCH(QByteArray, times);
        QFETCH(qint64, logBytes);
        QFETCH(QString, why);
        const CaptureTimes t = CaptureTimes::parse(times, logBytes, QStringLiteral("car.log"));
        QVERIFY(!t.valid());
        QCOMPARE(t.timeAt(0), std::nullopt);
        QCOMPARE(t.notice(), QStringLiteral("capture times of car.log do not match it (%1): "
                                            "lines are numbered instead")
                                 .arg(why));
    }

    // Checked against the log as it is (100 bytes when read, 130 now): the bytes with times.
    void timesAgainstTheLogAsItIs_data()
    {
        QTest::addColumn<int>("changedMs"); // the log's last change
        QTest::addColumn<int>("timed");
        QTest::addColumn<QByteArray>("times");
        const QByteArray open = "vantrel capture times 1\nopen 0 1000\n40 1150\n";
        QTest::newRow("a time far past it") << 2000 << 0 << open + "90 999999999999999999\n";
        QTest::newRow("a capture still going on") << 1300 << 100 << open + "120 1300\n";
        QTest::newRow("a stop, a run") << 1300 << 60 << open + "stop 60 1200\nopen 100 1300\n";
        QTest::newRow("a stop at the beginning") << 1300 << 0 << open + "stop 0 1200\n";
        QTest::newRow("a run left open while the log went on") << 60000 << 40 << open;
        QTest::newRow("a run cut off with its log") << 1200 << 100 << open;
    }
    void timesAgainstTheLogAsItIs()
    {
        QFETCH(QByteArray, times);
        QFETCH(int, changedMs);
        QFETCH(int, timed);
        const CaptureTimes t =
            CaptureTimes::parse(times, 100, QStringLiteral("car.log"), {130, changedMs, {}});
        QCOMPARE(t.valid(), t.notice().isEmpty());
        QCOMPARE(t.valid(), timed == 100);
        QCOMPARE(t.timeAt(timed - 1).has_value(), timed > 0);
        QCOMPARE(t.timeAt(timed).has_value(), timed == 100);
    }

    void firstByteAtOrAfterATime_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<qint64>("offset");
        QTest::newRow("before the first record: the start") << qint64(5) << qint64(0);
        QTest::newRow("between records: the next record's byte") << qint64(1100) << qint64(40);
        QTest::newRow("at a record: its byte") << qint64(1150) << qint64(40);
        QTest::newRow("after the last record: the log's end") << qint64(99999) << qint64(100);
    }
    void firstByteAtOrAfterATime()
    {
        QFETCH(qint64, ms);
        QFETCH(qint64, offset);
        const CaptureTimes t =
            CaptureTimes::parse("vantrel capture times 1\nopen 0 1000\n40 1150\nclose 100 1300\n",
                                100, QStringLiteral("car.log"));
        QCOMPARE(t.offsetAt(ms), std::optional<qint64>(offset));
    }

    void timesFileBesideTheLog_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("notice");
        QTest::newRow("none") << "none"
                              << "car.log has no capture times: lines are numbered instead";
        QTest::newRow("a folder in its place")
            << "folder"
            << "capture times of car.log cannot be read (%1: Is a directory)";
        QTest::newRow("a named pipe in its place")
            << "pipe"
            << "capture times of car.log cannot be read (%1: it is a named pipe, not a file)";
        QTest::newRow("a matching file") << "file"
                                         << "";
    }
    void timesFileBesideTheLog()
    {
        QFETCH(QString, kind);
        QFETCH(QString, notice);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("car.log"));
        const QString times = capturetimes::pathFor(log);
        QCOMPARE(times, log + QStringLiteral(".times"));
        if (kind == u"folder")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("car.log.times")));
        if (kind == u"pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(times).constData(), 0600), 0);
        if (kind == u"file")
            writeFile(times, capturetimes::headerLine() + capturetimes::openLine(0, 5) +
                                 capturetimes::recordLine(3, 9) + capturetimes::closeLine(10, 12));
        const CaptureTimes t = CaptureTimes::forLog(log, 10);
        notice.replace(QStringLiteral("%1"), times);
        QCOMPARE(t.notice().left(notice.size()), notice);
        QCOMPARE(t.valid(), kind == u"file");
    }
};

QTEST_GUILESS_MAIN(TestCaptureTimes)
#include "tst_capturetimes.moc"

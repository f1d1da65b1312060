// The log index: lines, offsets, dumps, speeds and faults as the replay reads the log,
// whether one thread reads it or two, in blocks of any size.
#include "core/capturetimes.h"
#include "core/logindex.h"
#include "core/pmidump.h"
#include "testfiles.h"
#include "testlogs.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
struct Expected {
    QList<LogPlace> dumps;
    QList<std::array<QString, kGridCells>> cells;
    QList<LogPlace> speeds;
    QStringList speedTexts;
    QList<LogPlace> faults;
    QStringList faultTexts;
    QList<LogPlace> newFaults;
    QList<LogPlace> arrivals;
    QList<LogPlace> stops;
};

// What the index should find, worked out from the lines as the replay reads them.
Expected expectedFor(const QByteArray& log, const QList<ReadLine>& lines)
{
    Expected e;
    QString joined;
    QList<qsizetype> joinedAt;
    for (const ReadLine& l : lines) {
        if (!joinedAt.isEmpty())
            joined += QStringLiteral("\r\n");
        joinedAt << joined.size();
        joined += l.text;
    }
    for (int n = 0; n < lines.size(); ++n) {
        const QString& t = lines[n].text;
        const qsizetype cr = log.indexOf('\r', lines[n].offset);
        const qint64 keptFrom = (cr < 0 ? log.size() : cr) - t.size();
        const auto each = [&](const QString& marker, const auto& found) {
            for (qsizetype at = t.indexOf(marker); at >= 0; at = t.indexOf(marker, at + 1))
                found(LogPlace{n + 1, keptFrom + at}, joinedAt[n] + at, at);
        };
        each(kPmiHeader, [&](LogPlace p, qsizetype j, qsizetype) {
            e.dumps << p;
            e.cells << *readPmiDump(QStringView(joined).mid(j));
        });
        each(QStringLiteral("VEL =   "), [&](LogPlace p, qsizetype j, qsizetype) {
            const QString value = joined.mid(j + 8, 3);
            if (value == u"  0" && !e.speedTexts.isEmpty() && e.speedTexts.last() != u"  0")
                e.stops << p;
            e.speeds << p;
            e.speedTexts << value;
        });
        each(QStringLiteral("FLT0 =  "), [&](LogPlace p, qsizetype, qsizetype at) {
            const QString text = t.mid(at + 8, 76);
            if (e.faultTexts.isEmpty() || e.faultTexts.last() != text) {
                e.newFaults << p;
                if (text.startsWith(u"ARRIVED AT "))
                    e.arrivals << p;
            }
            e.faults << p;
            e.faultTexts << text;
        });
    }
    return e;
}

QList<LogPlace> placesOf(const LogIndex& index, LogIndex::Event kind)
{
    QList<LogPlace> out;
    for (qsizetype i = 0; i < index.count(kind); ++i)
        out << index.place(kind, i);
    return out;
}

QString describe(const QList<LogPlace>& places)
{
    QStringList s;
    for (const LogPlace& p : places)
        s << QStringLiteral("%1@%2").arg(p.line).arg(p.offset);
    return s.join(u' ');
}

QString describe(const TimelineSeries& series)
{
    QStringList s;
    for (qsizetype i = 0; i < series.size(); ++i)
        s << QStringLiteral("%1=%2").arg(series.position(i)).arg(series.value(i));
    return s.join(u' ');
}
} // namespace

class TestLogIndex : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    std::shared_ptr<const LogIndex> indexOf(const QByteArray& log, int threads, qint64 block)
    {
        const QString path = dir.filePath(QStringLiteral("capture.log"));
        writeFile(path, log);
        LogIndexer::Options options;
        options.threads = threads;
        options.blockBytes = block;
        auto built = buildLogIndex(path, options);
        if (!built)
            QTest::qFail(qPrintable(built.why()), __FILE__, __LINE__);
        return built ? *built : nullptr;
    }

    void seamJoins(const QByteArray& log)
    {
        const auto whole = indexOf(log, 1, 1 << 20);
        QVERIFY(whole);
        const QString wholeSpeeds = describe(whole->timeline().speed());
        const QString wholeFaults = describe(whole->timeline().faults());
        const QString wholeArrivals = describe(whole->timeline().arrivals());
        const auto wholeCounts = whole->faultCounts();
        const auto halves = indexOf(log, 2, 256);
        QVERIFY(halves);
        for (LogIndex::Event kind :
             {LogIndex::Event::Stop, LogIndex::Event::NewFault, LogIndex::Event::Arrival})
            QCOMPARE(describe(placesOf(*halves, kind)), describe(placesOf(*whole, kind)));
        QCOMPARE(describe(halves->timeline().speed()), wholeSpeeds);
        QCOMPARE(describe(halves->timeline().faults()), wholeFaults);
        QCOMPARE(describe(halves->timeline().arrivals()), wholeArrivals);
        QCOMPARE(halves->faultCounts(), wholeCounts);
    }

private Q_SLOTS:
    void findsWhatTheReplayReads_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("threads");
        QTest::addColumn<qint64>("block");
        QTest::newRow("one thread, a block of a megabyte") << 1u << 3000 << 1 << qint64(1 << 20);
        QTest::newRow("one thread, blocks of 200 bytes") << 2u << 1500 << 1 << qint64(200);
        QTest::newRow("two halves, blocks of 300 bytes") << 3u << 3000 << 2 << qint64(300);
        QTest::newRow("two halves, blocks of 4 KiB") << 4u << 4000 << 2 << qint64(4096);
        QTest::newRow("two halves, blocks of 64 KiB") << 5u << 6000 << 2 << qint64(65536);
    }
    void findsWhatTheReplayReads()
    {
        QFETCH(quint32, seed);
        QFETCH(int, pieces);
        QFETCH(int, threads);
        QFETCH(qint64, block);
        const QByteArray log = randomLog(seed, pieces);
        const QList<ReadLine> lines = replayLines(log);
        const Expected e = expectedFor(log, lines);
        const auto index = indexOf(log, threads, block);
        QVERIFY(index);
        QCOMPARE(index->lines(), qint64(lines.size()));
        QCOMPARE(index->bytes(), qint64(log.size()));
        QCOMPARE(describe(placesOf(*index, LogIndex::Event::Dump)), describe(e.dumps));
        QCOMPARE(describe(placesOf(*index, LogIndex::Event::Speed)), describe(e.speeds));
        QCOMPARE(describe(placesOf(*index, LogIndex::Event::Fault)), describe(e.faults));
        QCOMPARE(describe(placesOf(*index, LogIndex::Event::NewFault)), describe(e.newFaults));
        QCOMPARE(describe(placesOf(*index, LogIndex::Event::Arrival)), describe(e.arrivals));
        QCOMPARE(describe(placesOf(*index, LogIndex::Event::Stop)), describe(e.stops));
        QVERIFY(e.dumps.size() > 50);
        int walked = 0;
        QVERIFY(index->walkDumps([&](qsizetype i, const auto& cells, const std::vector<int>&) {
            if (cells != e.cells[i])
                qWarning() << "dump" << i << "at line" << e.dumps[i].line;
            walked += cells == e.cells[i];
            return true;
        }));
        QCOMPARE(walked, e.dumps.size());
        for (qsizetype i : {qsizetype(0), e.dumps.size() / 2, e.dumps.size() - 1})
            QCOMPARE(index->dumpCells(i), e.cells[i]);
        for (qsizetype i = 0; i < e.speeds.size(); ++i)
            QCOMPARE(index->speedText(i), e.speedTexts[i]);
        for (qsizetype i = 0; i < e.faults.size(); ++i)
            QCOMPARE(index->faultText(LogIndex::Event::Fault, i), e.faultTexts[i]);
    }

    // A dump is read again unless its bytes are those of the dump before as far as
    // they made its text: what differs just past there must still count.
    void dumpsThatShareTheirFirstBytes_data()
    {
        QTest::addColumn<QByteArray>("log");
        const QByteArray dump =
            pmiDump([](int line, int cell) { return QChar(u'0' + (line + cell) % 2); }).toLatin1();
        const QByteArray cut = dump.left(dump.size() - 2); // no line end after the last cell
        QTest::newRow("the same dump twice") << dump + dump + "x";
        QTest::newRow("then cut after its last cell, the next text on its line")
            << dump + cut + "VEL =   12\r\n";
        QTest::newRow("then ending in a CR alone") << dump + cut + "\r" + "x";
        QTest::newRow("then ending the log") << dump + cut + "\r\n";
        QTest::newRow("then a line longer than the replay keeps")
            << dump + dump + QByteArray(5000, 'y') + "\r\n";
        QTest::newRow("then the log ends at its last cell") << dump + cut;
    }
    void dumpsThatShareTheirFirstBytes()
    {
        QFETCH(QByteArray, log);
        const Expected e = expectedFor(log, replayLines(log));
        const auto index = indexOf(log, 1, 1 << 20);
        QVERIFY(index);
        QCOMPARE(index->count(LogIndex::Event::Dump), e.dumps.size());
        for (qsizetype i = 0; i < e.dumps.size(); ++i)
            QCOMPARE(index->dumpCells(i), e.cells[i]);
    }

    void reachesAnyLineAndByte()
    {
        const QByteArray log = randomLog(7, 3000);
        const QList<ReadLine> lines = replayLines(log);
        const auto index = indexOf(log, 2, 512);
        QVERIFY(index);
        QRandomGenerator r(7);
        for (int k = 0; k < 300; ++k) {
            const qint64 n = 1 + r.bounded(lines.size());
            const ReadLine& l = lines[n - 1];
            QCOMPARE(*index->lineOffset(n), l.offset);
            QCOMPARE(*index->lineText(n), l.text);
            const qint64 end = n < lines.size() ? lines[n].offset : log.size();
            QCOMPARE(*index->lineAt(l.offset), n);
            QCOMPARE(*index->lineAt(end - 1), n);
        }
        QVERIFY(!index->lineOffset(0));
        QVERIFY(!index->lineOffset(lines.size() + 1));
        QVERIFY(!index->lineAt(log.size()));
        QCOMPARE(index->lineAtFraction(0.0), qint64(1));
        QCOMPARE(index->lineAtFraction(1.0), qint64(lines.size()));
    }

    void nextAndPreviousFromALine()
    {
        const QByteArray log = "a\r\nFLT0 =  ARRIVED AT 3\r\nb\r\nFLT0 =  ARRIVED AT 3\r\n"
                               "FLT0 =  NO FAULT\r\nFLT0 =  ARRIVED AT 4\r\nFLT0 =  DOOR\r\nc";
        const auto index = indexOf(log, 1, 1 << 20);
        QVERIFY(index);
        using E = LogIndex::Event;
        QCOMPARE(index->count(E::Fault), 5);
        QCOMPARE(index->count(E::NewFault), 4);
        QCOMPARE(index->count(E::Arrival), 2);
        QCOMPARE(index->place(E::Arrival, *index->next(E::Arrival, 1)).line, qint64(2));
        QCOMPARE(index->place(E::Arrival, *index->next(E::Arrival, 2)).line, qint64(6));
        QVERIFY(!index->next(E::Arrival, 6));
        QCOMPARE(index->place(E::Fault, *index->previous(E::Fault, 5)).line, qint64(4));
        QVERIFY(!index->previous(E::Fault, 2));
        const auto counts = index->faultCounts();
        QCOMPARE(counts.size(), 1);
        QCOMPARE(counts[0].first, QStringLiteral("DOOR"));
    }

    // Each half of the log decides on its first report only when it is joined to the
    // half before: what comes of that is what one reading of the whole log finds.
    void reportsEitherSideOfTheHalvesSeam_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("the same speed") << QByteArray("VEL =    40") << QByteArray("VEL =    40");
        QTest::newRow("moving, then stopped")
            << QByteArray("VEL =    40") << QByteArray("VEL =     0");
        QTest::newRow("stopped, then moving")
            << QByteArray("VEL =     0") << QByteArray("VEL =    40");
        QTest::newRow("the same fault") << QByteArray("FLT0 =  DOOR") << QByteArray("FLT0 =  DOOR");
        QTest::newRow("all clear, then an arrival")
            << QByteArray("FLT0 =  NO FAULT") << QByteArray("FLT0 =  ARRIVED AT 3");
        QTest::newRow("the same arrival")
            << QByteArray("FLT0 =  ARRIVED AT 3") << QByteArray("FLT0 =  ARRIVED AT 3");
    }
    void reportsEitherSideOfTheHalvesSeam()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        // Halves of about the same size, moved a line at a time: one meets the seam.
        for (int shift = -3; shift <= 3; ++shift) {
            QByteArray log;
            for (qsizetype k = 0; k < 10 * (after.size() + 2) + shift; ++k)
                log += before + "\r\n";
            for (qsizetype k = 0; k < 10 * (before.size() + 2) - shift; ++k)
                log += after + "\r\n";
            seamJoins(log);
            if (QTest::currentTestFailed())
                return;
        }
    }
    void lastLineAtOrBeforeATime_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::newRow("records of a busy line") << 11u;
        QTest::newRow("records with hours between some") << 12u;
    }
    void lastLineAtOrBeforeATime()
    {
        QFETCH(quint32, seed);
        const QByteArray log = randomLog(seed, 1500);
        const QList<ReadLine> lines = replayLines(log);
        const QString timesPath =
            capturetimes::pathFor(dir.filePath(QStringLiteral("capture.log")));
        const QList<TimeRecord> times = randomTimes(seed, log.size(), 1767225600000);
        writeFile(timesPath, timesFile(times, log.size()));
        const auto index = indexOf(log, 2, 4096);
        QFile::remove(timesPath); // the other tests' logs have none
        QVERIFY(index);
        QVERIFY(index->times().valid());
        QList<qint64> asked{times.first().ms - 1, times.last().ms + 5000};
        for (const TimeRecord& t : times)
            asked << t.ms - 1 << t.ms << t.ms + 1;
        for (qint64 ms : std::as_const(asked)) {
            qint64 want = 1;
            for (int n = 0; n < lines.size(); ++n)
                if (timeOfByte(times, lines[n].offset) <= ms)
                    want = n + 1;
            const Result<qint64> got = index->lineUpTo(ms);
            QVERIFY2(got, qPrintable(got ? QString() : got.why()));
            QCOMPARE(*got, want);
        }
    }

    void lineEndsAsTheReplayCountsThem_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<qint64>("lines");
        QTest::newRow("empty file has no lines") << QByteArray() << qint64(0);
        QTest::newRow("CR LF pairs") << QByteArray("a\r\nb\r\n") << qint64(2);
        QTest::newRow("a CR alone ends a line") << QByteArray("a\rb\r") << qint64(2);
        QTest::newRow("a LF alone is text") << QByteArray("a\nb\n") << qint64(1);
        QTest::newRow("the last line needs no end") << QByteArray("a\r\nb") << qint64(2);
        QTest::newRow("empty lines count") << QByteArray("\r\r\n\r") << qint64(3);
    }
    void lineEndsAsTheReplayCountsThem()
    {
        QFETCH(QByteArray, log);
        QFETCH(qint64, lines);
        const auto index = indexOf(log, 2, 128);
        QVERIFY(index);
        QCOMPARE(index->lines(), lines);
        QCOMPARE(qint64(replayLines(log).size()), lines);
    }

    void cancelledBuildSaysSo()
    {
        const QString path = dir.filePath(QStringLiteral("big.log"));
        writeFile(path, randomLog(9, 20000));
        LogIndexer::Options options;
        options.blockBytes = 4096;
        LogIndexer indexer(path, options);
        indexer.cancel();
        const auto result = indexer.result();
        if (!result) // it may have finished before it was told
            QVERIFY2(result.why().contains(QStringLiteral("stopped")), qPrintable(result.why()));
        QCOMPARE(indexer.progress(), 1.0);
    }

    // The cells are read again from the log: a log cut short since cannot give them.
    void walkOverALogCutShortSaysSo()
    {
        const QString path = dir.filePath(QStringLiteral("cut.log"));
        writeFile(path, randomLog(13, 3000));
        const auto index = buildLogIndex(path);
        QVERIFY(index);
        QVERIFY(QFile::resize(path, (*index)->bytes() / 2));
        const Result<> walked =
            (*index)->walkDumps([](qsizetype, const auto&, const auto&) { return true; });
        QVERIFY(!walked);
        QVERIFY2(walked.why().contains(path), qPrintable(walked.why()));
        QVERIFY2(walked.why().contains(QStringLiteral("shorter")), qPrintable(walked.why()));
    }

    void missingLogNamesTheFileAndTheReason()
    {
        const QString path = dir.filePath(QStringLiteral("absent.log"));
        const auto result = buildLogIndex(path);
        QVERIFY(!result);
        QVERIFY2(result.why().contains(path), qPrintable(result.why()));
        QVERIFY2(result.why().contains(QStringLiteral("No such file")), qPrintable(result.why()));
    }
};

QTEST_GUILESS_MAIN(TestLogIndex)
#include "tst_logindex.moc"

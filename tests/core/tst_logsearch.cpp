// Finding literal text in a whole log: every hit with its offset and its line as the
// replay counts lines, whatever the block size; in either case; and going from hit to hit.
#include "core/logsearch.h"
#include "testfiles.h"
#include "testlogs.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
QString hitsIn(const QString& path, const QByteArray& text, bool ignoreCase, qint64 block)
{
    SearchOptions options;
    options.ignoreCase = ignoreCase;
    options.blockBytes = block;
    QStringList hits;
    const Result<qint64> count = searchLog(path, text, options, [&](const SearchHit& h) {
        hits << QStringLiteral("%1:%2").arg(h.line).arg(h.offset);
        return true;
    });
    if (!count)
        return count.why();
    if (*count != hits.size())
        return QStringLiteral("count %1 for %2 hits").arg(*count).arg(hits.size());
    return hits.join(u' ');
}
} // namespace

class TestLogSearch : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void findsEachHitWithItsLine_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<QString>("hits"); // line:offset
        QTest::newRow("lines end in CR LF, a CR alone, never a LF alone")
            << QByteArray("ab\r\nx ab\rab\nab") << QByteArray("ab") << false << "1:0 2:6 3:9 3:12";
        QTest::newRow("case counts unless ignored")
            << QByteArray("Fault\r\nFAULT fault") << QByteArray("fault") << false << "2:13";
        QTest::newRow("either case of Latin-1 letters")
            << QByteArray("\xc9TAGE \xe9tage x\xd7y") << QByteArray("\xe9tage") << true
            << "1:0 1:6";
        QTest::newRow("the multiplication sign has no small letter")
            << QByteArray("x\xd7y x\xf7y") << QByteArray("X\xf7Y") << true << "1:4";
        QTest::newRow("a hit that starts with the LF of a CR LF is on the line it ends")
            << QByteArray("a\r\nb") << QByteArray("\nb") << false << "1:2";
        QTest::newRow("nothing there") << QByteArray("abc") << QByteArray("abd") << false << "";
        QTest::newRow("a hit begins after the one before ends")
            << QByteArray("x???\r\n????") << QByteArray("??") << false << "1:1 2:6 2:8";
    }
    void findsEachHitWithItsLine()
    {
        QFETCH(QByteArray, log);
        QFETCH(QByteArray, text);
        QFETCH(bool, ignoreCase);
        QFETCH(QString, hits);
        const QString path = dir.filePath(QStringLiteral("s.log"));
        writeFile(path, log);
        for (qint64 block : {1, 2, 3, 1 << 20})
            QCOMPARE(hitsIn(path, text, ignoreCase, block), hits);
    }

    // Blocks of any size find what one pass over the whole text finds.
    void blocksFindWhatTheWholeTextHolds()
    {
        const QByteArray log = randomLog(21, 2000);
        const QString path = dir.filePath(QStringLiteral("r.log"));
        writeFile(path, log);
        const QList<ReadLine> lines = replayLines(log);
        QStringList expected;
        for (const QByteArray& text : {QByteArray("VEL =   1"), QByteArray("\r\nI/O")}) {
            expected.clear();
            for (qsizetype at = log.indexOf(text); at >= 0; at = log.indexOf(text, at + 1)) {
                qsizetype line = 0;
                while (line + 1 < lines.size() && lines[line + 1].offset <= at)
                    ++line;
                expected << QStringLiteral("%1:%2").arg(line + 1).arg(at);
            }
            QVERIFY(expected.size() > 20);
            for (qint64 block : {7, 4096, 1 << 20})
                QCOMPARE(hitsIn(path, text, false, block), expected.join(u' '));
        }
    }

    void threadGoesFromHitToHit()
    {
        const QString path = dir.filePath(QStringLiteral("t.log"));
        writeFile(path, "FLT0 =  A\r\nx\r\nFLT0 =  B\r\nflt0 =  C\r\n");
        LogSearch search(path, "flt0", true);
        const Result<SearchResult>& found = search.result();
        QVERIFY(found);
        QCOMPARE(found->count, qint64(3));
        QCOMPARE(found->next(0)->offset, qint64(14));
        QCOMPARE(found->next(14)->line, qint64(4));
        QVERIFY(!found->next(25));
        QCOMPARE(found->previous(14)->offset, qint64(0));
        QVERIFY(!found->previous(0));
        QCOMPARE(search.progress(), 1.0);
    }

    // Piece i goes out at offset 10 (i + 1), in line i + 1; "p" starts a poll, "b" any other.
    void commandsSentAreFoundByTheLogsRules_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<QString>("hits");
        QTest::newRow("one hit a command, however often it holds the text")
            << QByteArrayList{"bDODO", "bDOB"} << QByteArray("DO") << false << "0@1 1@2";
        QTest::newRow("polls left out")
            << QByteArrayList{"pSTAT", "bSTAT"} << QByteArray("STAT") << false << "1@2";
        QTest::newRow("case counts unless ignored")
            << QByteArrayList{"bdob", "bDOB"} << QByteArray("DOB") << false << "1@2";
        QTest::newRow("either case of Latin-1 letters")
            << QByteArrayList{"bdob", "b\xe9T"} << QByteArray("\xc9t") << true << "1@2";
        QTest::newRow("line ends, quotes and high bytes are text like any")
            << QByteArrayList{"ba,\"b\r\n\xff", "b\r"} << QByteArray("\"b\r\n\xff") << true
            << "0@1";
        QTest::newRow("a command of ten megabytes")
            << QByteArrayList{'b' + QByteArray(10 << 20, 'x') + "END"} << QByteArray("xEND")
            << false << "0@1";
        QTest::newRow("no text, no hit") << QByteArrayList{"bDOB"} << QByteArray() << true << "";
    }
    void commandsSentAreFoundByTheLogsRules()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, text);
        QFETCH(bool, ignoreCase);
        QList<SentPiece> sent;
        for (const QByteArray& p : pieces)
            sent << SentPiece{p[0] == 'p' ? sent::Source::Poll : sent::Source::Button,
                              10 * (sent.size() + 1),
                              0,
                              1,
                              0,
                              0,
                              p.mid(1)};
        QStringList hits;
        for (const SearchHit& h : findSent(sent, text, ignoreCase, [](qint64 o) { return o / 10; }))
            hits << QStringLiteral("%1@%2").arg(h.sent).arg(h.line);
        QTEST(hits.join(u' '), "hits");
    }

    // Offsets in, "L" or "S" and the offset out; the log's count may pass the hits kept.
    void hitsOfTheLogAndOfTheSentMergeInOrder_data()
    {
        QTest::addColumn<QList<qint64>>("log");
        QTest::addColumn<qint64>("logCount");
        QTest::addColumn<QList<qint64>>("sent");
        QTest::addColumn<QString>("merged");
        QTest::addColumn<qint64>("count");
        QTest::newRow("the log's first at one offset")
            << QList<qint64>{10, 20, 20, 40} << qint64(4) << QList<qint64>{30, 20}
            << "L10 L20 L20 S20 S30 L40" << qint64(6);
        QTest::newRow("counted past the hits kept")
            << QList<qint64>{10} << qint64(9) << QList<qint64>{5} << "S5 L10" << qint64(10);
        QTest::newRow("one piece handed in twice is one hit")
            << QList<qint64>{} << qint64(0) << QList<qint64>{7, 7} << "S7" << qint64(1);
    }
    void hitsOfTheLogAndOfTheSentMergeInOrder()
    {
        QFETCH(QList<qint64>, log);
        QFETCH(QList<qint64>, sent);
        QFETCH(qint64, logCount);
        SearchResult found;
        found.count = logCount;
        for (const qint64 o : log)
            found.hits.push_back({o, o});
        std::vector<SearchHit> hits;
        for (const qint64 o : sent) // a piece's place in the list follows from its offset
            hits.push_back({o, o, qsizetype(o)});
        const SearchResult merged = mergeHits(found, hits);
        QStringList got;
        for (const SearchHit& h : merged.hits)
            got << (h.sent < 0 ? u'L' : u'S') + QString::number(h.offset);
        QTEST(got.join(u' '), "merged");
        QTEST(merged.count, "count");
        QCOMPARE(merged.sentCount, merged.count - logCount);
    }

    void unreadableLogNamesTheFileAndTheReason()
    {
        const QString path = dir.filePath(QStringLiteral("none.log"));
        const Result<qint64> r = searchLog(path, "x", {}, [](const SearchHit&) { return true; });
        QVERIFY(!r);
        QVERIFY2(r.why().contains(path) && r.why().contains(QStringLiteral("No such file")),
                 qPrintable(r.why()));
    }
};

QTEST_GUILESS_MAIN(TestLogSearch)
#include "tst_logsearch.moc"

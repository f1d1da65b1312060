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

    // Piece i goes out at line i + 1 of "DOB\r\nxyz\r\nxyz\r\n", a poll where it starts with
    // "p". Hits read "L<line>" in the log, "S<line>" in what was sent.
    void commandsSentAreFoundAndMergedWithTheLogs_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<QString>("hits");
        QTest::newRow("one hit a command however often it holds it, the log's first")
            << QByteArrayList{"bDODO", "bxDO"} << QByteArray("DO") << false << "L1 S1 S2";
        QTest::newRow("polls left out, case counts unless ignored")
            << QByteArrayList{"pDOB", "bdob", "bDOB"} << QByteArray("DOB") << false << "L1 S3";
        QTest::newRow("either case of Latin-1 letters, line ends, quotes, high bytes")
            << QByteArrayList{"b\xe9T,\"\r\n\xff"} << QByteArray("\xc9t,\"\r\n\xff") << true
            << "S1";
    }
    void commandsSentAreFoundAndMergedWithTheLogs()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, text);
        QFETCH(bool, ignoreCase);
        const QString path = dir.filePath(QStringLiteral("sent.log"));
        writeFile(path, "DOB\r\nxyz\r\nxyz\r\n");
        QList<SentPiece> sent;
        for (const QByteArray& p : pieces) {
            sent << SentPiece{p[0] == 'p' ? sent::Source::Poll : sent::Source::Button};
            sent.last().offset = 5 * (sent.size() - 1), sent.last().text = p.mid(1);
        }
        LogSearch search(path, text, ignoreCase);
        const SearchResult merged = mergeHits(
            *search.result(), findSent(sent, text, ignoreCase, [](qint64 o) { return o / 5 + 1; }));
        QStringList hits;
        for (const SearchHit& h : merged.hits) // the piece named is the one at the offset
            hits << (h.sent < 0 || sent[h.sent].offset != h.offset ? u'L' : u'S') +
                        QString::number(h.line);
        QTEST(hits.join(u' '), "hits");
        QCOMPARE(merged.count, qint64(hits.size()));
        QCOMPARE(merged.sentCount, qint64(hits.join(u' ').count(u'S')));
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

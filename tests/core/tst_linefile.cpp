// The line reader: lines end at CR (a CR LF pair is one end, also across blocks), an
// over-long line keeps its tail, every byte comes back as its character.
#include "core/linefile.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
constexpr qint64 kMaxLine = 4096;

// The lines of a file, and the failure that ended them (empty at a clean end).
QStringList allLines(const QByteArray& bytes, QString* failure = nullptr)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.log"));
    writeFile(path, bytes);
    LineFile file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC), kMaxLine);
    QStringList lines;
    LineRead next = file.next();
    for (; next && *next; next = file.next())
        lines << **next;
    if (failure)
        *failure = next.why();
    return lines;
}
} // namespace

class TestLineFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QByteArray big(3 * LineFile::kBlockBytes + 17, 'x');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char('a' + i % 26);
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty file is at end at once") << QByteArray() << QStringList{};
        QTest::newRow("CR LF ends a line") << QByteArray("A\r\nB\r\n") << QStringList{"A", "B"};
        QTest::newRow("last line without end") << QByteArray("A\r\nB") << QStringList{"A", "B"};
        QTest::newRow("every byte comes back")
            << QByteArray("\x00\x01\xff\x80", 4)
            << QStringList{QString::fromLatin1("\x00\x01\xff\x80", 4)};
        QTest::newRow("empty lines") << QByteArray("\r\n\r\nX") << QStringList{"", "", "X"};
        QTest::newRow("CR LF split across blocks is one line end")
            << QByteArray(LineFile::kBlockBytes - 1, 'a') + "\r\nB"
            << QStringList{QString(kMaxLine, u'a'), "B"};
        QTest::newRow("long line keeps its tail across blocks")
            << big + "\r\nnext" << QStringList{QString::fromLatin1(big.right(kMaxLine)), "next"};
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QString failure = QStringLiteral("not read");
        QCOMPARE(allLines(bytes, &failure), lines);
        QCOMPARE(failure, QString());
    }

    // The system says such a file is empty; it is read as it comes, not as shrunk.
    void aFileWithoutAReportedSizeReadsWhole()
    {
        const QByteArray path("/proc/self/status");
        LineFile file(::open(path.constData(), O_RDONLY | O_CLOEXEC), kMaxLine, path, 64);
        const LineRead first = file.next();
        QVERIFY2(first, qPrintable(first.why()));
        QVERIFY(*first);
        QVERIFY((*first)->startsWith(QLatin1String("Name:")));
        const LineRead end = file.next();
        QVERIFY2(end, qPrintable(end.why()));
        QVERIFY(!*end);
    }
};

QTEST_MAIN(TestLineFile)
#include "tst_linefile.moc"

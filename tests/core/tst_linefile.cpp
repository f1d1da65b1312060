// The line reader: lines end at CR (a CR LF pair is one end, also across blocks), an
// over-long line keeps its tail, every byte comes back as its character.
#include "core/linecursor.h"
#include "core/linefile.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

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

// The same file's lines as go-to reads them, from its start.
QStringList cursorLines(const QByteArray& bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.log"));
    writeFile(path, bytes);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    LineCursor cursor(path, fd, 0, bytes.size());
    LineCursor::Line line;
    QStringList lines;
    while (cursor.next(&line).value())
        lines << QString::fromLatin1(line.text);
    ::close(fd);
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
        QCOMPARE(cursorLines(bytes), lines);
    }

    // Every reader's failure names the log and the reason.
    void failuresNameTheLogAndTheReason_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::newRow("closed") << "closed"
                                << QStringLiteral("Cannot read f.log: ") + osError(EBADF);
        QTest::newRow("stopped") << "cancel" << QStringLiteral("Reading f.log was stopped");
        QTest::newRow("cut shorter than its size")
            << "short" << QStringLiteral("Cannot read f.log: it became shorter while it was read");
    }
    void failuresNameTheLogAndTheReason()
    {
        QFETCH(QString, how);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.log"));
        writeFile(path, "A\r\nB");
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        const std::atomic<bool> cancel{how == QLatin1String("cancel")};
        if (how == QLatin1String("closed"))
            ::close(fd);
        char bytes[8];
        const Result<> read =
            BlockReader(fd, QStringLiteral("f.log"), &cancel).exactly(bytes, 0, 8);
        if (how != QLatin1String("closed"))
            ::close(fd);
        QCOMPARE(read.why(), why);
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

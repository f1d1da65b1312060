#include "testfiles.h"

#include "core/pmidump.h"
#include "core/receivedtext.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace vantrel::test
{

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(QStringLiteral("cannot read %1: %2").arg(path, f.errorString())),
                     __FILE__, __LINE__);
        return {};
    }
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        QTest::qFail(qPrintable(QStringLiteral("cannot write %1: %2").arg(path, f.errorString())),
                     __FILE__, __LINE__);
}

QStringList fixtureCases(const QString& kind)
{
    const QDir root(qEnvironmentVariable("VANTREL_TEST_DATA") + QLatin1Char('/') + kind);
    QStringList cases;
    for (const QString& c : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        cases << root.filePath(c);
    if (cases.isEmpty())
        QTest::qFail(qPrintable(QStringLiteral("no fixtures in %1").arg(root.path())), __FILE__,
                     __LINE__);
    return cases;
}

std::optional<QStringList> readCells(const QString& path)
{
    const QString text = QString::fromLatin1(readFile(path));
    if (text.startsWith(QStringLiteral("no header")))
        return std::nullopt;
    QStringList cells;
    if (text.startsWith(QStringLiteral("empty"))) {
        for (int i = 0; i < kGridCells; ++i)
            cells << QString();
        return cells;
    }
    for (QString line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.mid(1, line.size() - 2);
        line.replace(QStringLiteral("\\r"), QStringLiteral("\r"));
        line.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        cells << line;
    }
    return cells;
}

QString pmiDump(const std::function<QChar(int line, int cell)>& value)
{
    QString s = kPmiHeader + QStringLiteral("\r\n");
    for (int n = 1; n <= 8; ++n) {
        QString line = QStringLiteral("L%1     ").arg(n);
        for (int k = 1; k <= 16; ++k)
            line += QString(value(n, k)) + (k < 16 ? QStringLiteral(" ") : QString());
        s += line + QStringLiteral("\r\n");
    }
    return s;
}

QByteArray numberedLines(int from, int count)
{
    QByteArray out;
    for (int i = from; i < from + count; ++i)
        out += "line " + QByteArray::number(i).rightJustified(5, '0') + " VEL =  12\r\n";
    return out;
}

QByteArray loggedText(const QByteArray& received)
{
    return normalisePiece(received).text;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_before = limit.rlim_cur;
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_before);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace vantrel::test

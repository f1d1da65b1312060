#include "capturecommands.h"

#include "core/bundle.h"
#include "core/capturetimes.h"
#include "core/logindex.h"
#include "core/notes.h"
#include "core/sentlog.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace vantrel::cli
{

namespace
{
constexpr int kOk = 0;
constexpr int kUsage = 2;
constexpr int kFileError = 3;

void say(FILE* to, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

int usage(const QString& why)
{
    say(stderr, QStringLiteral("vantrel-log: %1\nTry 'vantrel-log --help'.\n").arg(why));
    return kUsage;
}

int fileError(const QString& why)
{
    say(stderr, QStringLiteral("vantrel-log: %1\n").arg(why));
    return kFileError;
}

// What one capture holds, for its row.
struct Row {
    QString file;
    QString error;
    std::optional<qint64> firstMs;
    std::optional<qint64> lastMs;
    qint64 dumps = 0;
    qint64 stops = 0;
    qint64 arrivals = 0;
    std::map<QString, qint64> faults;
    std::array<qint64, sent::kSources> sentBy{};
    qint64 notes = 0;
    QStringList notices;
};

Row readCapture(const QString& file)
{
    Row row;
    row.file = file;
    const auto opened = CaptureFiles::open(file);
    if (!opened) {
        row.error = opened.why();
        return row;
    }
    const QString log = (*opened)->log();
    const auto built = buildLogIndex(log);
    if (!built) {
        row.error = built.why();
        return row;
    }
    const LogIndex& index = **built;
    using E = LogIndex::Event;
    row.dumps = index.count(E::Dump);
    row.stops = index.count(E::Stop);
    row.arrivals = index.count(E::Arrival);
    for (const auto& [text, count] : index.faultCounts())
        row.faults[text] += count;
    if (index.times().valid()) {
        row.firstMs = index.times().firstMs();
        row.lastMs = index.times().lastMs();
    } else {
        row.notices << index.times().notice();
    }
    const SentLog sentLog = SentLog::forLog(log, index.bytes());
    if (sentLog.valid())
        for (int s = 0; s < sent::kSources; ++s)
            row.sentBy[size_t(s)] = sentLog.count(sent::Source(s));
    else if (sentLog.present())
        row.notices << sentLog.notice();
    const Notes notes = Notes::forLog(log, index.bytes());
    row.notes = notes.notes().size();
    if (!notes.notice().isEmpty())
        row.notices << notes.notice();
    return row;
}

QString csvCell(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}
} // namespace

QString sentAndNotes(const QString& log, qint64 logBytes)
{
    QString out;
    const SentLog sentLog = SentLog::forLog(log, logBytes);
    if (sentLog.valid()) {
        QStringList counts;
        qint64 total = 0;
        for (int s = 0; s < sent::kSources; ++s) {
            const qint64 n = sentLog.count(sent::Source(s));
            total += n;
            if (n > 0)
                counts << QStringLiteral("%1 %2")
                              .arg(QString::fromLatin1(sent::sourceWord(sent::Source(s))))
                              .arg(n);
        }
        out += QStringLiteral("sent: %1%2\n")
                   .arg(total)
                   .arg(counts.isEmpty() ? QString()
                                         : QStringLiteral(" (%1)").arg(counts.join(u", ")));
    } else {
        out += QStringLiteral("sent: %1\n").arg(sentLog.notice());
    }
    const Notes notes = Notes::forLog(log, logBytes);
    if (notes.valid())
        out += QStringLiteral("notes: %1\n").arg(notes.notes().size());
    else
        out += QStringLiteral("notes: %1\n").arg(notes.notice());
    return out;
}

int pack(const QStringList& args)
{
    QStringList rest = args;
    QString out;
    if (const qsizetype o = rest.indexOf(QStringLiteral("-o")); o >= 0) {
        if (o + 1 >= rest.size())
            return usage(QStringLiteral("-o takes the bundle's name"));
        out = rest[o + 1];
        rest.remove(o, 2);
    }
    if (rest.size() != 1)
        return usage(QStringLiteral("pack takes one log"));
    const QString log = rest[0];
    if (!QFileInfo(log).isFile())
        return fileError(QStringLiteral("Cannot read %1: %2")
                             .arg(log, QFileInfo::exists(log) ? QStringLiteral("not a file")
                                                              : QStringLiteral("no such file")));
    if (bundle::isBundle(log))
        return fileError(QStringLiteral("%1 is a bundle already").arg(log));
    if (out.isEmpty())
        out = log + QStringLiteral(".zip");
    if (const Result<> packed = bundle::pack(log, out); !packed)
        return fileError(packed.why());
    say(stderr, QStringLiteral("vantrel-log: wrote %1\n").arg(out));
    return kOk;
}

int unpack(const QStringList& args)
{
    if (args.size() != 1)
        return usage(QStringLiteral("unpack takes one bundle"));
    if (!bundle::isBundle(args[0]))
        return fileError(QStringLiteral("%1 is no bundle (not a zip file)").arg(args[0]));
    const auto unpacked = bundle::unpack(args[0], QDir::currentPath());
    if (!unpacked)
        return fileError(unpacked.why());
    for (const QString& file : unpacked->files)
        say(stdout, QFileInfo(file).fileName() + u'\n');
    return kOk;
}

int summaryCsv(const QStringList& files)
{
    if (files.isEmpty())
        return usage(QStringLiteral("summary --csv takes one or more captures"));
    std::vector<Row> rows(size_t(files.size()));
    std::atomic<qsizetype> next{0};
    std::atomic<qsizetype> finished{0};
    std::mutex progress;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const auto work = [&] {
        for (qsizetype i = next++; i < files.size(); i = next++) {
            rows[size_t(i)] = readCapture(files[i]);
            const qsizetype n = ++finished;
            if (terminal) {
                const std::lock_guard<std::mutex> lock(progress);
                say(stderr, QStringLiteral("\rvantrel-log: %1 of %2 captures read")
                                .arg(n)
                                .arg(files.size()));
            }
        }
    };
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (int t = 1; t < std::min<qsizetype>(cores, files.size()); ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads)
        t.join();
    if (terminal)
        say(stderr, QStringLiteral("\n"));

    // Each fault text that any capture holds is a column of its own.
    std::map<QString, int> faultTexts;
    for (const Row& row : rows)
        for (const auto& fault : row.faults)
            faultTexts[fault.first] = 0;
    QStringList head{QStringLiteral("file"),      QStringLiteral("first time"),
                     QStringLiteral("last time"), QStringLiteral("hours"),
                     QStringLiteral("dumps"),     QStringLiteral("stops"),
                     QStringLiteral("arrivals")};
    for (int s = 0; s < sent::kSources; ++s)
        head << QStringLiteral("sent %1").arg(
            QString::fromLatin1(sent::sourceWord(sent::Source(s))));
    head << QStringLiteral("notes");
    for (const auto& fault : faultTexts)
        head << QStringLiteral("fault %1").arg(fault.first);
    QStringList cells;
    for (const QString& h : head)
        cells << csvCell(h);
    QString out = cells.join(u',') + QStringLiteral("\r\n");
    int status = kOk;
    for (const Row& row : rows) {
        if (!row.error.isEmpty()) {
            status = fileError(row.error);
            continue;
        }
        for (const QString& notice : row.notices)
            say(stderr, QStringLiteral("vantrel-log: %1\n").arg(notice));
        cells = {csvCell(row.file),
                 row.firstMs ? isoTime(*row.firstMs) : QString(),
                 row.lastMs ? isoTime(*row.lastMs) : QString(),
                 row.firstMs ? QString::number(double(*row.lastMs - *row.firstMs) / 3.6e6, 'f', 3)
                             : QString(),
                 QString::number(row.dumps),
                 QString::number(row.stops),
                 QString::number(row.arrivals)};
        for (qint64 n : row.sentBy)
            cells << QString::number(n);
        cells << QString::number(row.notes);
        for (const auto& fault : faultTexts) {
            const auto it = row.faults.find(fault.first);
            cells << QString::number(it == row.faults.end() ? 0 : it->second);
        }
        out += cells.join(u',') + QStringLiteral("\r\n");
    }
    say(stdout, out);
    std::fflush(stdout);
    if (std::ferror(stdout))
        return fileError(QStringLiteral("Cannot write the summary: standard output failed"));
    return status;
}

} // namespace vantrel::cli

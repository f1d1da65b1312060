// vantrel-log: a capture log's summary, its signals as VCD or CSV, and the lines that
// hold a text, from the command line; bundles packed and unpacked.
#include "capturecommands.h"
#include "core/bundle.h"
#include "core/capturetimes.h"
#include "core/linefile.h"
#include "core/logindex.h"
#include "core/logsearch.h"
#include "core/signalexport.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdio>

using namespace vantrel;

namespace
{
constexpr int kOk = 0;
constexpr int kNothingFound = 1;
constexpr int kUsage = 2;
constexpr int kFileError = 3;

const char kHelp[] =
    "Usage: vantrel-log COMMAND [OPTIONS] LOG\n"
    "Reads a Vantrel capture log (and its capture times, LOG.times, where they match it;\n"
    "what was sent, LOG.sent, and the notes, LOG.notes), loose or in a bundle.\n"
    "\n"
    "Commands:\n"
    "  summary LOG                     lines, dumps, speed reports, stops, the time span\n"
    "                                  (or why there are no capture times), the faults\n"
    "  find [--ignore-case] TEXT LOG   each line holding TEXT: its number, its time where\n"
    "                                  known, and its text\n"
    "  export --vcd OUT LOG            the dumps' 75 signals and the speed as a value\n"
    "                                  change dump (IEEE 1364); the commands sent and\n"
    "                                  the notes as string variables where LOG has them\n"
    "  export --csv OUT LOG            one row per dump: time, line, 75 cells, speed;\n"
    "                                  sent and note columns where LOG has them\n"
    "  summary --csv FILE...           one CSV row per capture: time span, dumps, stops,\n"
    "                                  arrivals, commands sent by source, notes, faults\n"
    "  pack LOG [-o BUNDLE]            the log and the files beside it in one zip file\n"
    "                                  (BUNDLE, or LOG.zip)\n"
    "  unpack BUNDLE                   the loose files back in the current folder\n"
    "\n"
    "Options:\n"
    "  -h, --help                      this text\n"
    "  --version                       the program's version\n"
    "\n"
    "Exit status: 0 done, 1 find found nothing, 2 wrong usage, 3 a file could not be read\n"
    "or written.\n";

// False when the text could not be written whole; errno says why. File names go out
// as the bytes they came in as.
bool say(FILE* to, const QString& text)
{
    const QByteArray bytes = fileNameBytes(text);
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) == size_t(bytes.size());
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

// What went wrong with the standard output, once everything has been handed to it.
// False for `written` when a write failed just now (its errno stands).
std::optional<QString> outputFailed(bool written)
{
    int err = errno;
    if (written) {
        errno = 0;
        if (std::fflush(stdout) == 0 && !std::ferror(stdout))
            return std::nullopt;
        err = errno;
    }
    return QStringLiteral("Cannot write the standard output: %1").arg(osError(err ? err : EIO));
}

QString grouped(qint64 n)
{
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return digits;
}

QString span(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

Result<std::shared_ptr<const LogIndex>> indexed(const QString& log)
{
    return buildLogIndex(log);
}

int summary(const QString& log)
{
    const auto files = CaptureFiles::open(log);
    if (!files)
        return fileError(files.why());
    const auto built = indexed((*files)->log());
    if (!built)
        return fileError(built.why());
    const LogIndex& index = **built;
    using E = LogIndex::Event;
    QString out = QStringLiteral("%1: %2 bytes, %3 lines\n")
                      .arg(log, grouped(index.bytes()), grouped(index.lines()));
    out += QStringLiteral("dumps: %1\nspeed reports: %2, stops: %3\n")
               .arg(grouped(index.count(E::Dump)), grouped(index.count(E::Speed)),
                    grouped(index.count(E::Stop)));
    const CaptureTimes& times = index.times();
    if (times.valid())
        out += QStringLiteral("time: %1 to %2 (%3)\n")
                   .arg(isoTime(*times.firstMs()), isoTime(*times.lastMs()),
                        span(*times.lastMs() - *times.firstMs()));
    else
        out += QStringLiteral("time: no capture times: %1\n").arg(times.notice());
    const auto faults = index.faultCounts();
    qint64 newFaults = 0;
    for (const auto& fault : faults)
        newFaults += fault.second;
    out += QStringLiteral("fault reports: %1, new faults: %2, arrivals: %3\n")
               .arg(grouped(index.count(E::Fault)), grouped(newFaults),
                    grouped(index.count(E::Arrival)));
    for (const auto& [text, count] : faults)
        out += QStringLiteral("  %1  %2\n").arg(grouped(count), 12).arg(text);
    out += cli::sentAndNotes((*files)->log(), index.bytes());
    if (const auto failed = outputFailed(say(stdout, out)))
        return fileError(*failed);
    return kOk;
}

int find(const QString& text, bool ignoreCase, const QString& path)
{
    const auto files = CaptureFiles::open(path);
    if (!files)
        return fileError(files.why());
    const QString log = (*files)->log();
    const auto built = indexed(log);
    if (!built)
        return fileError(built.why());
    const LogIndex& index = **built;
    if (!index.times().valid())
        say(stderr, QStringLiteral("vantrel-log: %1\n").arg(index.times().notice()));
    SearchOptions options;
    options.ignoreCase = ignoreCase;
    qint64 lastLine = 0;
    qint64 lines = 0;
    QString failed;
    const Result<qint64> count =
        searchLog(log, text.toLatin1(), options, [&](const SearchHit& hit) {
            if (hit.line == lastLine)
                return true; // each line once
            lastLine = hit.line;
            ++lines;
            const Result<QString> line = index.lineText(hit.line);
            const Result<std::optional<qint64>> time = index.lineTime(hit.line);
            if (!line || !time) {
                failed = line ? time.why() : line.why();
                return false;
            }
            if (!say(stdout,
                     *time
                         ? QStringLiteral("%1\t%2\t%3\n").arg(hit.line).arg(isoTime(**time), *line)
                         : QStringLiteral("%1\t%2\n").arg(hit.line).arg(*line))) {
                failed = *outputFailed(false);
                return false;
            }
            return true;
        });
    if (!failed.isEmpty())
        return fileError(failed);
    if (const auto notWritten = outputFailed(true))
        return fileError(*notWritten);
    if (!count)
        return fileError(count.why());
    say(stderr,
        QStringLiteral("vantrel-log: %1 %2 on %3 %4\n")
            .arg(grouped(*count), *count == 1 ? QStringLiteral("hit") : QStringLiteral("hits"),
                 grouped(lines), lines == 1 ? QStringLiteral("line") : QStringLiteral("lines")));
    return *count > 0 ? kOk : kNothingFound;
}

int exportSignals(bool vcd, const QString& to, const QString& log)
{
    const auto files = CaptureFiles::open(log);
    if (!files)
        return fileError(files.why());
    const auto built = indexed((*files)->log());
    if (!built)
        return fileError(built.why());
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fileError(QStringLiteral("Cannot write %1: %2").arg(to, out.errorString()));
    const ExportExtras extras = ExportExtras::beside(**built);
    const Result<ExportCount> written =
        vcd ? writeVcd(**built, out,
                       QStringLiteral("vantrel-log %1").arg(QLatin1String(VANTREL_VERSION)), extras)
            : writeCsv(**built, out, extras);
    if (!written)
        return fileError(written.why());
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fileError(QStringLiteral("Cannot write %1: %2").arg(to, out.errorString()));
    if (!(*built)->times().valid())
        say(stderr, QStringLiteral("vantrel-log: %1\n").arg((*built)->times().notice()));
    for (const QString& notice : extras.notices)
        say(stderr, QStringLiteral("vantrel-log: %1\n").arg(notice));
    return kOk;
}
} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << fileNameFromBytes(QByteArray(argv[i])); // any file name, byte for byte
    if (args.contains(QStringLiteral("-h")) || args.contains(QStringLiteral("--help"))) {
        say(stdout, QString::fromLatin1(kHelp));
        return kOk;
    }
    if (args.contains(QStringLiteral("--version"))) {
        say(stdout, QStringLiteral("vantrel-log %1\n").arg(QLatin1String(VANTREL_VERSION)));
        return kOk;
    }
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString command = args.takeFirst();
    if (command == u"pack")
        return cli::pack(args);
    if (command == u"unpack")
        return cli::unpack(args);
    if (command == u"summary" && !args.isEmpty() && args[0] == u"--csv")
        return cli::summaryCsv(args.mid(1));
    if (command == u"summary") {
        if (args.size() != 1)
            return usage(QStringLiteral("summary takes one log"));
        return summary(args[0]);
    }
    if (command == u"find") {
        const bool ignoreCase = args.removeAll(QStringLiteral("--ignore-case")) > 0;
        if (args.size() != 2 || args[0].isEmpty())
            return usage(QStringLiteral("find takes a text and a log"));
        for (QChar c : args[0])
            if (c.unicode() > 0xff)
                return usage(QStringLiteral("the text to find must be Latin-1"));
        return find(args[0], ignoreCase, args[1]);
    }
    if (command == u"export") {
        if (args.size() != 3 || (args[0] != u"--vcd" && args[0] != u"--csv"))
            return usage(QStringLiteral("export takes --vcd or --csv, an output file and a log"));
        return exportSignals(args[0] == u"--vcd", args[1], args[2]);
    }
    return usage(QStringLiteral("unknown command '%1'").arg(command));
}

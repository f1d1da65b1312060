// The log index on a day of capture log. "generate LOG MB [KIND]" writes a log of
// controller text as the capture log stores it, with its capture times as if it came in
// at 115,200 baud (chattering: every signal of every dump the opposite of the dump
// before, as a chattering input would have it; speeds: nothing but speed reports, each
// unlike the last; faults: a fault and its all-clear by turns, every line; arrivals: a
// car going from landing to landing, a stop and an arrival every three lines; shortfaults: the
// shortest fault lines, "A" and "B" by turns, each a new fault); "redraw LOG" draws
// its timeline window (offscreen) at zoom levels from the whole log down to 10 seconds and prints
// the median time; "measure LOG GREP_SECONDS REDRAW_MS" indexes it and prints the figures in one
// line (named with NAME when given). The drawing runs in a process of its own so the index's memory
// is measured without the display's.
#include "core/linefile.h"
#include "core/logindex.h"
#include "core/logsearch.h"
#include "platform/filesystem.h"
#include "replay/timelinewindow.h"
#include "shell/application.h"
#include "terminal/capturetimeswriter.h"
#include "traffic.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace vantrel;

namespace
{
constexpr qint64 kBytesPerSecond = 11520;  // 115,200 baud, 10 bits a byte
constexpr qint64 kPieceBytes = 184;        // what a USB adapter hands over at a time
constexpr uint32_t kCallOdds = 20000;      // an idle car is called about every 4 minutes
constexpr qint64 kStartMs = 1767225600000; // 2026-01-01 00:00 UTC
constexpr int kTargets = 100;
constexpr double kClosestViewMs = 10000;  // the redraws go down to 10 seconds
const QByteArray kFound = "ARRIVED AT 3"; // what the find looks for

// The wall clock of the generated day.
class DayClock final : public Clock
{
public:
    qint64 ms = kStartMs;
    double nowSeconds() override { return double(ms) / 1000.0; }
    qint64 wallMilliseconds() override { return ms; }
    void doEvents() override {}
};

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double peakRssMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Sets every cell of the whole dumps in the text to 0 or 1 by turns, from dump `parity` on.
void chatter(std::string& stored, qint64& parity)
{
    const std::string header = kPmiHeader.toStdString();
    for (size_t at = stored.find(header); at != std::string::npos;
         at = stored.find(header, at + header.size())) {
        const char bit = char('0' + (parity++ & 1));
        for (int line = 1; line <= 8; ++line)
            for (int cell = 1; cell <= 16; ++cell) {
                const size_t c = at + size_t(cellOffset(line, cell));
                if (c < stored.size() && (stored[c] == '0' || stored[c] == '1'))
                    stored[c] = bit;
            }
    }
}

// The kinds of log made of nothing but reports, one a line: the next `bytes` of it.
const char* const kFaultTexts[] = {"DOOR LOCK OPEN", "SAFETY CHAIN OPEN", "OVERSPEED",
                                   "LEVELLING TIMEOUT", "DRIVE FAULT 17"};
void reports(std::string& out, size_t bytes, const std::string& kind, qint64& n)
{
    char line[64];
    const size_t end = out.size() + bytes;
    while (out.size() < end) {
        const qint64 k = n++;
        if (kind == "speeds") { // up to 120 and down again, over and over
            const qint64 v = k % 240 < 120 ? k % 240 : 240 - k % 240;
            std::snprintf(line, sizeof line, "VEL =   %3d\r\n", int(v));
        } else if (kind == "shortfaults") { // the shortest new fault, every line
            std::snprintf(line, sizeof line, "FLT0 =  %c\r\n", k % 2 ? 'B' : 'A');
        } else if (kind == "faults") {
            std::snprintf(line, sizeof line, "FLT0 =  %s\r\n",
                          k % 2 ? "NO FAULT" : kFaultTexts[(k / 2) % std::size(kFaultTexts)]);
        } else if (k % 3 == 0) {
            std::snprintf(line, sizeof line, "VEL =    60\r\n");
        } else if (k % 3 == 1) {
            std::snprintf(line, sizeof line, "VEL =     0\r\n");
        } else {
            std::snprintf(line, sizeof line, "FLT0 =  ARRIVED AT %d\r\n", int(k / 3 % 7 + 1));
        }
        out += line;
    }
}

int generate(const QString& path, qint64 megabytes, const QString& kind)
{
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(log.errorString()));
        return 1;
    }
    PosixFileSystem files;
    DayClock clock;
    CaptureTimesWriter times(files, clock);
    if (const Result<> started = times.start(path, 0, true); !started) {
        std::fprintf(stderr, "%s\n", qPrintable(started.why()));
        return 1;
    }
    sim::Traffic traffic(2026, kCallOdds);
    const qint64 total = megabytes << 20;
    qint64 offset = 0;
    qint64 parity = 0;
    std::string raw;
    std::string stored;
    const bool simulated = kind.isEmpty() || kind == u"chattering";
    while (offset < total) {
        stored.clear();
        if (simulated) {
            raw.clear();
            traffic.generate(raw, 1 << 20);
            sim::appendAsLogged(stored, raw);
        } else {
            reports(stored, 1 << 20, kind.toStdString(), parity);
        }
        if (kind == u"chattering")
            chatter(stored, parity);
        for (size_t at = 0; at < stored.size(); at += kPieceBytes) {
            clock.ms = kStartMs + (offset + qint64(at)) * 1000 / kBytesPerSecond;
            if (const Result<> noted = times.piece(offset + qint64(at)); !noted) {
                std::fprintf(stderr, "%s\n", qPrintable(noted.why()));
                return 1;
            }
        }
        if (log.write(stored.data(), qint64(stored.size())) != qint64(stored.size())) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                         qPrintable(log.errorString()));
            return 1;
        }
        offset += qint64(stored.size());
    }
    log.close();
    clock.ms = kStartMs + offset * 1000 / kBytesPerSecond;
    if (const Result<> closed = times.finish(offset); !closed) {
        std::fprintf(stderr, "%s\n", qPrintable(closed.why()));
        return 1;
    }
    return 0;
}

// Draws the whole timeline window into an image at each zoom level from the whole log
// down to kClosestViewMs, halving the view each time, at a random place; the times of
// each drawing in ms.
std::vector<double> redraws(const std::shared_ptr<const LogIndex>& index,
                            const std::vector<SearchHit>& hits)
{
    // The signals' default choice, whatever this user chose in the program.
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QLatin1String(TimelineWindow::kSignalsKey));
    TimelineWindow window(index);
    window.setFont(windowFont());
    window.show();
    // At its full width, which the offscreen screen is too small for: the program keeps
    // windows within their screen.
    window.resize(TimelineWindow::kDefaultWidthPx, window.height());
    QCoreApplication::processEvents();
    window.setFindHits(hits);
    window.setCursorLine(index->lines() / 2);
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    window.render(&image); // the first drawing loads the fonts
    std::mt19937_64 random(11);
    const TimelineSummary& s = index->timeline();
    const double whole = double(s.end() - s.start());
    std::vector<double> ms;
    for (double span = whole;; span = std::max(span / 2, kClosestViewMs)) {
        const double place = double(random() % 1000000) / 1e6;
        window.setView(double(s.start()) + place * (whole - span), span);
        const auto t = std::chrono::steady_clock::now();
        window.render(&image);
        ms.push_back(seconds(t) * 1000);
        if (span <= kClosestViewMs)
            break;
    }
    return ms;
}

int redraw(const QString& path)
{
    const auto built = buildLogIndex(path);
    if (!built) {
        std::fprintf(stderr, "%s\n", qPrintable(built.why()));
        return 1;
    }
    std::vector<SearchHit> kept;
    const Result<qint64> hits = searchLog(path, kFound, {}, [&](const SearchHit& hit) {
        kept.push_back(hit);
        return true;
    });
    if (!hits) {
        std::fprintf(stderr, "find: %s\n", qPrintable(hits.why()));
        return 1;
    }
    std::vector<double> ms = redraws(*built, kept);
    const double slowest = *std::max_element(ms.begin(), ms.end());
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    std::printf("%.1f\n", ms[ms.size() / 2]);
    std::fprintf(stderr,
                 "(the timeline window drawn %zu times from the whole log down to %.0f s, "
                 "each at a random place: median %.1f ms, slowest %.1f ms)\n",
                 ms.size(), kClosestViewMs / 1000, ms[ms.size() / 2], slowest);
    return 0;
}

int measure(const QString& path, double grepSeconds, double redrawMs, const QString& name)
{
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const auto built = buildLogIndex(path);
    const double indexSeconds = seconds(start);
    const double indexCpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!built) {
        std::fprintf(stderr, "%s\n", qPrintable(built.why()));
        return 1;
    }
    const LogIndex& index = **built;
    if (!index.times().valid()) {
        std::fprintf(stderr, "%s\n", qPrintable(index.times().notice()));
        return 1;
    }
    const double megabytes = double(index.bytes()) / (1 << 20);
    const double rate = megabytes / indexSeconds;
    const double grepRate = megabytes / grepSeconds;

    // Going to lines, times and dumps, mixed, from an empty screen.
    std::mt19937_64 random(7);
    const qint64 firstMs = *index.times().firstMs();
    const qint64 lastMs = *index.times().lastMs();
    const qsizetype dumps = index.count(LogIndex::Event::Dump);
    // The events gone to: the dumps, or the reports of a log that has none.
    LogIndex::Event most = LogIndex::Event::Dump;
    for (LogIndex::Event e :
         {LogIndex::Event::Speed, LogIndex::Event::NewFault, LogIndex::Event::Arrival})
        if (index.count(e) > index.count(most))
            most = e;
    const qsizetype events = index.count(most);
    std::vector<double> gotoMs;
    const ReplayState empty;
    for (int k = 0; k < kTargets; ++k) {
        const auto t = std::chrono::steady_clock::now();
        qint64 line = 0;
        switch (k % 3) {
        case 0:
            line = index.lineAtFraction(double(random() % 1000000) / 1e6);
            break;
        case 1:
            line = *index.lineAtTime(firstMs + qint64(random() % quint64(lastMs - firstMs)));
            break;
        default:
            line = events == 0 ? index.lineAtFraction(0.5)
                               : index.place(most, qsizetype(random() % quint64(events))).line;
            break;
        }
        const Result<ReplayState> state = index.stateAfter(line, empty);
        if (!state) {
            std::fprintf(stderr, "%s\n", qPrintable(state.why()));
            return 1;
        }
        gotoMs.push_back(seconds(t) * 1000);
    }
    std::nth_element(gotoMs.begin(), gotoMs.begin() + kTargets / 2, gotoMs.end());

    const auto found = std::chrono::steady_clock::now();
    const Result<qint64> hits = searchLog(
        path, name.isEmpty() || name == u"chattering" ? kFound : QByteArray("VEL =     0"), {},
        [](const SearchHit&) { return true; });
    const double findSeconds = seconds(found);
    if (!hits || (*hits == 0 && name != u"faults" && name != u"shortfaults")) {
        std::fprintf(stderr, "find: %s\n", hits ? "nothing found" : qPrintable(hits.why()));
        return 1;
    }
    // The timeline's summary is built with the index; built again alone, its share
    // (after the memory's peak is taken, which the second one would raise).
    const double rss = peakRssMegabytes();
    const auto summaryStart = std::chrono::steady_clock::now();
    const std::clock_t summaryCpuStart = std::clock();
    const auto summary = index.buildTimeline();
    const double summarySeconds = seconds(summaryStart);
    const double summaryCpu = double(std::clock() - summaryCpuStart) / CLOCKS_PER_SEC;
    std::printf("log-index%s: %.0f MB/s, %.2f of grep, rss %.1f MB, goto %.1f ms, find %.2f s, "
                "redraw %.1f ms\n",
                name.isEmpty() ? "" : qPrintable(QLatin1Char(' ') + name), rate, rate / grepRate,
                rss, gotoMs[kTargets / 2], findSeconds, redrawMs);
    std::fprintf(stderr,
                 "(%.0f MB, %lld lines, %lld dumps, %lld speeds, %lld faults, %lld new faults, "
                 "%lld arrivals, %lld stops, %lld times, "
                 "index %.2f s (cpu %.2f s) with the timeline's summary, which alone takes "
                 "%.3f s (cpu %.3f s), grep %.2f s, %lld hits)\n",
                 megabytes, static_cast<long long>(index.lines()), static_cast<long long>(dumps),
                 static_cast<long long>(index.count(LogIndex::Event::Speed)),
                 static_cast<long long>(index.count(LogIndex::Event::Fault)),
                 static_cast<long long>(index.count(LogIndex::Event::NewFault)),
                 static_cast<long long>(index.count(LogIndex::Event::Arrival)),
                 static_cast<long long>(index.count(LogIndex::Event::Stop)),
                 static_cast<long long>(index.times().records()), indexSeconds, indexCpu,
                 summarySeconds, summaryCpu, grepSeconds, static_cast<long long>(*hits));
    // A log of any content: the index within 200 MB a gigabyte, a go-to within 100 ms.
    const double limit = name.isEmpty() ? 100 : 200 * std::max(1.0, megabytes / 1024);
    if (rss > limit || gotoMs[kTargets / 2] > 100) {
        std::fflush(stdout);
        std::fprintf(stderr, "log-index%s: over its limits (rss %.0f MB, goto 100 ms)\n",
                     name.isEmpty() ? "" : qPrintable(QLatin1Char(' ') + name), limit);
        return 1;
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    // Only drawing needs windows (offscreen); the rest needs no display.
    const bool drawing = argc == 3 && std::string(argv[1]) == "redraw";
    if (drawing)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(drawing ? new QApplication(argc, argv)
                                                  : new QCoreApplication(argc, argv));
    if (drawing)
        setUpApplication();
    const QStringList args = QCoreApplication::arguments();
    const QStringList kinds{QStringLiteral("chattering"), QStringLiteral("speeds"),
                            QStringLiteral("faults"), QStringLiteral("arrivals"),
                            QStringLiteral("shortfaults")};
    if ((args.size() == 4 || (args.size() == 5 && kinds.contains(args[4]))) &&
        args[1] == u"generate")
        return generate(args[2], args[3].toLongLong(), args.value(4));
    if (args.size() == 3 && args[1] == u"index") // for a profiler: the index alone
        return buildLogIndex(args[2]) ? 0 : 1;
    if (drawing)
        return redraw(args[2]);
    if ((args.size() == 5 || args.size() == 6) && args[1] == u"measure")
        return measure(args[2], args[3].toDouble(), args[4].toDouble(), args.value(5));
    std::fprintf(
        stderr,
        "usage: bench_log_index generate LOG MB [chattering|speeds|faults|arrivals|shortfaults] | "
        "redraw LOG | "
        "measure LOG GREP_SECONDS REDRAW_MS [NAME]\n");
    return 2;
}

// What was sent beside a day of capture: polls every 250 ms (the status poll, with the
// speed and fault follow-ups among them, each a little late or early), a button every ten
// minutes, written through the program's own writer; prints the file's size and how long
// writing and reading it back took, and how long the replay's find takes over those pieces
// and a key typed every second of the day beside them, in one line.
#include "core/logsearch.h"
#include "core/sentlog.h"
#include "platform/clock.h"
#include "platform/filesystem.h"
#include "terminal/sentwriter.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <random>

using namespace vantrel;

namespace
{
class SetClock final : public Clock
{
public:
    qint64 ms = 1767225600000; // 2026-01-01 00:00 UTC
    double nowSeconds() override { return double(ms) / 1000; }
    qint64 wallMilliseconds() override { return ms; }
    void doEvents() override {}
};
} // namespace

int main()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("capture.log"));
    PosixFileSystem files;
    SetClock clock;
    SentWriter writer(files, clock);
    std::mt19937 random(1);
    std::uniform_int_distribution<int> jitter(-20, 20);
    const auto started = std::chrono::steady_clock::now();
    qint64 logBytes = 0;
    qint64 polls = 0;
    const qint64 start = clock.ms;
    if (!writer.start(log, 0, true)) {
        std::fprintf(stderr, "sent-size: cannot write beside %s\n", qPrintable(log));
        return 1;
    }
    for (qint64 tick = 0; tick < 24LL * 3600 * 4; ++tick) {
        clock.ms = start + tick * 250 + jitter(random);
        logBytes += 300; // a dump and a speed report, about
        const char* poll = tick % 4 == 1 ? "vel\r" : tick % 40 == 2 ? "flt0\r" : "pmii\r";
        writer.sent(sent::Source::Poll, poll, logBytes).skip();
        ++polls;
        if (tick % 2400 == 3)
            writer.sent(sent::Source::Button, "stu\r", logBytes).skip();
    }
    writer.finish(logBytes).skip();
    const auto written = std::chrono::steady_clock::now();
    const SentLog back = SentLog::forLog(log, logBytes);
    const auto read = std::chrono::steady_clock::now();
    const auto ms = [](auto d) {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    };
    if (!back.valid() || back.count(sent::Source::Poll) != polls) {
        std::fprintf(stderr, "sent-size: read back wrong: %s\n", qPrintable(back.notice()));
        return 1;
    }
    QList<SentPiece> pieces = back.pieces();
    for (qint64 second = 0; second < 24 * 3600; ++second)
        pieces << SentPiece{sent::Source::Key, second * 1200, start + second * 1000, 1, 0, 0, "k"};
    const auto findStart = std::chrono::steady_clock::now();
    const SearchResult found =
        mergeHits({}, findSent(pieces, "STU", true, [](qint64 offset) { return offset / 80; }));
    const auto findEnd = std::chrono::steady_clock::now();
    if (found.sentCount != 144) { // a button every ten minutes
        std::fprintf(stderr, "sent-size: found %lld buttons\n", found.sentCount);
        return 1;
    }
    std::printf(
        "sent-size: %.0f KB for a day of %lld polls every 250 ms (%lld lines), write "
        "%lld ms, read %lld ms, find %.1f ms in %lld pieces\n",
        double(QFileInfo(sent::pathFor(log)).size()) / 1024, polls, qint64(back.pieces().size()),
        ms(written - started), ms(read - written),
        double(std::chrono::duration_cast<std::chrono::microseconds>(findEnd - findStart).count()) /
            1000,
        qint64(pieces.size()));
    return 0;
}

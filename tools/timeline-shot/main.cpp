// Draws the timeline window over a day of capture log into a PNG, offscreen: the log is
// the simulated controller's traffic on a line a technician polls slowly all day (a car
// called now and then, a few faults among the reports), with its capture times; with
// --sent also what was sent (a poll every 250 ms, a button now and then, a key) and two
// of the technician's notes beside the cursor.
#include "core/capturetimes.h"
#include "core/logindex.h"
#include "core/logsearch.h"
#include "core/notes.h"
#include "core/sentlog.h"
#include "replay/timelinewindow.h"
#include "shell/application.h"
#include "traffic.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

using namespace vantrel;

namespace
{
constexpr qint64 kDayMs = 24 * 3600 * 1000;
constexpr qint64 kBytesPerSecond = 700; // a slow poll: the day's log is about 60 MB
constexpr uint32_t kCallOdds = 30000;   // a car called about every 45 minutes
constexpr uint32_t kFaultOdds = 25000;  // one in this many stretches of traffic gets a fault
constexpr qint64 kRecordMs = capturetimes::kSpacingMs;
const char* const kFaults[] = {"DOOR LOCK OPEN", "SAFETY CHAIN OPEN", "DOOR CLOSE TIMEOUT",
                               "GOVERNOR SWITCH"};

int fail(const QString& why)
{
    std::fprintf(stderr, "timeline-shot: %s\n", qPrintable(why));
    return 1;
}

// The day's log as the capture log stores it (LF dropped, each CR followed by LF), and
// its times: a record each time a tenth of a second has passed.
bool writeDay(const QString& path, qint64 startMs)
{
    QFile log(path);
    QFile times(capturetimes::pathFor(path));
    if (!log.open(QIODevice::WriteOnly) || !times.open(QIODevice::WriteOnly))
        return false;
    times.write(capturetimes::headerLine() + capturetimes::openLine(0, startMs));
    sim::Traffic traffic(2027, kCallOdds);
    sim::Random random(9);
    const qint64 total = kDayMs / 1000 * kBytesPerSecond;
    qint64 offset = 0;
    qint64 recorded = startMs;
    std::string raw;
    while (offset < total) {
        raw.clear();
        traffic.generate(raw, 64);
        if (random.next() % kFaultOdds == 0)
            raw += std::string("FLT0 =  ") + kFaults[random.next() % 4] + "\r\n";
        QByteArray stored;
        sim::appendAsLogged(stored, raw);
        const qint64 ms = startMs + offset * 1000 / kBytesPerSecond;
        if (ms - recorded >= kRecordMs) {
            times.write(capturetimes::recordLine(offset, ms));
            recorded = ms;
        }
        log.write(stored);
        offset += stored.size();
    }
    times.write(capturetimes::closeLine(offset, startMs + offset * 1000 / kBytesPerSecond));
    return log.flush() && times.flush();
}

// What was sent beside the day: the polls as a run a minute, a car called by a button
// every quarter of an hour, a key typed in the terminal now and then.
bool writeSent(const QString& path, qint64 startMs, qint64 logBytes)
{
    QFile file(sent::pathFor(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto offsetAt = [&](qint64 ms) {
        return std::min(logBytes, (ms - startMs) * kBytesPerSecond / 1000);
    };
    constexpr qint64 kPollMs = 250;
    constexpr qint64 kMinuteMs = 60'000;
    file.write(sent::headerLine() + sent::openLine(0, startMs));
    for (qint64 ms = startMs; offsetAt(ms + kMinuteMs) < logBytes; ms += kMinuteMs) {
        const qint64 last = ms + kMinuteMs - kPollMs;
        file.write(
            sent::pollsLine(offsetAt(ms), ms, kMinuteMs / kPollMs, offsetAt(last), last, "pmii\r"));
        const qint64 minute = (ms - startMs) / kMinuteMs;
        if (minute % 15 == 7)
            file.write(sent::pieceLine(sent::Source::Button, offsetAt(last), last, "scc3\r"));
        if (minute % 40 == 21)
            file.write(sent::pieceLine(sent::Source::Key, offsetAt(last), last, "v"));
    }
    file.write(sent::closeLine(logBytes, startMs + logBytes * 1000 / kBytesPerSecond));
    return file.flush();
}

// Two notes, some minutes before and after a line.
bool writeNotes(const LogIndex& index, qint64 line)
{
    const auto timeOf = [&](qint64 l) {
        const Result<std::optional<qint64>> ms = index.lineTime(l);
        return ms ? *ms : std::nullopt;
    };
    const auto minutesFrom = [&](qint64 minutes) {
        const std::optional<qint64> at = timeOf(line);
        const Result<qint64> found =
            at ? index.lineUpTo(*at + minutes * 60'000) : Result<qint64>(line);
        return found ? *found : line;
    };
    const qint64 earlier = minutesFrom(-12);
    const qint64 later = minutesFrom(4);
    QList<Note> notes;
    for (const auto& [noted, text] :
         {std::pair{earlier, QStringLiteral("car shook leaving 3")},
          std::pair{later, QStringLiteral("noise when the door closed")}}) {
        const Result<qint64> offset = index.lineOffset(noted);
        if (!offset)
            return false;
        notes << Note{*offset, timeOf(noted), text};
    }
    return saveNotes(index.path(), notes).ok();
}
} // namespace

int main(int argc, char** argv)
{
    // Offscreen unless given another (an offscreen screen of a laptop's size, say).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();
    QStringList args = QCoreApplication::arguments();
    const bool withSent = args.removeAll(QStringLiteral("--sent")) > 0;
    if (args.size() != 2 && args.size() != 3)
        return fail(
            QStringLiteral("usage: timeline-shot [--sent] OUT.png [MINUTES around the cursor]"));
    // The signals' default choice, whatever this user chose in the program.
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QLatin1String(TimelineWindow::kSignalsKey));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.log"));
    const qint64 startMs =
        QDateTime(QDate(2026, 3, 2), QTime(0, 0)).toMSecsSinceEpoch(); // local midnight
    if (!writeDay(path, startMs))
        return fail(QStringLiteral("cannot write a day of log in %1").arg(dir.path()));
    if (withSent && !writeSent(path, startMs, QFile(path).size()))
        return fail(QStringLiteral("cannot write what was sent in %1").arg(dir.path()));
    const auto index = buildLogIndex(path);
    if (!index)
        return fail(index.why());
    const TimelineSeries& faults = (*index)->timeline().faults();
    const qint64 middleFault =
        faults.size() > 0
            ? (*index)->place(LogIndex::Event::NewFault, faults.value(faults.size() / 2)).line
            : 0;
    if (withSent && middleFault > 0 && !writeNotes(**index, middleFault))
        return fail(QStringLiteral("cannot write notes in %1").arg(dir.path()));

    TimelineWindow window(*index);
    window.setFont(windowFont());
    window.show();
    QCoreApplication::processEvents();
    std::vector<SearchHit> hits;
    const Result<qint64> found = searchLog(path, "ARRIVED AT 3", {}, [&](const SearchHit& hit) {
        hits.push_back(hit);
        return true;
    });
    if (!found)
        return fail(found.why());
    window.setFindHits(hits);
    // The cursor on the day's middle fault, as a click on it leaves it.
    if (middleFault > 0)
        window.setCursorLine(middleFault);
    if (args.size() == 3 && window.cursorPosition()) {
        const double span = args[2].toDouble() * 60000;
        window.setView(*window.cursorPosition() - span / 2, span);
    }
    QImage image(window.size() * window.devicePixelRatio(), QImage::Format_ARGB32);
    image.setDevicePixelRatio(window.devicePixelRatio());
    window.render(&image);
    if (!image.save(args[1]))
        return fail(QStringLiteral("cannot write %1").arg(args[1]));
    return 0;
}

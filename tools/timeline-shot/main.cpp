// Draws the timeline window over a day of capture log into a PNG, offscreen: the log is
// the simulated controller's traffic on a line a technician polls slowly all day (a car
// called now and then, a few faults among the reports), with its capture times.
#include "core/capturetimes.h"
#include "core/logindex.h"
#include "core/logsearch.h"
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
} // namespace

int main(int argc, char** argv)
{
    // Offscreen unless given another (an offscreen screen of a laptop's size, say).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 && args.size() != 3)
        return fail(QStringLiteral("usage: timeline-shot OUT.png [MINUTES around the cursor]"));
    // The signals' default choice, whatever this user chose in the program.
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QLatin1String(TimelineWindow::kSignalsKey));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.log"));
    const qint64 startMs =
        QDateTime(QDate(2026, 3, 2), QTime(0, 0)).toMSecsSinceEpoch(); // local midnight
    if (!writeDay(path, startMs))
        return fail(QStringLiteral("cannot write a day of log in %1").arg(dir.path()));
    const auto index = buildLogIndex(path);
    if (!index)
        return fail(index.why());

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
    const TimelineSeries& faults = (*index)->timeline().faults();
    if (faults.size() > 0)
        window.setCursorLine(
            (*index)->place(LogIndex::Event::NewFault, faults.value(faults.size() / 2)).line);
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

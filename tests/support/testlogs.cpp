#include "testlogs.h"

#include "core/capturetimes.h"
#include "core/linefile.h"
#include "core/pmidump.h"
#include "testfiles.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

#include <sys/mman.h>
#include <unistd.h>

namespace vantrel::test
{

namespace
{
const char* const kFaults[] = {"NO FAULT",       "ARRIVED AT 3", "ARRIVED AT B",
                               "DOOR LOCK OPEN", "ARRIVED AT 6", "SAFETY CHAIN OPEN"};
} // namespace

QByteArray randomLog(quint32 seed, int pieces, const LogMix& mix)
{
    QRandomGenerator r(seed);
    QByteArray out;
    QByteArray signal(16 * 8, '0'); // the cells' values, most of them steady
    const auto chance = [&](int perMille) { return int(r.bounded(1000)) < perMille; };
    const auto lineEnd = [&]() -> QByteArray {
        return chance(mix.bareCrPerMille) ? QByteArray("\r") : QByteArray("\r\n");
    };
    const auto text = [&](int n) {
        QByteArray t;
        for (int i = 0; i < n; ++i)
            t += chance(mix.loneLfPerMille) ? '\n' : char('a' + r.bounded(26));
        return t;
    };
    for (int p = 0; p < pieces; ++p) {
        const int kind = int(r.bounded(1000));
        int at = 0;
        if (kind < (at += mix.dumpsPerMille)) {
            QByteArray dump = "> PMII" + lineEnd() + kPmiHeader.toLatin1() + lineEnd();
            if (chance(mix.changedDumpsPerMille))
                for (int k = 1 + int(r.bounded(3)); k > 0; --k) // now and then a letter
                    signal[r.bounded(signal.size())] =
                        chance(100) ? char('A' + r.bounded(26)) : char('0' + r.bounded(2));
            for (int line = 1; line <= 8; ++line) {
                QByteArray row = "I/O " + QByteArray::number(line) + "  ";
                for (int cell = 1; cell <= 16; ++cell) {
                    row += signal[(line - 1) * 16 + cell - 1];
                    if (cell < 16)
                        row += ' ';
                }
                dump += row + lineEnd();
            }
            if (chance(330))
                dump.truncate(int(r.bounded(dump.size())));
            out += dump;
        } else if (kind < (at += mix.speedsPerMille)) {
            QByteArray value = QByteArray::number(r.bounded(201)).rightJustified(3, ' ');
            if (chance(100))
                value.truncate(int(r.bounded(3)));
            out += text(int(r.bounded(3))) + "VEL =   " + value + lineEnd();
        } else if (kind < (at += mix.faultsPerMille)) {
            out += QByteArray("FLT0 =  ") + kFaults[r.bounded(6)] + lineEnd();
        } else if (kind < (at += mix.longLinesPerMille)) {
            const int length =
                chance(200) ? 65536 + int(r.bounded(8000)) : 3900 + int(r.bounded(600));
            QByteArray line = text(length);
            // Markers near the start, the middle and the end of the long line.
            for (const QByteArray& m :
                 {kPmiHeader.toLatin1(), QByteArray("VEL =   12"), QByteArray("FLT0 =  NO FAULT")})
                line.insert(int(r.bounded(line.size())), m);
            if (chance(300))
                line += kPmiHeader.toLatin1();
            out += line + lineEnd();
        } else if (chance(50)) {
            out += lineEnd();
        } else {
            out += "CAR 1 EVT " + text(int(r.bounded(30))) + lineEnd();
        }
    }
    if (chance(500))
        out += "LAST " + text(int(r.bounded(20))); // no line end
    return out;
}

QList<ReadLine> replayLines(const QByteArray& log)
{
    QList<ReadLine> lines;
    const int fd = ::memfd_create("log", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, log.constData(), size_t(log.size())) != ssize_t(log.size()) ||
        ::lseek(fd, 0, SEEK_SET) != 0) {
        QTest::qFail("cannot make the log in memory", __FILE__, __LINE__);
        return lines;
    }
    LineFile file(fd, kReplayLineMax);
    qint64 offset = 0;
    for (;;) {
        const LineRead next = file.next();
        if (!next)
            QTest::qFail(qPrintable(next.why()), __FILE__, __LINE__);
        if (!next || !*next)
            break;
        lines.append({**next, offset});
        // Where the next line starts: after this one's CR (and its LF).
        const qsizetype cr = log.indexOf('\r', offset);
        offset = cr < 0 ? log.size() : cr + 1;
        if (offset < log.size() && log.at(offset) == '\n')
            ++offset;
    }
    return lines;
}

QList<TimeRecord> randomTimes(quint32 seed, qint64 logBytes, qint64 startMs)
{
    QRandomGenerator r(seed);
    QList<TimeRecord> records{{0, startMs}};
    qint64 offset = 0;
    qint64 ms = startMs;
    for (;;) {
        offset += 1 + r.bounded(600);
        if (offset >= logBytes)
            break;
        ms += r.bounded(100) < 2 ? 3600000 * (1 + r.bounded(8)) : 100 + r.bounded(1900);
        records.append({offset, ms});
    }
    return records;
}

QByteArray timesFile(const QList<TimeRecord>& records, qint64 logBytes)
{
    QByteArray text = capturetimes::headerLine();
    for (const TimeRecord& t : records)
        text += t.offset == 0 ? capturetimes::openLine(0, t.ms)
                              : capturetimes::recordLine(t.offset, t.ms);
    return text + capturetimes::closeLine(logBytes, records.last().ms);
}

qint64 timeOfByte(const QList<TimeRecord>& records, qint64 offset)
{
    const auto past =
        std::upper_bound(records.begin(), records.end(), offset,
                         [](qint64 at, const TimeRecord& t) { return at < t.offset; });
    return past == records.begin() ? records.first().ms : (past - 1)->ms;
}

QString writeLog(const QString& folder, quint32 seed, int pieces, bool timed)
{
    const QString path = folder + QStringLiteral("/capture.log");
    const QByteArray log = randomLog(seed, pieces);
    writeFile(path, log);
    const QString times = capturetimes::pathFor(path);
    QFile::remove(times);
    if (timed)
        writeFile(times, timesFile(randomTimes(seed, log.size(), 1767225600000), log.size()));
    return path;
}

} // namespace vantrel::test

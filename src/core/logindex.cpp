#include "logindex.h"

#include "linecursor.h"
#include "linefile.h"
#include "logindexdata.h"
#include "receivedtext.h"
#include "statusscan.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace vantrel
{

QString cellText(CellValue v)
{
    if (v == kNoCell)
        return {};
    const int length = int(v >> 16);
    const char text[2] = {char((v >> 8) & 0xff), char(v & 0xff)};
    return QString::fromLatin1(text, length);
}

QString speedValueText(SpeedValue v)
{
    const int length = int(v >> 24);
    const char text[3] = {char((v >> 16) & 0xff), char((v >> 8) & 0xff), char(v & 0xff)};
    return QString::fromLatin1(text, length);
}

void addToRuns(Runs& runs, qsizetype i)
{
    if (!runs.empty() && runs.back().second == i)
        ++runs.back().second;
    else
        runs.emplace_back(i, i + 1);
}

qsizetype lastOutside(const Runs& runs, qsizetype i)
{
    const auto it = std::upper_bound(runs.begin(), runs.end(), i,
                                     [](qsizetype v, const auto& run) { return v < run.first; });
    if (it != runs.begin() && i < (it - 1)->second)
        return (it - 1)->first - 1;
    return i;
}

IndexData::~IndexData()
{
    if (fd >= 0)
        ::close(fd);
}

DumpValues dumpValues(const char* text, qsizetype length)
{
    DumpValues out;
    const auto& cells = dumpCells();
    for (int c = 0; c < kGridCells; ++c) {
        const qsizetype off = cellOffset(cells[size_t(c)].line, cells[size_t(c)].cell);
        const int n = int(std::clamp<qsizetype>(length - off, 0, 2));
        out[size_t(c)] = cellValue(text + std::min(off, length), n);
    }
    return out;
}

namespace
{
// What reads the log again: the index knows its size, so less is a log cut since.
BlockReader indexedLog(const IndexData& d)
{
    return BlockReader(d.fd, d.path, nullptr, "it became shorter since it was indexed");
}
} // namespace

Result<qsizetype> DumpReader::joined(qint64 offset, char* out, qsizetype n)
{
    qsizetype got = -1;
    for (int attempt = 0; attempt < 2 && got < 0; ++attempt) {
        if (attempt > 0 || offset < m_base || offset >= m_base + m_length) {
            if (attempt > 0 && m_base == offset)
                break; // a block from the text on does not decide it: long lines
            m_block.resize(size_t(m_blockBytes));
            m_base = offset;
            m_length = 0;
            const qint64 want = std::max<qint64>(0, std::min(m_blockBytes, m_d.bytes - offset));
            if (const Result<> read = indexedLog(m_d).exactly(m_block.data(), offset, want); !read)
                return Failure(read.why());
            m_length = want;
        }
        got = joinedInBlock(offset, out, n);
    }
    if (got < 0) {
        QString failure;
        got = joinedSlowly(offset, out, n, &failure);
        if (!failure.isEmpty())
            return Failure(failure);
    }
    return got;
}

Result<DumpValues> DumpReader::at(qint64 offset)
{
    std::array<char, kDumpChars> text;
    const Result<qsizetype> got = joined(offset, text.data(), kDumpChars);
    if (!got)
        return Failure(got.why());
    return dumpValues(text.data(), *got);
}

Result<SpeedValue> DumpReader::speedAt(qint64 offset)
{
    char text[marker::kSpeedLength];
    const Result<qsizetype> got = joined(offset + marker::kValueOffset, text, marker::kSpeedLength);
    if (!got)
        return Failure(got.why());
    SpeedValue v = SpeedValue(*got) << 24;
    for (qsizetype k = 0; k < *got; ++k)
        v |= SpeedValue(quint8(text[k])) << (16 - 8 * k);
    return v;
}

qsizetype DumpReader::joinedInBlock(qint64 at, char* out, qsizetype n) const
{
    const qint64 size = m_d.bytes;
    const qint64 end = m_base + m_length;
    const auto inBlock = [&](qint64 o) { return o >= m_base && o < end; };
    qsizetype got = 0;
    qint64 o = at;
    while (got < n && o < size) {
        if (!inBlock(o))
            return -1;
        // The text up to the next CR as it is.
        const char* from = m_block.data() + (o - m_base);
        const qint64 span = std::min<qint64>(end - o, n - got);
        const char* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(span)));
        const qint64 take = cr ? cr - from : span;
        std::memcpy(out + got, from, size_t(take));
        got += qsizetype(take);
        o += take;
        if (!cr)
            continue;
        qint64 after = o + 1;
        if (after < size) {
            if (!inBlock(after))
                return -1;
            if (m_block[size_t(after - m_base)] == '\n')
                ++after;
        }
        if (after >= size)
            break;
        // The next line is joined from its start only when it is kept whole.
        const qint64 whole = std::min(size, after + kReplayLineMax + 1);
        const qint64 look = std::min(whole, end);
        if (after >= end)
            return -1;
        const void* lineEnd =
            std::memchr(m_block.data() + (after - m_base), '\r', size_t(look - after));
        if (!lineEnd && (look < whole || look - after > kReplayLineMax))
            return -1;
        out[got++] = '\r';
        if (got < n)
            out[got++] = '\n';
        o = after;
    }
    return got;
}

qsizetype DumpReader::joinedSlowly(qint64 at, char* out, qsizetype n, QString* failure) const
{
    LineCursor cursor(m_d.path, m_d.fd, at, m_d.bytes);
    LineCursor::Line line;
    qsizetype got = 0;
    bool first = true;
    while (got < n) {
        const Result<bool> more = cursor.next(&line);
        if (!more) {
            *failure = more.why();
            break;
        }
        if (!*more)
            break;
        if (!first)
            for (char c : {'\r', '\n'})
                if (got < n)
                    out[got++] = c;
        first = false;
        const qsizetype take = std::min(n - got, qsizetype(line.text.size()));
        std::memcpy(out + got, line.text.constData(), size_t(take));
        got += take;
    }
    return got;
}

Result<DumpValues> IndexData::readDump(qsizetype i) const
{
    return DumpReader(*this).at(qint64(dumps.at(i).b));
}

Result<QByteArray> IndexData::readFaultText(qint64 offset) const
{
    // The rest of its line as the car screen's field holds it.
    const qint64 from = offset + marker::kValueOffset;
    QByteArray text(qsizetype(std::clamp<qint64>(bytes - from, 0, marker::kFaultLength)), '\0');
    if (const Result<> read = indexedLog(*this).exactly(text.data(), from, text.size()); !read)
        return Failure(read.why());
    if (const qsizetype cr = text.indexOf('\r'); cr >= 0)
        text.truncate(cr);
    return text;
}

namespace
{
using Line = LineCursor::Line;
constexpr qint64 kWindow = kReplayWindow;
// Lines each add at least a CR LF, so this many fill the replay's window.
constexpr qint64 kWindowLines = kWindow / 2;
// Up to this many lines the state is played from the start, the state at load included.
constexpr qint64 kPlayedLines = 512;

EventList listOf(const IndexData& d, LogIndex::Event kind)
{
    switch (kind) {
    case LogIndex::Event::Dump:
        return {d.dumps};
    case LogIndex::Event::Speed:
        return {d.speeds};
    case LogIndex::Event::Fault:
        return {d.faults};
    case LogIndex::Event::NewFault:
        return {d.faults, &d.newFaults};
    case LogIndex::Event::Arrival:
        return {d.faults, &d.arrivals};
    case LogIndex::Event::Stop:
        break;
    }
    return {d.speeds, &d.stops};
}

// Lines first..last (indices from 0; fewer at the log's end).
Result<std::vector<Line>> readLines(const IndexData& d, qint64 first, qint64 last)
{
    const PairSteps::Pair from = d.checkpoints.at(d.checkpoints.lastAtMostA(quint64(first)));
    LineCursor cursor(d.path, d.fd, qint64(from.b), d.bytes);
    std::vector<Line> out;
    Line line;
    for (qint64 i = qint64(from.a); i <= last; ++i) {
        const Result<bool> more = cursor.next(&line);
        if (!more)
            return Failure(more.why());
        if (!*more)
            break;
        if (i >= first)
            out.push_back(line);
    }
    return out;
}

// The replay's window after lines[upTo], from the lines before it; they must reach
// back kWindowLines lines or to the log's first line, where the text at load begins.
QString windowAfter(const std::vector<Line>& lines, size_t upTo, const QString& atLoad,
                    bool fromFirstLine)
{
    size_t from = upTo + 1;
    qint64 length = 0;
    while (from > 0 && length < kWindow) {
        --from;
        length += 2 + lines[from].text.size();
    }
    QByteArray joined;
    for (size_t i = from; i <= upTo; ++i)
        joined += "\r\n" + lines[i].text;
    QString text = QString::fromLatin1(joined);
    if (length < kWindow && from == 0 && fromFirstLine)
        text.prepend(atLoad);
    return text.right(kWindow);
}
} // namespace

LogIndex::LogIndex(std::unique_ptr<IndexData> data) : m_d(std::move(data))
{
    // On the indexer's thread, right after the reading.
    m_timeline = TimelineSummary::build(*m_d);
}
LogIndex::~LogIndex() = default;

const QString& LogIndex::path() const
{
    return m_d->path;
}
qint64 LogIndex::bytes() const
{
    return m_d->bytes;
}
qint64 LogIndex::lines() const
{
    return m_d->lines;
}
const CaptureTimes& LogIndex::times() const
{
    return m_d->times;
}
const TimelineSummary& LogIndex::timeline() const
{
    return *m_timeline;
}

qsizetype LogIndex::count(Event kind) const
{
    return listOf(*m_d, kind).size();
}

LogPlace LogIndex::place(Event kind, qsizetype i) const
{
    const PairSteps::Pair p = listOf(*m_d, kind).at(i);
    return LogPlace{qint64(p.a) + 1, qint64(p.b)};
}

std::optional<qsizetype> LogIndex::next(Event kind, qint64 afterLine) const
{
    const EventList list = listOf(*m_d, kind);
    const qsizetype i = afterLine < 1 ? 0 : list.lastAtMostA(quint64(afterLine - 1)) + 1;
    if (i >= list.size())
        return std::nullopt;
    return i;
}

std::optional<qsizetype> LogIndex::previous(Event kind, qint64 beforeLine) const
{
    if (beforeLine < 2)
        return std::nullopt;
    const qsizetype i = listOf(*m_d, kind).lastAtMostA(quint64(beforeLine - 2));
    if (i < 0)
        return std::nullopt;
    return i;
}

std::array<QString, kGridCells> LogIndex::dumpCells(qsizetype i) const
{
    std::array<QString, kGridCells> out;
    // The log's descriptor stays open: a read fails only when the disk does.
    if (const Result<DumpValues> values = m_d->readDump(i))
        for (int k = 0; k < kGridCells; ++k)
            out[size_t(k)] = cellText((*values)[size_t(k)]);
    return out;
}

Result<> LogIndex::walkDumps(const DumpVisit& visit) const
{
    std::array<QString, kGridCells> cells;
    DumpValues values;
    values.fill(kNoCell);
    std::vector<int> changed;
    DumpReader reader(*m_d);
    PairSteps::Reader dumps(m_d->dumps);
    for (qsizetype i = 0; i < m_d->dumps.size(); ++i) {
        changed.clear();
        // Only a dump that changes something is read again.
        if (m_d->dumpChangeCounts[size_t(i)] > 0) {
            dumps.advanceTo(i);
            const Result<DumpValues> now = reader.at(qint64(dumps.get().b));
            if (!now)
                return Failure(now.why());
            for (int k = 0; k < kGridCells; ++k)
                if ((*now)[size_t(k)] != values[size_t(k)]) {
                    values[size_t(k)] = (*now)[size_t(k)];
                    cells[size_t(k)] = cellText(values[size_t(k)]);
                    changed.push_back(k);
                }
        }
        if (!visit(i, cells, changed))
            break;
    }
    return done();
}

QString LogIndex::speedText(qsizetype i) const
{
    // The log's descriptor stays open: a read fails only when the disk does.
    const Result<SpeedValue> v = DumpReader(*m_d, 256).speedAt(qint64(m_d->speeds.at(i).b));
    return v ? speedValueText(*v) : QString();
}

QString LogIndex::faultText(Event kind, qsizetype i) const
{
    // A report's text is its own: that of the last new fault at or before it.
    const Result<QByteArray> text = m_d->readFaultText(qint64(listOf(*m_d, kind).at(i).b));
    return text ? QString::fromLatin1(*text) : QString();
}

std::unique_ptr<const TimelineSummary> LogIndex::buildTimeline() const
{
    return TimelineSummary::build(*m_d);
}

QList<QPair<QString, qint64>> LogIndex::faultCounts() const
{
    QList<QPair<QString, qint64>> out;
    for (size_t k = 0; k < m_d->faultTexts.size(); ++k)
        if (m_d->newFaultCounts[k] > 0 && faultKind(m_d->faultTexts[k]) == FaultKind::Fault)
            out.append({QString::fromLatin1(m_d->faultTexts[k]), m_d->newFaultCounts[k]});
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& x, const auto& y) { return x.second > y.second; });
    return out;
}

Result<qint64> LogIndex::lineOffset(qint64 line) const
{
    if (line < 1 || line > m_d->lines)
        return Failure(QStringLiteral("%1 has no line %2").arg(m_d->path).arg(line));
    const Result<std::vector<Line>> found = readLines(*m_d, line - 1, line - 1);
    if (!found)
        return Failure(found.why());
    return found->front().start;
}

Result<qint64> LogIndex::lineAt(qint64 offset) const
{
    if (offset < 0 || offset >= m_d->bytes)
        return Failure(QStringLiteral("%1 has no byte %2").arg(m_d->path).arg(offset));
    const PairSteps::Pair from = m_d->checkpoints.at(m_d->checkpoints.lastAtMostB(quint64(offset)));
    LineCursor cursor(m_d->path, m_d->fd, qint64(from.b), m_d->bytes);
    Line line;
    for (qint64 i = qint64(from.a);; ++i) {
        const Result<bool> more = cursor.next(&line);
        if (!more)
            return Failure(more.why());
        if (!*more || line.next > offset)
            return i + 1;
    }
}

Result<QString> LogIndex::lineText(qint64 line) const
{
    if (line < 1 || line > m_d->lines)
        return Failure(QStringLiteral("%1 has no line %2").arg(m_d->path).arg(line));
    const Result<std::vector<Line>> found = readLines(*m_d, line - 1, line - 1);
    if (!found)
        return Failure(found.why());
    return QString::fromLatin1(found->front().text);
}

Result<std::optional<qint64>> LogIndex::lineTime(qint64 line) const
{
    const Result<qint64> offset = lineOffset(line);
    if (!offset)
        return Failure(offset.why());
    return m_d->times.timeAt(*offset);
}

Result<qint64> LogIndex::lineAtTime(qint64 ms) const
{
    const std::optional<qint64> offset = m_d->times.offsetAt(ms);
    if (!offset)
        return Failure(m_d->times.notice());
    if (*offset >= m_d->bytes)
        return m_d->lines;
    const Result<qint64> line = lineAt(*offset);
    if (!line)
        return line;
    const Result<qint64> start = lineOffset(*line);
    if (!start)
        return start;
    // A line that began before the time asked for is not at or after it.
    return *start < *offset && *line < m_d->lines ? *line + 1 : *line;
}

Result<qint64> LogIndex::lineUpTo(qint64 ms) const
{
    // Every byte before the first one timed after ms was there by ms.
    const std::optional<qint64> after = m_d->times.offsetAt(ms + 1);
    if (!after)
        return Failure(m_d->times.notice());
    if (m_d->lines == 0)
        return qint64(0);
    if (*after <= 0)
        return qint64(1);
    return lineAt(std::min(*after, m_d->bytes) - 1);
}

qint64 LogIndex::lineAtFraction(double fraction) const
{
    if (m_d->lines == 0)
        return 0;
    const double f = std::clamp(fraction, 0.0, 1.0);
    return std::clamp<qint64>(qint64(std::llround(f * double(m_d->lines))), 1, m_d->lines);
}

namespace
{
// Where the replay's window last held a whole marker at or before line `last` (index
// from 0), found from the index: the line and its window; none when that was within
// the first kPlayedLines lines, which are played instead.
struct Sighting {
    qint64 line;
    QString window;
};
Result<std::optional<Sighting>> lastSighting(const IndexData& d, const PairSteps& list,
                                             const Runs& hidden, qint64 last)
{
    const qsizetype i = lastOutside(hidden, list.lastAtMostA(quint64(last)));
    if (i < 0)
        return std::optional<Sighting>();
    const PairSteps::Pair at = list.at(i);
    const qint64 k = qint64(at.a);
    if (k + kWindowLines + 1 < kPlayedLines)
        return std::optional<Sighting>();
    const Result<std::vector<Line>> lines =
        readLines(d, std::max<qint64>(0, k - kWindowLines), std::min(last, k + kWindowLines + 1));
    if (!lines)
        return Failure(lines.why());
    // The marker stays whole in the window while it is at most 418 characters from
    // the window's end: the last line for which it is.
    size_t pos = size_t(k - std::max<qint64>(0, k - kWindowLines));
    qint64 distance = (*lines)[pos].textEnd - qint64(at.b);
    while (pos + 1 < lines->size() && distance + 2 + (*lines)[pos + 1].text.size() <= kWindow) {
        ++pos;
        distance += 2 + (*lines)[pos].text.size();
    }
    const qint64 line = std::max<qint64>(0, k - kWindowLines) + qint64(pos);
    if (line < kPlayedLines)
        return std::optional<Sighting>();
    return std::optional<Sighting>(Sighting{line, windowAfter(*lines, pos, QString(), false)});
}
} // namespace

Result<ReplayState> LogIndex::stateAfter(qint64 line, const ReplayState& atLoad) const
{
    const qint64 n = std::min(line, m_d->lines);
    if (n <= 0)
        return atLoad;
    ReplayState state = atLoad;
    const auto play = [&](qint64 count) -> Result<ReplayState> {
        const Result<std::vector<Line>> lines = readLines(*m_d, 0, count - 1);
        if (!lines)
            return Failure(lines.why());
        ReplayState s = atLoad;
        for (const Line& l : *lines)
            s.play(QString::fromLatin1(l.text));
        return s;
    };
    if (n <= kPlayedLines)
        return play(n);
    const Result<std::vector<Line>> tail = readLines(*m_d, n - 1 - kWindowLines, n - 1);
    if (!tail)
        return Failure(tail.why());
    state.term = windowAfter(*tail, tail->size() - 1, QString(), false);
    const auto speed = lastSighting(*m_d, m_d->speeds, m_d->hiddenSpeeds, n - 1);
    const auto dump = lastSighting(*m_d, m_d->dumps, m_d->hiddenDumps, n - 1);
    if (!speed)
        return Failure(speed.why());
    if (!dump)
        return Failure(dump.why());
    const bool tookSpeed = *speed && state.takeSpeed((*speed)->window);
    const bool tookCells = *dump && state.takeCells((*dump)->window);
    if (!tookSpeed || !tookCells) {
        const Result<ReplayState> early = play(kPlayedLines);
        if (!early)
            return early;
        if (!tookSpeed)
            state.speed = early->speed;
        if (!tookCells)
            state.cells = early->cells;
    }
    return state;
}

} // namespace vantrel

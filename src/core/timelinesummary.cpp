#include "timelinesummary.h"

#include "logindexdata.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace vantrel
{

namespace
{
// Columns whose changes are found one by one rather than a column at a time, at most
// this many changes a column.
constexpr qsizetype kChangesOneByOne = 4;
} // namespace

void TimelineSeries::reserve(qsizetype changes)
{
    if (!m_bounded)
        return;
    m_at.reserve(size_t(std::min(changes, kKeptChanges)));
    m_value.reserve(size_t(std::min(changes, kKeptChanges)));
}

void TimelineSeries::put(Level& to, quint32 bucket, quint32 count, quint32 last, quint32 min,
                         quint32 max) const
{
    if (to.bucket.empty() || to.bucket.back() != bucket) {
        to.bucket.push_back(bucket);
        to.count.push_back(count);
        to.last.push_back(last);
        if (m_ranges) {
            to.min.push_back(min);
            to.max.push_back(max);
        }
        return;
    }
    to.count.back() += count;
    to.last.back() = last;
    if (m_ranges) {
        to.min.back() = std::min(to.min.back(), min);
        to.max.back() = std::max(to.max.back(), max);
    }
}

void TimelineSeries::add(qint64 at, quint32 value)
{
    const quint32 step = quint32(std::max<qint64>(0, at - m_scale.origin) >> m_scale.grain);
    // Grains in a finest bucket, as a shift.
    put(m_finest, step >> (m_scale.shift - m_scale.grain), 1, value, value, value);
    if (m_dense)
        return;
    if (!m_bounded) {
        if (!m_listed)
            m_rising.push(value, step);
        else if (m_added++ % kListedRun == 0)
            m_listedSteps.push_back(step);
        return;
    }
    if (qsizetype(m_at.size()) >= kKeptChanges) {
        m_dense = true;
        std::vector<quint32>().swap(m_at);
        std::vector<quint32>().swap(m_value);
        return;
    }
    m_at.push_back(step);
    m_value.push_back(value);
}

void TimelineSeries::finish()
{
    m_levels.clear();
    m_at.shrink_to_fit();
    m_value.shrink_to_fit();
    m_listedSteps.shrink_to_fit();
    if (m_finest.bucket.empty())
        return;
    m_levels.push_back(std::move(m_finest));
    m_finest = Level();
    // Each level halves the one below until one bucket holds everything.
    while (m_levels.back().bucket.size() > 1) {
        const Level& below = m_levels.back();
        Level up;
        for (size_t j = 0; j < below.bucket.size(); ++j)
            put(up, below.bucket[j] >> 1, below.count[j], below.last[j],
                m_ranges ? below.min[j] : 0, m_ranges ? below.max[j] : 0);
        m_levels.push_back(std::move(up));
    }
    for (Level& l : m_levels)
        for (auto* v : {&l.bucket, &l.count, &l.last, &l.min, &l.max})
            v->shrink_to_fit();
}

quint32 TimelineSeries::stepFrom(double at) const
{
    const double steps =
        std::ceil((at - double(m_scale.origin)) / double(qint64(1) << m_scale.grain));
    return steps <= 0 ? 0 : steps >= 4294967295.0 ? 0xffffffffu : quint32(steps);
}

qsizetype TimelineSeries::firstFrom(qint64 at) const
{
    if (at > m_scale.origin + (qint64(0xffffffffu) << m_scale.grain))
        return size();
    const quint32 step = stepFrom(double(at));
    if (m_listed) { // the first change at or after the step: its run, then by halving
        const qsizetype run =
            qsizetype(std::lower_bound(m_listedSteps.begin(), m_listedSteps.end(), step) -
                      m_listedSteps.begin());
        qsizetype lo = std::max<qsizetype>(0, run - 1) * kListedRun;
        qsizetype hi = std::min(size(), run * kListedRun);
        while (lo < hi) {
            const qsizetype mid = lo + (hi - lo) / 2;
            if (m_listed->at(mid).b < step)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    if (!m_bounded)
        return step == 0 ? 0 : m_rising.lastAtMostB(step - 1) + 1;
    return qsizetype(std::lower_bound(m_at.begin(), m_at.end(), step) - m_at.begin());
}

std::optional<quint32> TimelineSeries::valueAt(qint64 at) const
{
    if (m_dense) {
        const Level& l = m_levels.front();
        const qint64 bucket = (at - m_scale.origin) >> m_scale.shift;
        if (bucket < 0)
            return std::nullopt;
        const auto past = std::upper_bound(l.bucket.begin(), l.bucket.end(),
                                           quint32(std::min<qint64>(bucket, 0xffffffff)));
        if (past == l.bucket.begin())
            return std::nullopt;
        return l.last[size_t(past - l.bucket.begin() - 1)];
    }
    const qsizetype past = firstFrom(at + 1);
    if (past == 0)
        return std::nullopt;
    return value(past - 1);
}

quint32 TimelineSeries::maxValue() const
{
    return m_levels.empty() || !m_ranges ? 0 : m_levels.back().max.front();
}

void TimelineSeries::changesInColumns(double from, double width, int count, Columns& out) const
{
    const double to = from + width * count;
    const qsizetype first = firstFrom(qint64(std::ceil(from)));
    const qsizetype end = firstFrom(qint64(std::ceil(to)));
    if (first > 0)
        out.before = value(first - 1);
    // A few changes kept as steps are read once, in order, rather than each from its run.
    std::vector<PairSteps::Pair> few;
    if (!m_bounded && end - first <= kChangesOneByOne * count) {
        few.reserve(size_t(end - first));
        for (qsizetype i = first; m_listed && i < end; ++i)
            few.push_back(m_listed->at(i));
        for (PairSteps::Reader r(m_rising); few.size() < size_t(end - first); r.advance()) {
            r.advanceTo(first + qsizetype(few.size()));
            few.push_back(r.get());
        }
    }
    const auto valueOf = [&](qsizetype i) {
        return few.empty() ? value(i) : quint32(few[size_t(i - first)].a);
    };
    const auto columnOf = [&](qsizetype i) {
        const qint64 at =
            few.empty() ? position(i)
                        : m_scale.origin + (qint64(few[size_t(i - first)].b) << m_scale.grain);
        return std::clamp(int((double(at) - from) / width), 0, count - 1);
    };
    const auto take = [&](int c, qsizetype i, qsizetype j) { // changes [i, j) in column c
        Column& col = out.columns[size_t(c)];
        col.count = quint32(j - i);
        col.last = valueOf(j - 1);
        col.min = col.max = col.last;
        if (m_ranges)
            for (qsizetype k = i; k < j; ++k) {
                col.min = std::min(col.min, valueOf(k));
                col.max = std::max(col.max, valueOf(k));
            }
    };
    if (end - first <= kChangesOneByOne * count) {
        for (qsizetype i = first; i < end;) {
            const int c = columnOf(i);
            qsizetype j = i + 1;
            while (j < end && columnOf(j) == c)
                ++j;
            take(c, i, j);
            i = j;
        }
        return;
    }
    // Many: where each column's changes end, found by halving (changes kept as steps: from
    // the step list's own full pairs, then put right a change at a time).
    qsizetype i = first;
    for (int c = 0; c < count && i < end; ++c) {
        qsizetype lo = i;
        qsizetype hi = end;
        if (!m_bounded) {
            lo = std::clamp(firstFrom(qint64(std::ceil(from + width * (c + 1)))), i, end);
            while (lo > i && columnOf(lo - 1) > c)
                --lo;
            while (lo < end && columnOf(lo) <= c)
                ++lo;
            hi = lo;
        }
        while (lo < hi) {
            const qsizetype mid = lo + (hi - lo) / 2;
            if (columnOf(mid) <= c)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo > i)
            take(c, i, lo);
        i = lo;
    }
}

TimelineSeries::Columns TimelineSeries::columns(double from, double width, int count) const
{
    Columns out;
    out.columns.resize(size_t(std::max(count, 0)));
    if ((size() == 0 && m_levels.empty()) || count <= 0 || !(width > 0))
        return out;
    if ((width < double(qint64(1) << m_scale.shift) && !m_dense) || m_levels.empty()) {
        changesInColumns(from, width, count, out);
        return out;
    }
    const double to = from + width * count;
    int level = 0;
    while (level + 1 < int(m_levels.size()) &&
           double(qint64(1) << (m_scale.shift + level + 1)) <= width)
        ++level;
    const Level& l = m_levels[size_t(level)];
    const double bucketWidth = double(qint64(1) << (m_scale.shift + level));
    // The first bucket that starts at or after `from`; those before it come before.
    const double firstBucket = std::ceil((from - double(m_scale.origin)) / bucketWidth);
    const quint32 key = firstBucket <= 0              ? 0
                        : firstBucket >= 4294967295.0 ? 0xffffffffu
                                                      : quint32(firstBucket);
    size_t j = size_t(std::lower_bound(l.bucket.begin(), l.bucket.end(), key) - l.bucket.begin());
    if (j > 0)
        out.before = l.last[j - 1];
    for (; j < l.bucket.size(); ++j) {
        const double start = double(m_scale.origin) + double(l.bucket[j]) * bucketWidth;
        if (start >= to)
            break;
        Column& col = out.columns[size_t(std::clamp(int((start - from) / width), 0, count - 1))];
        const quint32 min = m_ranges ? l.min[j] : l.last[j];
        const quint32 max = m_ranges ? l.max[j] : l.last[j];
        col.min = col.count == 0 ? min : std::min(col.min, min);
        col.max = col.count == 0 ? max : std::max(col.max, max);
        col.count += l.count[j];
        col.last = l.last[j];
    }
    return out;
}

const std::array<int, 3>& TimelineSummary::landingCells()
{
    static const std::array<int, 3> cells = [] {
        std::array<int, 3> found{};
        const auto& all = dumpCells();
        for (int i = 0; i < kGridCells; ++i)
            if (all[size_t(i)].line == 4 && all[size_t(i)].cell >= 2 && all[size_t(i)].cell <= 4)
                found[size_t(all[size_t(i)].cell - 2)] = i;
        return found;
    }();
    return cells;
}

QString TimelineSummary::landingName(quint32 code)
{
    if (code == kUnknownLanding)
        return QStringLiteral("?");
    return code == 0 ? QStringLiteral("B") : QString::number(code);
}

std::optional<bool> TimelineSummary::cellBit(quint32 cellValue)
{
    if (cellValue == kNoCell)
        return std::nullopt;
    const quint32 length = cellValue >> 16;
    const char first = char((cellValue >> 8) & 0xff);
    const char second = char(cellValue & 0xff);
    if (length < 1 || (first != '0' && first != '1'))
        return std::nullopt;
    if (length == 2 && second != ' ' && second != '\r' && second != '\n')
        return std::nullopt;
    return first == '1';
}

quint32 TimelineSummary::cellOf(const QString& text)
{
    const QByteArray bytes = text.left(2).toLatin1();
    return cellValue(bytes.constData(), int(bytes.size()));
}

QString TimelineSummary::cellShown(quint32 cellValue)
{
    return cellText(cellValue).trimmed();
}

namespace
{
// R1 + 2 R2 + 4 R4 from the three cells' values.
quint32 codeOf(const std::array<CellValue, 3>& position)
{
    quint32 code = 0;
    for (size_t r = 0; r < position.size(); ++r) {
        const std::optional<bool> bit = TimelineSummary::cellBit(position[r]);
        if (!bit)
            return TimelineSummary::kUnknownLanding;
        code |= quint32(*bit) << r;
    }
    return code;
}
} // namespace

quint32 TimelineSummary::landingCode(const std::array<QString, kGridCells>& cells)
{
    std::array<CellValue, 3> position{};
    for (size_t r = 0; r < position.size(); ++r)
        position[r] = cellOf(cells[size_t(landingCells()[r])]);
    return codeOf(position);
}

std::optional<quint32> TimelineSummary::speedNumber(quint32 speedValue)
{
    const int length = int(speedValue >> 24);
    quint32 number = 0;
    int digits = 0;
    bool blankAfter = false;
    for (int k = 0; k < length; ++k) {
        const char c = char((speedValue >> (16 - 8 * k)) & 0xff);
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') { // a cut report holds a line end
            blankAfter = digits > 0;
            continue;
        }
        if (c < '0' || c > '9' || blankAfter)
            return std::nullopt;
        number = number * 10 + quint32(c - '0');
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return number;
}

namespace
{
// A change's place along the axis: its time, or its line.
struct Placer {
    const IndexData& d;
    qint64 start;
    CaptureTimes::Walk walk{d.times};
    qint64 operator()(const PairSteps::Pair& p)
    {
        return d.times.valid() ? walk.timeAt(qint64(p.b)).value_or(start) : qint64(p.a) + 1;
    }
};

// A speed report whose text is the last one's changes nothing; nor does one whose number
// is the last number.
struct SpeedChanges {
    SpeedValue text = 0;
    std::optional<quint32> number;
    std::optional<quint32> changed(SpeedValue v)
    {
        if (v == text)
            return std::nullopt;
        text = v;
        const std::optional<quint32> n = TimelineSummary::speedNumber(v);
        if (!n || n == number)
            return std::nullopt;
        number = n;
        return n;
    }
};
} // namespace

// Most dumps change nothing and most speed reports repeat the last: only the changes are
// placed, each from where the last one was. The index keeps no cells: each dump that
// changes something is read again from the log.
void TimelineSummary::takeCells(const IndexData& d)
{
    Placer place{d, m_start};
    PairSteps::Reader dumps(d.dumps);
    DumpReader reader(d);
    DumpValues values;
    values.fill(kNoCell);
    const std::array<int, 3>& landing = landingCells();
    std::optional<quint32> lastLanding;
    qsizetype i = 0;
    for (auto counts = d.dumpChangeCounts.begin(); counts != d.dumpChangeCounts.end();
         ++counts, ++i) {
        if (*counts == 0)
            continue;
        dumps.advanceTo(i);
        const PairSteps::Pair p = dumps.get();
        const Result<DumpValues> now = reader.at(qint64(p.b));
        if (!now)
            break; // the disk failed under the index: the lanes end there
        const qint64 at = place(p);
        bool moved = false;
        for (int c = 0; c < kGridCells; ++c) {
            const CellValue v = (*now)[size_t(c)];
            if (v == values[size_t(c)])
                continue;
            values[size_t(c)] = v;
            m_cells[size_t(c)].add(at, v);
            moved = moved || std::find(landing.begin(), landing.end(), c) != landing.end();
        }
        if (!moved)
            continue;
        const quint32 code = codeOf(
            {values[size_t(landing[0])], values[size_t(landing[1])], values[size_t(landing[2])]});
        if (code != kUnknownLanding && code != lastLanding) {
            m_landing.add(at, code);
            lastLanding = code;
        }
    }
    for (TimelineSeries& cell : m_cells)
        cell.finish();
    m_landing.finish();
}

void TimelineSummary::takeSpeeds(const IndexData& d)
{
    // Only reports whose text differs from the one before can change the number; their
    // texts are read again from the log.
    Placer place{d, m_start};
    PairSteps::Reader speeds(d.speeds);
    DumpReader reader(d);
    SpeedChanges last;
    bool failed = false;
    d.speedChanges.forEach([&](qsizetype i) {
        if (failed)
            return;
        speeds.advanceTo(i);
        const Result<SpeedValue> v = reader.speedAt(qint64(speeds.get().b));
        failed = !v; // the disk failed under the index: the lane ends there
        if (const std::optional<quint32> number = v ? last.changed(*v) : std::nullopt)
            m_speed.add(place(speeds.get()), *number);
    });
    m_speed.finish();
}

namespace
{
// A lane of new faults found again from the index: those of its kind among the new faults
// (a bit each, none where the lane holds all of them), each valued with its number among
// them and placed where its report is. A log of nothing but faults then costs the lane an
// eighth of a byte a fault at most, where the changes kept as steps cost a byte or two.
class NewFaultLane final : public TimelineSeries::Listed
{
public:
    NewFaultLane(const IndexData& d, const TimelineScale& scale, qint64 start)
        : m_d(d), m_scale(scale), m_start(start)
    {
    }
    // Which new faults are in the lane, in order; all of them when not given.
    std::optional<Subset> in;
    qsizetype all = 0;

    qsizetype size() const override { return in ? in->count() : all; }
    PairSteps::Pair at(qsizetype i) const override
    {
        const qsizetype number = in ? in->select(i) : i;
        const PairSteps::Pair report = m_d.faults.at(m_d.newFaults.select(number));
        const qint64 at = m_d.times.valid() ? m_d.times.timeAt(qint64(report.b)).value_or(m_start)
                                            : qint64(report.a) + 1;
        return {quint64(number),
                quint64(quint32(std::max<qint64>(0, at - m_scale.origin) >> m_scale.grain))};
    }

private:
    const IndexData& m_d;
    TimelineScale m_scale;
    qint64 m_start;
};
} // namespace

void TimelineSummary::takeFaults(const IndexData& d)
{
    // Arrivals in one lane, the other new faults but the all-clear in the other.
    const auto laneOf = [&](qsizetype report) {
        return d.arrivals.contains(report) ? 1 : d.faultClears.contains(report) ? -1 : 0;
    };
    std::array<qsizetype, 2> counts{};
    d.newFaults.forEach([&](qsizetype report) {
        if (const int lane = laneOf(report); lane >= 0)
            ++counts[size_t(lane)];
    });
    // Steps are quicker to draw from: lanes keep theirs while together they hold at most
    // a change per 32 bytes of log (64 MB a GB at the most), the others find them again.
    qint64 stepsLeft = d.bytes / 32;
    std::array<std::shared_ptr<NewFaultLane>, 2> lanes;
    for (size_t k = 0; k < lanes.size(); ++k) {
        if (counts[k] <= stepsLeft) {
            stepsLeft -= counts[k];
            continue;
        }
        lanes[k] = std::make_shared<NewFaultLane>(d, m_scale, m_start);
        lanes[k]->all = counts[k] == 0 ? 0 : d.newFaults.count();
        if (counts[k] > 0 && counts[k] < d.newFaults.count())
            lanes[k]->in.emplace();
    }
    if (lanes[0])
        m_faults.setListed(lanes[0]);
    if (lanes[1])
        m_arrivals.setListed(lanes[1]);
    Placer place{d, m_start};
    PairSteps::Reader faults(d.faults);
    quint32 number = 0; // among the new faults
    d.newFaults.forEach([&](qsizetype report) {
        const int lane = laneOf(report);
        for (size_t k = 0; k < lanes.size(); ++k)
            if (lanes[k] && lanes[k]->in)
                lanes[k]->in->push(lane == int(k));
        if (lane >= 0) {
            faults.advanceTo(report);
            (lane == 1 ? m_arrivals : m_faults).add(place(faults.get()), number);
        }
        ++number;
    });
    m_faults.finish();
    m_arrivals.finish();
}

std::unique_ptr<const TimelineSummary> TimelineSummary::build(const IndexData& d)
{
    std::unique_ptr<TimelineSummary> s(new TimelineSummary);
    const bool timed = d.times.valid();
    s->m_unit = timed ? Unit::Milliseconds : Unit::Lines;
    s->m_start = timed ? *d.times.firstMs() : 1;
    s->m_end = std::max(s->m_start + 1, timed ? *d.times.lastMs() + 1 : d.lines + 1);
    TimelineScale& scale = s->m_scale;
    scale.origin = s->m_start;
    const qint64 span = s->m_end - s->m_start - 1;
    while ((span >> scale.grain) > qint64(0xffffffffu))
        ++scale.grain;
    scale.shift = scale.grain;
    while ((span >> scale.shift) >= kFinestBuckets)
        ++scale.shift;
    // The lanes drawn from buckets are bounded; the faults are listed one by one.
    for (TimelineSeries& cell : s->m_cells)
        cell = TimelineSeries(scale, false, true);
    s->m_speed = TimelineSeries(scale, true, true);
    s->m_landing = TimelineSeries(scale, true, true);
    s->m_faults = TimelineSeries(scale);
    s->m_arrivals = TimelineSeries(scale);
    // The dumps on this thread, the reports on another: each part fills its own series.
    std::thread reports([&] {
        s->takeSpeeds(d);
        s->takeFaults(d);
    });
    s->takeCells(d);
    reports.join();
    return s;
}

} // namespace vantrel

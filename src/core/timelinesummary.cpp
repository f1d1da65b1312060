#include "timelinesummary.h"

#include "logindex.h"
#include "logindexdata.h"

#include <algorithm>
#include <cmath>

namespace vantrel
{

void TimelineSeries::add(qint64 at, quint32 value)
{
    m_at.push_back(at);
    m_value.push_back(value);
}

void TimelineSeries::finish(qint64 origin, int shift)
{
    m_origin = origin;
    m_shift = shift;
    m_levels.clear();
    m_at.shrink_to_fit();
    m_value.shrink_to_fit();
    if (m_at.empty())
        return;
    const auto put = [this](Level& to, quint32 bucket, quint32 count, quint32 last, quint32 min,
                            quint32 max) {
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
    };
    Level finest;
    for (size_t i = 0; i < m_at.size(); ++i) {
        const quint32 bucket = quint32(std::max<qint64>(0, m_at[i] - origin) >> shift);
        put(finest, bucket, 1, m_value[i], m_value[i], m_value[i]);
    }
    m_levels.push_back(std::move(finest));
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

qsizetype TimelineSeries::firstFrom(qint64 at) const
{
    return qsizetype(std::lower_bound(m_at.begin(), m_at.end(), at) - m_at.begin());
}

std::optional<quint32> TimelineSeries::valueAt(qint64 at) const
{
    const auto past = std::upper_bound(m_at.begin(), m_at.end(), at);
    if (past == m_at.begin())
        return std::nullopt;
    return m_value[size_t(past - m_at.begin() - 1)];
}

quint32 TimelineSeries::maxValue() const
{
    return m_levels.empty() || !m_ranges ? 0 : m_levels.back().max.front();
}

TimelineSeries::Columns TimelineSeries::columns(double from, double width, int count) const
{
    Columns out;
    out.columns.resize(size_t(std::max(count, 0)));
    if (m_at.empty() || count <= 0 || !(width > 0))
        return out;
    const double to = from + width * count;
    const auto columnOf = [&](double at) {
        return std::clamp(int((at - from) / width), 0, count - 1);
    };
    const auto take = [&](int c, quint32 n, quint32 last, quint32 min, quint32 max) {
        Column& col = out.columns[size_t(c)];
        if (col.count == 0) {
            col.min = min;
            col.max = max;
        } else {
            col.min = std::min(col.min, min);
            col.max = std::max(col.max, max);
        }
        col.count += n;
        col.last = last;
    };
    if (width < double(qint64(1) << m_shift) || m_levels.empty()) {
        // Narrower than the finest bucket: the changes themselves.
        size_t i = size_t(firstFrom(qint64(std::ceil(from))));
        if (i > 0)
            out.before = m_value[i - 1];
        for (; i < m_at.size() && double(m_at[i]) < to; ++i)
            take(columnOf(double(m_at[i])), 1, m_value[i], m_value[i], m_value[i]);
        return out;
    }
    int level = 0;
    while (level + 1 < int(m_levels.size()) && double(qint64(1) << (m_shift + level + 1)) <= width)
        ++level;
    const Level& l = m_levels[size_t(level)];
    const double bucketWidth = double(qint64(1) << (m_shift + level));
    // The first bucket that starts at or after `from`; those before it come before.
    const double firstBucket = std::ceil((from - double(m_origin)) / bucketWidth);
    size_t j =
        firstBucket <= 0
            ? 0
            : size_t(std::lower_bound(l.bucket.begin(), l.bucket.end(),
                                      firstBucket > 4e9 ? 0xffffffffu : quint32(firstBucket)) -
                     l.bucket.begin());
    if (j > 0)
        out.before = l.last[j - 1];
    for (; j < l.bucket.size(); ++j) {
        const double start = double(m_origin) + double(l.bucket[j]) * bucketWidth;
        if (start >= to)
            break;
        take(columnOf(start), l.count[j], l.last[j], m_ranges ? l.min[j] : l.last[j],
             m_ranges ? l.max[j] : l.last[j]);
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

std::unique_ptr<const TimelineSummary> TimelineSummary::build(const LogIndex& index)
{
    return build(*index.m_d);
}

std::unique_ptr<const TimelineSummary> TimelineSummary::build(const IndexData& d)
{
    std::unique_ptr<TimelineSummary> s(new TimelineSummary);
    const bool timed = d.times.valid();
    s->m_unit = timed ? Unit::Milliseconds : Unit::Lines;
    s->m_start = timed ? *d.times.firstMs() : 1;
    s->m_end = std::max(s->m_start + 1, timed ? *d.times.lastMs() + 1 : d.lines + 1);
    // Each list is in the order of its offsets, so each walks the times once.
    const auto positionOf = [&](CaptureTimes::Walk& walk, const PairSteps::Pair& p) {
        return timed ? walk.timeAt(qint64(p.b)).value_or(s->m_start) : qint64(p.a) + 1;
    };

    // Most dumps change nothing and most speed reports repeat the last: only the
    // changes are looked up, each from where the last one was.
    {
        CaptureTimes::Walk walk(d.times);
        PairSteps::Reader dumps(d.dumps);
        const std::array<int, 3>& landing = landingCells();
        std::array<CellValue, 3> position{kNoCell, kNoCell, kNoCell};
        std::optional<quint32> lastLanding;
        auto change = d.changes.begin();
        qsizetype i = 0;
        for (auto counts = d.dumpChangeCounts.begin(); counts != d.dumpChangeCounts.end();
             ++counts, ++i) {
            const int n = *counts;
            if (n == 0)
                continue;
            dumps.advanceTo(i);
            const qint64 at = positionOf(walk, dumps.get());
            bool moved = false;
            for (int k = 0; k < n; ++k, ++change) {
                const CellChange& c = *change;
                s->m_cells[c.cell].add(at, c.value());
                for (size_t r = 0; r < landing.size(); ++r)
                    if (c.cell == landing[r]) {
                        position[r] = c.value();
                        moved = true;
                    }
            }
            if (!moved)
                continue;
            const quint32 code = codeOf(position);
            if (code != kUnknownLanding && code != lastLanding) {
                s->m_landing.add(at, code);
                lastLanding = code;
            }
        }
    }
    {
        CaptureTimes::Walk walk(d.times);
        PairSteps::Reader speeds(d.speeds);
        std::optional<quint32> last;
        SpeedValue lastText = 0;
        qsizetype i = 0;
        for (auto value = d.speedValues.begin(); value != d.speedValues.end(); ++value, ++i) {
            if (*value == lastText)
                continue;
            lastText = *value;
            const std::optional<quint32> number = speedNumber(*value);
            if (!number || number == last)
                continue;
            speeds.advanceTo(i);
            s->m_speed.add(positionOf(walk, speeds.get()), *number);
            last = number;
        }
    }
    {
        CaptureTimes::Walk walk(d.times);
        PairSteps::Reader arrivals(d.arrivals);
        auto id = d.newFaultIds.begin();
        for (PairSteps::Reader faults(d.newFaults); !faults.atEnd(); faults.advance(), ++id) {
            const PairSteps::Pair p = faults.get();
            while (!arrivals.atEnd() && arrivals.get().b < p.b)
                arrivals.advance();
            const bool arrival = !arrivals.atEnd() && arrivals.get().b == p.b;
            if (!arrival && d.faultTexts[*id].trimmed() == kClearFault)
                continue;
            const qint64 at = positionOf(walk, p);
            (arrival ? s->m_arrivals : s->m_faults).add(at, quint32(faults.index()));
        }
    }

    while (((s->m_end - s->m_start - 1) >> s->m_shift) >= kFinestBuckets)
        ++s->m_shift;
    for (TimelineSeries& cell : s->m_cells)
        cell.finish(s->m_start, s->m_shift);
    for (TimelineSeries* series : {&s->m_speed, &s->m_landing, &s->m_faults, &s->m_arrivals})
        series->finish(s->m_start, s->m_shift);
    return s;
}

} // namespace vantrel

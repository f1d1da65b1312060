#pragma once

#include "pairsteps.h"
#include "pmidump.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace vantrel
{

struct IndexData;

// Where a timeline's positions count from and how finely: 32-bit steps of 1 << grain
// axis units from origin (grain 0 unless the axis spans more than 2^32 units), the finest
// buckets 1 << shift units wide.
struct TimelineScale {
    qint64 origin = 0;
    int grain = 0;
    int shift = 0;
};

// One kind of change along a timeline's axis (a signal's value, the speed, faults), each
// at an axis position with a value, summed up in buckets whose widths are powers of two:
// a stretch of the axis drawn in columns is summed up from at most three buckets a
// column at any zoom; columns narrower than the finest bucket are summed up from the
// changes themselves, found column by column where they are many. A series made bounded
// keeps its changes only up to kKeptChanges: one that changes more (a chattering signal)
// keeps its buckets alone, and columns narrower than its finest bucket get the bucket's
// changes in the column the bucket starts in.
class TimelineSeries final
{
public:
    // What the changes within one column came to; the values only where count > 0.
    struct Column {
        quint32 count = 0;
        quint32 last = 0;
        quint32 min = 0; // min and max only in a series made with ranges
        quint32 max = 0;
    };
    // Columns of `width` axis units each from `from` on, and the value the changes
    // before them left (none when there were none).
    struct Columns {
        std::optional<quint32> before;
        std::vector<Column> columns;
    };

    static constexpr qsizetype kKeptChanges = 1 << 15;

    // Changes a series does not keep but finds again where asked for: a lane with a change
    // for each of a log's events (a log of nothing but faults) would cost what the index's
    // own list of them does.
    class Listed
    {
    public:
        virtual ~Listed() = default;
        virtual qsizetype size() const = 0;
        // Change i's value (a) and its steps of the grain from the origin (b).
        virtual PairSteps::Pair at(qsizetype i) const = 0;
    };

    // With ranges, the least and greatest value of each bucket are kept too (speed).
    explicit TimelineSeries(const TimelineScale& scale = {}, bool ranges = false,
                            bool bounded = false)
        : m_scale(scale), m_ranges(ranges), m_bounded(bounded)
    {
    }

    // Changes come in the order of their positions, none before the origin (and, in a
    // series not made bounded, values that never decrease: a fault's number, a line); then
    // finish() sums them up in buckets of 1 << (shift + level) units, level by level up
    // to one bucket for the lot.
    // A series not bounded whose changes are the listed ones: add() them all all the same
    // (for the buckets), in order, after this.
    void setListed(std::shared_ptr<const Listed> listed) { m_listed = std::move(listed); }
    void reserve(qsizetype changes);
    void add(qint64 at, quint32 value);
    void finish();

    // Whether the changes themselves are gone (a bounded series with too many of them).
    bool dense() const { return m_dense; }
    // The changes kept: all of them unless dense().
    qsizetype size() const
    {
        return m_bounded ? qsizetype(m_at.size()) : m_listed ? m_listed->size() : m_rising.size();
    }
    qint64 position(qsizetype i) const
    {
        return m_scale.origin + (qint64(stepAt(i)) << m_scale.grain);
    }
    quint32 value(qsizetype i) const
    {
        return m_bounded ? m_value[size_t(i)] : quint32(rising(i).a);
    }
    // The first change at or after a position (size() when none is).
    qsizetype firstFrom(qint64 at) const;
    // The value the changes at or before a position left (of a dense series: that of
    // the finest bucket starting at or before it).
    std::optional<quint32> valueAt(qint64 at) const;
    // The greatest value of all (a series with ranges; 0 when empty).
    quint32 maxValue() const;
    int levels() const { return int(m_levels.size()); }

    // A change is counted in the column its bucket starts in: the level with the widest
    // buckets no wider than a column, or the changes themselves below the finest.
    Columns columns(double from, double width, int count) const;

private:
    struct Level {
        std::vector<quint32> bucket; // from the origin, in this level's widths
        std::vector<quint32> count;
        std::vector<quint32> last;
        std::vector<quint32> min;
        std::vector<quint32> max;
    };
    // Steps of the grain from the origin: the first at or after a position.
    quint32 stepFrom(double at) const;
    quint32 stepAt(qsizetype i) const { return m_bounded ? m_at[size_t(i)] : quint32(rising(i).b); }
    PairSteps::Pair rising(qsizetype i) const
    {
        return m_listed ? m_listed->at(i) : m_rising.at(i);
    }
    void changesInColumns(double from, double width, int count, Columns& out) const;

    void put(Level& to, quint32 bucket, quint32 count, quint32 last, quint32 min,
             quint32 max) const;

    TimelineScale m_scale;
    bool m_ranges;
    bool m_bounded;
    bool m_dense = false;
    std::vector<quint32> m_at; // steps of the grain from the origin
    std::vector<quint32> m_value;
    // A series not bounded (faults, arrivals, hits, one per event of a log that may
    // hold nothing else): value and step kept as steps from the change before, about
    // two bytes a change.
    PairSteps m_rising;
    std::shared_ptr<const Listed> m_listed; // in place of m_rising when set
    // Every kListedRun-th listed change's step, so that finding one by its position asks
    // the list a few times, not once for each halving of the whole list.
    static constexpr qsizetype kListedRun = 256;
    std::vector<quint32> m_listedSteps;
    qsizetype m_added = 0;
    Level m_finest; // filled as the changes come
    std::vector<Level> m_levels;
};

// What a timeline draws of a log, summed up once when it is indexed: along one axis
// (wall-clock milliseconds where the log has valid capture times, line numbers
// otherwise) the grid's 75 signals, the landing, the speed, new faults and arrivals.
class TimelineSummary final
{
public:
    enum class Unit { Milliseconds, Lines };
    // The finest buckets: the axis in at most this many.
    static constexpr qint64 kFinestBuckets = 1 << 12;
    // A landing code from R1, R2 and R4 is 0..7; this when one of them is not 0 or 1.
    static constexpr quint32 kUnknownLanding = 0xff;

    // From what the index holds (the indexer builds it with the index).
    static std::unique_ptr<const TimelineSummary> build(const IndexData& data);

    Unit unit() const { return m_unit; }
    // The axis position of the log's first line, and just past its last.
    qint64 start() const { return m_start; }
    qint64 end() const { return m_end; }
    // How positions are kept and bucketed: series of one's own along the same axis
    // (find hits) are made with it.
    const TimelineScale& scale() const { return m_scale; }

    // Cell i of the dumps (the order of dumpCells()), its values as CellValue.
    const TimelineSeries& cell(int i) const { return m_cells[size_t(i)]; }
    // Speed reports that are numbers, where they differ from the report before.
    const TimelineSeries& speed() const { return m_speed; }
    // The landing code R1 + 2 R2 + 4 R4 where it changes to another readable one.
    const TimelineSeries& landing() const { return m_landing; }
    // New faults other than arrivals and the all-clear, and arrivals; each valued with
    // its number among the new faults (the index's new faults).
    const TimelineSeries& faults() const { return m_faults; }
    const TimelineSeries& arrivals() const { return m_arrivals; }

    // The dump cells of R1, R2 and R4 (value column 4, rows 2 to 4).
    static const std::array<int, 3>& landingCells();
    // A landing code's name: the bottom landing B for 0, else its number.
    static QString landingName(quint32 code);
    // A cell's characters (up to two) as the series value them.
    static quint32 cellOf(const QString& text);
    // A cell's value as 0 or 1 (its first character, a blank or line end after it).
    static std::optional<bool> cellBit(quint32 cellValue);
    // A cell's value as the lanes show it: without the blank or line end after it.
    static QString cellShown(quint32 cellValue);
    // The landing code of a dump's cells (as the index gives them).
    static quint32 landingCode(const std::array<QString, kGridCells>& cells);
    // A speed report's three characters as a number, blanks and line ends around it
    // left out; none when they are not one.
    static std::optional<quint32> speedNumber(quint32 speedValue);

private:
    TimelineSummary() = default;
    void takeCells(const IndexData& d);
    void takeSpeeds(const IndexData& d);
    void takeFaults(const IndexData& d);
    Unit m_unit = Unit::Lines;
    qint64 m_start = 1;
    qint64 m_end = 1;
    TimelineScale m_scale;
    std::array<TimelineSeries, kGridCells> m_cells;
    TimelineSeries m_speed;
    TimelineSeries m_landing;
    TimelineSeries m_faults;
    TimelineSeries m_arrivals;
};

} // namespace vantrel

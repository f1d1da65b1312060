#pragma once

// What a LogIndex holds, shared by its builder and its questions; not for other users.
#include "capturetimes.h"
#include "pairsteps.h"
#include "pmidump.h"
#include "result.h"
#include "timelinesummary.h"

#include <QByteArray>
#include <QString>
#include <QtAlgorithms>

#include <array>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace vantrel
{

// A grid cell as the index keeps it: how many characters (0-2) and the characters.
using CellValue = quint32;
constexpr CellValue kNoCell = 0xffffffffu; // before the first dump: unlike any value
constexpr CellValue cellValue(const char* text, int length)
{
    return CellValue(length) << 16 | (length > 0 ? quint8(text[0]) << 8 : 0) |
           (length > 1 ? quint8(text[1]) : 0);
}
QString cellText(CellValue v);

using DumpValues = std::array<CellValue, kGridCells>;
// The cells of a dump from its text as the replay joins the lines from its header on
// (`length` characters of it, fewer than a whole dump where the log ends sooner).
DumpValues dumpValues(const char* text, qsizetype length);
// A dump's text from the log, from its header on: the longest that decides its cells.
constexpr qint64 kDumpChars = cellOffset(8, 16) + 2;

// Index ranges [first, end) of entries the replay never shows whole in its window
// (their line goes on for more than 418 characters after them).
using Runs = std::vector<std::pair<qsizetype, qsizetype>>;
void addToRuns(Runs& runs, qsizetype i);
// The last entry at or before i outside the runs; -1 when none is.
qsizetype lastOutside(const Runs& runs, qsizetype i);

// Up to three characters after the speed marker: their count and the characters.
using SpeedValue = quint32;
QString speedValueText(SpeedValue v);
constexpr SpeedValue kStopped = 3u << 24 | quint32(' ') << 16 | quint32(' ') << 8 | '0';

// Values of a list's entries kept only where they differ from the entry before, with a
// bit an entry that says where: a report repeated a million times costs a bit each.
template <typename T> class ChangedValues final
{
public:
    void push(T v)
    {
        if (m_size % 64 == 0) {
            m_words.push_back(0);
            m_before.push_back(qsizetype(m_values.size()));
        }
        if (m_values.empty() || v != m_values.back()) {
            m_words.back() |= quint64(1) << (m_size % 64);
            m_values.push_back(v);
        }
        ++m_size;
    }
    qsizetype size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T at(qsizetype i) const
    {
        const size_t w = size_t(i / 64);
        const int bit = int(i % 64);
        const quint64 upTo = bit == 63 ? ~quint64(0) : (quint64(2) << bit) - 1;
        return m_values[size_t(m_before[w] + qPopulationCount(m_words[w] & upTo) - 1)];
    }
    T front() const { return m_values.front(); }
    T back() const { return m_values.back(); }
    // Each entry whose value differs from the one before (the first too), in order.
    template <typename Visit> void forEachChange(Visit visit) const
    {
        size_t k = 0;
        for (size_t w = 0; w < m_words.size(); ++w)
            for (quint64 bits = m_words[w]; bits; bits &= bits - 1)
                visit(qsizetype(w * 64 + size_t(qCountTrailingZeroBits(bits))), m_values[k++]);
    }
    // Moves another list's entries to the end of this one; the other is left empty.
    void takeAppend(ChangedValues& other)
    {
        for (qsizetype i = 0; i < other.size(); ++i)
            push(other.at(i));
        other = ChangedValues();
    }

private:
    std::deque<quint64> m_words;
    std::deque<qsizetype> m_before; // values before each word's entries
    std::deque<T> m_values;
    qsizetype m_size = 0;
};

// What a reading of a log finds in it, of the whole log or of one part of it: where its
// lines start, and its events with their values. Lines count from 0.
struct LogFindings {
    qint64 lines = 0;
    // Line index and offset of every 256th line's start, and of the first.
    PairSteps checkpoints;

    // Events: line index and the offset of the marker's first byte.
    // The cells are not kept: a dump's text in the log gives them again, so a log whose
    // signals change in every dump costs no more than one where they never do.
    PairSteps dumps;
    std::deque<quint8> dumpChangeCounts; // cells that differ from the dump before
    Runs hiddenDumps;

    PairSteps speeds;
    ChangedValues<SpeedValue> speedValues;
    Runs hiddenSpeeds;
    PairSteps stops;

    PairSteps faults;
    PairSteps newFaults;
    std::deque<quint32> newFaultIds; // a fault's text is that of the new fault at or before it
    PairSteps arrivals;
    std::vector<QByteArray> faultTexts;
    std::vector<qint64> newFaultCounts;
};

struct IndexData;
// Reads dumps' cells again from the log, one dump after another: a block at a time, kept
// while the next dumps lie in it.
class DumpReader final
{
public:
    explicit DumpReader(const IndexData& d) : m_d(d) {}
    // The cells of the dump whose header starts at a byte.
    Result<DumpValues> at(qint64 offset);

private:
    // Joins the text from offset in the block; -1 when the block cannot decide it.
    qsizetype joinedInBlock(qint64 offset, char* out) const;
    qsizetype joinedSlowly(qint64 offset, char* out, QString* failure) const;
    const IndexData& m_d;
    std::vector<char> m_block;
    qint64 m_base = 0;
    qint64 m_length = 0;
};

// Everything a LogIndex knows of its log; it owns the log's descriptor.
struct IndexData : LogFindings {
    IndexData() = default;
    ~IndexData();
    IndexData(const IndexData&) = delete;
    IndexData& operator=(const IndexData&) = delete;

    static constexpr qint64 kCheckpointLines = 256;

    QString path;
    int fd = -1;
    qint64 bytes = 0;
    CaptureTimes times;
    // Built by the LogIndex from all of the above.
    std::unique_ptr<const TimelineSummary> timeline;

    // Dump i's cells read again from the log.
    Result<DumpValues> readDump(qsizetype i) const;
};

} // namespace vantrel

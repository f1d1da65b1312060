#pragma once

// What a LogIndex holds, shared by its builder and its questions; not for other users.
#include "blockreader.h"
#include "capturetimes.h"
#include "pairsteps.h"
#include "pmidump.h"
#include "result.h"

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

    // Reports are many where a log holds little else: their values are read again from
    // the log, and the events among them are a bit a report.
    PairSteps speeds;
    Subset speedChanges; // reports whose text differs from the report before
    Runs hiddenSpeeds;
    Subset stops;

    PairSteps faults;
    Subset newFaults;
    Subset arrivals;
    Subset faultClears;                 // reports of the all-clear
    std::vector<QByteArray> faultTexts; // each distinct text once
    std::vector<qint64> newFaultCounts;
};

// One kind of event: a list of its own, or the subset of a bigger one.
struct EventList {
    const PairSteps& all;
    const Subset* in = nullptr;
    qsizetype size() const { return in ? in->count() : all.size(); }
    PairSteps::Pair at(qsizetype i) const { return all.at(in ? in->select(i) : i); }
    qsizetype lastAtMostA(quint64 key) const { return within(all.lastAtMostA(key)); }
    qsizetype lastAtMostB(quint64 key) const { return within(all.lastAtMostB(key)); }

private:
    qsizetype within(qsizetype i) const { return in ? in->rank(i + 1) - 1 : i; }
};

struct IndexData;
// Reads dumps' cells again from the log, one dump after another: a block at a time, kept
// while the next dumps lie in it.
class DumpReader final
{
public:
    // Reads a block of this many bytes at a time: a small one for a single value.
    explicit DumpReader(const IndexData& d, qint64 blockBytes = kReadBlockBytes)
        : m_d(d), m_blockBytes(blockBytes)
    {
    }
    // The cells of the dump whose header starts at a byte.
    Result<DumpValues> at(qint64 offset);
    // The value of the speed report whose marker starts at a byte.
    Result<SpeedValue> speedAt(qint64 offset);

private:
    // Up to n characters of the text as the replay joins the lines, from offset on.
    Result<qsizetype> joined(qint64 offset, char* out, qsizetype n);
    // Joins the text from offset in the block; -1 when the block cannot decide it.
    qsizetype joinedInBlock(qint64 offset, char* out, qsizetype n) const;
    qsizetype joinedSlowly(qint64 offset, char* out, qsizetype n, QString* failure) const;
    const IndexData& m_d;
    qint64 m_blockBytes;
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

    // Dump i's cells read again from the log.
    Result<DumpValues> readDump(qsizetype i) const;
    // The text of the fault report whose marker starts at a byte, read again from the log.
    Result<QByteArray> readFaultText(qint64 offset) const;
};

} // namespace vantrel

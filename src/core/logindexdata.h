#pragma once

// What a LogIndex holds, shared by its builder and its questions; not for other users.
#include "capturetimes.h"
#include "pairsteps.h"
#include "pmidump.h"
#include "timelinesummary.h"

#include <QByteArray>
#include <QString>

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

// One cell of a dump that differs from the dump before.
struct CellChange {
    quint8 cell;
    quint8 length;
    quint8 first;
    quint8 second;
    CellValue value() const { return CellValue(length) << 16 | CellValue(first) << 8 | second; }
};

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
    PairSteps dumps;
    std::deque<quint8> dumpChangeCounts; // changes of each dump
    std::deque<CellChange> changes;
    Runs hiddenDumps;

    PairSteps speeds;
    std::deque<SpeedValue> speedValues;
    Runs hiddenSpeeds;
    PairSteps stops;

    PairSteps faults;
    std::deque<quint32> faultIds;
    PairSteps newFaults;
    std::deque<quint32> newFaultIds;
    PairSteps arrivals;
    std::vector<QByteArray> faultTexts;
    std::vector<qint64> newFaultCounts;
};

// Everything a LogIndex knows of its log; it owns the log's descriptor.
struct IndexData : LogFindings {
    IndexData() = default;
    ~IndexData();
    IndexData(const IndexData&) = delete;
    IndexData& operator=(const IndexData&) = delete;

    static constexpr qint64 kCheckpointLines = 256;
    static constexpr qsizetype kSnapshotDumps = 1024;

    QString path;
    int fd = -1;
    qint64 bytes = 0;
    struct Snapshot {
        qsizetype firstChange; // of the dump this snapshot is taken before
        std::array<CellValue, kGridCells> cells;
    };
    std::vector<Snapshot> snapshots; // before every kSnapshotDumps'th dump

    CaptureTimes times;
    // Built by the LogIndex from all of the above.
    std::unique_ptr<const TimelineSummary> timeline;

    // Fills in the snapshots from the changes.
    void takeSnapshots();
};

} // namespace vantrel

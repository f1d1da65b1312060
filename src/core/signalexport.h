#pragma once

#include "logindex.h"
#include "result.h"

#include <QIODevice>
#include <QString>

namespace vantrel
{

// What an export wrote: its signals (the 75 cells and the speed), and its value
// changes (VCD) or rows, one per dump (CSV).
struct ExportCount {
    int signalCount = 0;
    qint64 changes = 0;
};

// The signals of an indexed log's dumps for other tools. `generator` names the program
// in what is written.
//
// As a value change dump (IEEE 1364 VCD): each of the 75 grid cells a 1-bit wire named
// after its signal (0 or 1, x for anything else), the speed a 16-bit reg (x before the
// first report or when it is not a number); $timescale 1 ms from the capture times, or
// one unit per line without them (said in a $comment, where the log's name cannot end
// it); only changes.
Result<ExportCount> writeVcd(const LogIndex& index, QIODevice& out, const QString& generator);

// As CSV, one row per dump: its time (ISO 8601 with milliseconds, or its line without
// capture times), its line, the 75 cells as the grid shows them (blanks trimmed) under
// csvColumnName()s, and the last speed reported before it.
Result<ExportCount> writeCsv(const LogIndex& index, QIODevice& out);

// A cell's CSV column: its signal's name with the cell after it ("GV_c2r1"), as grid
// labels repeat, or the cell alone ("c5r1") where the grid shows no name.
QString csvColumnName(int cell);

// How a cell reads as one bit: '0', '1' or 'x'.
char cellBit(const QString& cell);

} // namespace vantrel

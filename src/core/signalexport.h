#pragma once

#include "logindex.h"
#include "result.h"

#include <QIODevice>
#include <QString>

namespace vantrel
{

// The signals of an indexed log's dumps for other tools. `generator` names the program
// in what is written.
//
// As a value change dump (IEEE 1364 VCD): each of the 75 grid cells a 1-bit wire named
// after its signal (0 or 1, x for anything else), the speed a 16-bit reg (x before the
// first report or when it is not a number); $timescale 1 ms from the capture times, or
// one unit per line without them (said in a $comment); only changes.
Result<> writeVcd(const LogIndex& index, QIODevice& out, const QString& generator);

// As CSV, one row per dump: its time (ISO 8601 with milliseconds, or its line without
// capture times), its line, the 75 cells as the grid shows them (blanks trimmed) under
// the signals' names, and the last speed reported before it.
Result<> writeCsv(const LogIndex& index, QIODevice& out);

// How a cell reads as one bit: '0', '1' or 'x'.
char cellBit(const QString& cell);

} // namespace vantrel

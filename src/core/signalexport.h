#pragma once

#include "logindex.h"
#include "notes.h"
#include "result.h"
#include "sentlog.h"

#include <QIODevice>
#include <QString>

#include <optional>

namespace vantrel
{

// What an export wrote: its signals (the 75 cells and the speed), and its value
// changes (VCD) or rows, one per dump (CSV).
struct ExportCount {
    int signalCount = 0;
    qint64 changes = 0;
};

// What was sent and noted beside a log, for an export to hold beside the signals; each
// left out (and the export as it is without them) where its file is not there or does
// not match the log. Polls are left out: a day of them would be a change every 250 ms.
struct ExportExtras {
    std::optional<QList<SentPiece>> sent;
    std::optional<QList<Note>> notes;
    // Why a file beside the log was there but not used; empty when none was refused.
    QStringList notices;
    static ExportExtras beside(const LogIndex& index);
};

// Text sent or noted as one word of printable ASCII: the sent file's escapes (\xHH for
// the backslash and bytes outside 0x20..0x7e), a space as \x20 too; notes as UTF-8.
QByteArray vcdString(QByteArrayView text);

// The signals of an indexed log's dumps for other tools. `generator` names the program
// in what is written.
//
// As a value change dump (IEEE 1364 VCD): each of the 75 grid cells a 1-bit wire named
// after its signal (0 or 1, x for anything else), the speed a 16-bit reg (x before the
// first report or when it is not a number); $timescale 1 ms from the capture times, or
// one unit per line without them (said in a $comment, where the log's name cannot end
// it); only changes. With extras, a string variable "sent" changing to each command's
// vcdString() at its time (or the line it went out in, without capture times), and one
// "note" likewise at each note's line; a command sent before the log's first time is at 0,
// and one whose clock ran behind the log's is at the last time written, as time in a
// dump never goes back.
Result<ExportCount> writeVcd(const LogIndex& index, QIODevice& out, const QString& generator,
                             const ExportExtras& extras = {});

// As CSV, one row per dump: its time (ISO 8601 with milliseconds, or its line without
// capture times), its line, the 75 cells as the grid shows them (blanks trimmed) under
// csvColumnName()s, and the last speed reported before it. With extras, a "sent" column
// with the commands that went out since the row before, up to the dump's first byte, and a
// "note" column with the notes there; several one to a line (a line break joins them, and
// no text holds one: each is written as the sent file writes it, Latin-1 kept in notes,
// other characters as \x{HHHH}). What was sent or noted after the last dump is in no row.
Result<ExportCount> writeCsv(const LogIndex& index, QIODevice& out,
                             const ExportExtras& extras = {});

// A cell's CSV column: its signal's name with the cell after it ("GV_c2r1"), as grid
// labels repeat, or the cell alone ("c5r1") where the grid shows no name.
QString csvColumnName(int cell);

// How a cell reads as one bit: '0', '1' or 'x'.
char cellBit(const QString& cell);

} // namespace vantrel

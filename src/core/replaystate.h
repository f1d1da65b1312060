#pragma once

#include "pmidump.h"
#include "receivedtext.h"

#include <QString>
#include <QStringView>

#include <array>

namespace vantrel
{

// The replay screen's terminal keeps the newest characters of what was played, as many
// as the car screen's parse buffer; what the screen shows is read from that window.
inline constexpr qsizetype kReplayWindow = kParseBufferSize;

// What the replay screen shows after some lines of a log: its terminal (the window), the
// 75 grid cells and the speed field. Playing a line here is the one way the screen, go to
// and the index reach a state, so they cannot disagree.
struct ReplayState {
    enum Found { Nothing = 0, SpeedFound = 1, CellsFound = 2 };

    QString term;
    std::array<QString, kGridCells> cells;
    QString speed;

    // One line of the log played: joined to the window after CR LF, the window cut to
    // its newest characters, then the speed and the grid's values taken from it where it
    // has them. Says which were found.
    int play(QStringView line);
    // The speed or the grid's values a window shows, taken where it has them.
    bool takeSpeed(const QString& window);
    bool takeCells(const QString& window);
};

} // namespace vantrel

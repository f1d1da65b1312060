#pragma once

#include "pmidump.h"

#include <QString>

namespace vantrel
{

// One name label of the signal grid: its control name and the caption it shows.
struct GridName {
    const char* name;
    const char* caption;
};

// Name columns 1 to 4, rows 1 to 16; blanks in captions are part of the screen. The
// value column after name column c shows the signal named there; the fifth value
// column has no names beside it.
extern const GridName kGridNames[4][16];

// The signal dump cell i (order of dumpCells()) stands for: the caption beside its
// value label, trimmed, or "c<column>r<row>" where the grid shows no name.
QString signalName(int cell);

} // namespace vantrel

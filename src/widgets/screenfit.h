#pragma once

class QRect;
class QWidget;

namespace vantrel
{

// The part of its screen a window may take: the screen's available area (without the
// desktop's panels), of the screen it is on or, not yet shown, of its parent's or the
// primary screen.
QRect availableArea(const QWidget* window);

// Keeps a window, frame included, within its screen's available area: a window larger
// than the area shrinks to it, and one that would stand over an edge moves in. Where a
// window's fixed layout (its client area under a main window's bars, or controls placed
// on a plain window) then no longer fits, that layout is put in a scroll area, so every
// control can still be reached; a window that fits keeps its layout as it is.
void keepOnScreen(QWidget* window);

// Keeps every window the program opens on screen (keepOnScreen) as it is first shown.
void keepWindowsOnScreen();

} // namespace vantrel

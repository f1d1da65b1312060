#pragma once

#include <QFont>

class QFrame;
class QLabel;
class QLineEdit;
class QMainWindow;
class QSize;
class QWidget;

namespace vantrel
{

class CrLfEdit;
class SignalGrid;
class TextBox;

// The controls that the car diagnostics screen and the replay screen share, at the
// same places: status line, signal grid, terminal area, value boxes and lamps.
struct CarScreenCommon {
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Line1 = nullptr;
    SignalGrid* grid = nullptr;
    CrLfEdit* Term = nullptr;
    TextBox* Text1 = nullptr;
    QFrame* Picture1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txtdpc = nullptr;
    QLineEdit* txtbbt = nullptr;
    QLineEdit* txtpos = nullptr;
    QLineEdit* txtvel = nullptr;
    QLineEdit* Text2 = nullptr;
};

// The windows' font, Sans Serif 8.25 pt bold (the splash sizes its labels itself).
QFont carScreenFont();

// Builds the shared controls on a client area (light grey, the window font).
void buildCarScreenCommon(QWidget* client, CarScreenCommon& c);

// Sizes a window so that its client area, under the menu bar, has the given size.
void fitClientArea(QMainWindow* window, QWidget* client, const QSize& size);

// A single-line text box with the given name.
QLineEdit* makeLineEdit(QWidget* parent, const char* name);

} // namespace vantrel

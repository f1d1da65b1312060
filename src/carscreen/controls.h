#pragma once

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;

namespace vantrel
{

class CrLfEdit;
class Lamp;
class SignalGrid;
class TextBox;
class VTimer;

// The controls the car diagnostics screen and the replay screen share, at the same
// places: the window and its client area, the status line, the signal grid, the
// terminal area, the value boxes and the lamps. The layouts build them; the parts that
// carry the screens' behaviour reach them by these names.
struct CarScreenCommon {
    QWidget* form = nullptr;
    QWidget* client = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Line1 = nullptr;
    SignalGrid* grid = nullptr;
    CrLfEdit* Term = nullptr;
    TextBox* Text1 = nullptr;
    QFrame* Picture1 = nullptr;
    Lamp* Label3 = nullptr;
    Lamp* Label4 = nullptr;
    Lamp* Label5 = nullptr;
    QLineEdit* txtdpc = nullptr;
    QLineEdit* txtbbt = nullptr;
    QLineEdit* txtpos = nullptr;
    QLineEdit* txtvel = nullptr;
    QLineEdit* Text2 = nullptr;
};

// The car diagnostics screen's controls: the shared ones, and its buttons, entry boxes,
// timers and menus.
struct Form1Controls : CarScreenCommon {
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    CrLfEdit* Text5 = nullptr;
    VTimer* Timer1 = nullptr;
    VTimer* Timer2 = nullptr;
    VTimer* Timer3 = nullptr;
    VTimer* Timer4 = nullptr;
    VTimer* Timer5 = nullptr;
    VTimer* Timer7 = nullptr;

    QMenu* MFile = nullptr;
    QAction* MOpenLog = nullptr;
    QAction* MCloseLog = nullptr;
    QAction* MRplayLog = nullptr;
    QAction* M3 = nullptr;
    QAction* MSendText = nullptr;
    QAction* Bar2 = nullptr;
    QAction* MFileExit = nullptr;
    QMenu* MPort = nullptr;
    QAction* MOpen = nullptr;
    QAction* MSettings = nullptr;
};

} // namespace vantrel

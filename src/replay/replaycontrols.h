#pragma once

#include "carscreen/controls.h"

class QRadioButton;

namespace vantrel
{

class PaceBar;

// The replay screen's controls: the shared ones, and its playback controls and menu.
struct ReplayControls : CarScreenCommon {
    CrLfEdit* Text5 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QPushButton* Command1 = nullptr;
    PaceBar* HScroll1 = nullptr;
    QFrame* SerialComm1 = nullptr; // an idle square; this screen has no port
    VTimer* Timer1 = nullptr;
    VTimer* Timer7 = nullptr;

    QMenu* MFile = nullptr;
    QAction* MCloseLog = nullptr;
    QAction* MRplayLog = nullptr;
    QAction* MFileExit = nullptr;
};

} // namespace vantrel

#pragma once

#include "carscreen/controls.h"

class QCheckBox;
class QProgressBar;
class QRadioButton;
class QToolButton;

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

    // Finding the moment in a long log, at the screen's foot below the client area:
    // where the screen is in the log and how far its index has got, a box to go to a
    // line, a share or a time, and the find bar.
    QLabel* LogPosition = nullptr;
    QProgressBar* IndexProgress = nullptr;
    QLineEdit* GoToText = nullptr;
    QLineEdit* FindText = nullptr;
    QCheckBox* FindCase = nullptr;
    QToolButton* FindPrevious = nullptr;
    QToolButton* FindNext = nullptr;
    QLabel* FindCount = nullptr;
    QAction* MGoTo = nullptr;
    QAction* MNextDump = nullptr;
    QAction* MPrevDump = nullptr;
    QAction* MNextFault = nullptr;
    QAction* MPrevFault = nullptr;
    QAction* MNextArrival = nullptr;
    QAction* MPrevArrival = nullptr;
    QAction* MNextSent = nullptr;
    QAction* MPrevSent = nullptr;
    QAction* MNextNote = nullptr;
    QAction* MPrevNote = nullptr;
    QAction* MFind = nullptr;
    QAction* MFindNext = nullptr;
    QAction* MFindPrev = nullptr;
    QAction* MExportSignals = nullptr;
    QAction* MSaveBundle = nullptr;
    QAction* MNotes = nullptr;
    QAction* MTimeline = nullptr;
};

} // namespace vantrel

#pragma once

#include "carscreen.h"
#include "platform/services.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace vantrel
{

class LogReplay;
class VTimer;

// The replay screen: the car screen's displays at the same places, with playback
// controls in place of the command buttons, and no serial port.
class replay final : public QMainWindow, public CarScreenCommon
{
    Q_OBJECT
public:
    // carScreen is the car diagnostics screen whose caption closing a log sets.
    explicit replay(const Services& services, QWidget* carScreen, QWidget* parent = nullptr);
    ~replay() override;

    QWidget* client = nullptr;
    CrLfEdit* Text5 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QPushButton* Command1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QFrame* SerialComm1 = nullptr; // an idle square; this screen has no port
    VTimer* Timer1 = nullptr;
    VTimer* Timer7 = nullptr;

    QMenu* MFile = nullptr;
    QAction* MCloseLog = nullptr;
    QAction* MRplayLog = nullptr;
    QAction* MFileExit = nullptr;

    LogReplay& playback() { return *m_playback; }

    void Form_Load();
    void Form_Resize() {}

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildLayout();
    void buildMenu();

    Services m_s;
    std::unique_ptr<LogReplay> m_playback;
};

} // namespace vantrel

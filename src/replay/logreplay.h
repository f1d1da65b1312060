#pragma once

#include "platform/services.h"

#include <QObject>
#include <QString>

#include <deque>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace vantrel
{

class CrLfEdit;
class LogReader;
class SignalGrid;
class TextBox;
class VTimer;

// Plays a capture log back into the replay screen, one line per tick or step: the
// terminal keeps the last 418 characters, the speed and the grid are read from it.
class LogReplay final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFastMs = 100;
    static constexpr int kMedMs = 500;
    static constexpr int kSlowMs = 1000;
    static constexpr int kPauseMs = 0;

    struct Controls {
        QWidget* form;
        QWidget* form1; // the car diagnostics screen, whose caption closing sets
        CrLfEdit* Term;
        TextBox* Text1;
        QLineEdit* txtvel;
        SignalGrid* grid;
        QLabel* Label3;
        CrLfEdit* Text5;
        QRadioButton* Option1;
        QRadioButton* Option2;
        QRadioButton* Option3;
        QRadioButton* Option4;
        QPushButton* Command1;
        QScrollBar* HScroll1;
        VTimer* Timer1;
        VTimer* Timer7;
        QAction* MCloseLog;
    };

    LogReplay(const Controls& controls, const Services& services);
    ~LogReplay() override;

    void Form_Load();
    void MRplayLog_Click();
    void MCloseLog_Click();
    void MFileExit_Click();
    void Form_Unload();
    void HScroll1_Change();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Command1_KeyDown();
    void Command1_Click();
    void Timer7_Timer();
    void Timer1_Timer();
    void Term_Change();

    // The file number of the log being read, 0 when none is open.
    int logFile() const { return m_log; }
    // True while a tick, click or key waits for its line to be read.
    bool waiting() const { return !m_asks.empty(); }
    const QString& chosenPath() const { return m_path; }
    const QString& currentLine() const { return m_line; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // What asked for the next line. Each is answered in turn once its line has been
    // read; until then the window goes on.
    enum class Ask { Tick, Click, Key };
    void ask(Ask what);
    void serve();
    void answer(Ask what);
    void closeReader();
    // The log closed, the ticks and the step button stopped.
    void stopPlayback();
    void readFailed(const QString& why);

    Controls m_c;
    Services m_s;
    std::unique_ptr<FileDialog> m_dialog;
    int m_log = 0;
    std::unique_ptr<LogReader> m_reader;
    std::deque<Ask> m_asks;
    bool m_serving = false;
    QString m_path;
    QString m_line;
};

} // namespace vantrel

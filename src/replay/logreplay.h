#pragma once

#include "core/logindex.h"
#include "platform/services.h"
#include "replaycontrols.h"

#include <QObject>
#include <QString>

#include <deque>
#include <memory>

namespace vantrel
{

class CaptureFiles;
class LogReader;

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

    LogReplay(const ReplayControls& controls, const Services& services);
    ~LogReplay() override;

    void Form_Load();
    void MRplayLog_Click();
    // Loads the log at the path from its start, as the menu does once it is chosen.
    bool load(const QString& path);
    // Packs the loaded log and what lies beside it into a bundle the technician names.
    void MSaveBundle_Click();
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
    // How many of the log's lines the screen shows now (the last one it appended, or
    // the one it went to), and what it showed when the log was loaded.
    qint64 shownLines() const { return m_shown; }
    const ReplayState& atLoad() const { return m_atLoad; }
    // Shows what playback shows after `line` lines and plays on from the line that
    // starts at nextOffset; playback and the step button go on as after a load.
    void goTo(qint64 line, const ReplayState& state, qint64 nextOffset);

Q_SIGNALS:
    // "&Close Log File" was chosen: the car diagnostics screen shows it in its caption.
    void logClosed();
    // A log was loaded: the screen now plays it from its first line.
    void logLoaded(const QString& path);
    // The screen shows the log up to this line now (from 1).
    void lineShown(qint64 line);

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
    // Reads the log from this offset on, in a file of its own; false when it failed.
    bool readFrom(const QString& path, qint64 offset);

    const ReplayControls& m_c;
    Services m_s;
    std::unique_ptr<FileDialog> m_dialog;
    int m_log = 0;
    std::unique_ptr<LogReader> m_reader;
    std::deque<Ask> m_asks;
    bool m_serving = false;
    QString m_path;
    std::shared_ptr<CaptureFiles> m_bundle; // the unpacked bundle m_path is in, if any
    QString m_line;
    qint64 m_shown = 0;
    ReplayState m_atLoad;
    // What the screen shows, played here; the boxes and the grid only show it.
    ReplayState m_state;
};

} // namespace vantrel

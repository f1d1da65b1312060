#pragma once

#include "carscreen.h"
#include "platform/services.h"
#include "replay/noteswindow.h"
#include "replay/replaycontrols.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

namespace vantrel
{

class LogNavigator;
class LogReplay;

// The replay screen: the car screen's displays at the same places, with playback
// controls in place of the command buttons, and no serial port.
class replay final : public QMainWindow, public ReplayControls
{
    Q_OBJECT
public:
    explicit replay(const Services& services, QWidget* parent = nullptr);
    ~replay() override;

    LogReplay& playback() { return *m_playback; }
    LogNavigator& navigator() { return *m_navigator; }
    // The loaded log's notes window, once File > Notes... opened it.
    NotesWindow* notesWindow() const { return m_notes; }

    void Form_Load();
    void Form_Resize() {}

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildLayout();
    void buildMenu();
    void buildFoot();
    void MNotes_Click();
    // The timeline asked for a note at its cursor: the notes window takes it there.
    void noteAt(qint64 line);

    Services m_s;
    std::unique_ptr<LogReplay> m_playback;
    std::unique_ptr<LogNavigator> m_navigator;
    QPointer<NotesWindow> m_notes;
};

} // namespace vantrel

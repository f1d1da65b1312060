#pragma once

#include "core/logindex.h"
#include "core/notes.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vantrel
{

// The technician's notes on a loaded log, a window of its own: the list, in the log's
// order, and a box to add a note at the replay's current line, change the chosen note
// or delete it. Every change is saved beside the log at once; one that cannot be saved
// is taken back and says why. Notes that do not match the log are shown as that notice
// and left as they are: nothing can be added over them.
class NotesWindow final : public QWidget
{
    Q_OBJECT
public:
    NotesWindow(std::shared_ptr<const LogIndex> index, std::function<qint64()> currentLine,
                QWidget* parent = nullptr);

    const QList<Note>& notes() const { return m_notes; }
    // The next note added goes at this line rather than the replay's (a moment chosen
    // elsewhere, the timeline's cursor); the text box takes the keys for it.
    void startNoteAt(qint64 line);

Q_SIGNALS:
    // A note was chosen with a double click: the replay goes to its line.
    void lineChosen(qint64 line);
    // The notes were saved as they are now.
    void notesChanged();

private:
    void add();
    void change();
    void remove();
    // Saves the notes as they would be; keeps them when saved, says why otherwise.
    void store(const QList<Note>& notes);
    void showList();
    qint64 lineOf(const Note& note) const;

    std::shared_ptr<const LogIndex> m_index;
    std::function<qint64()> m_currentLine;
    std::optional<qint64> m_noteLine; // where startNoteAt put the next note
    QList<Note> m_notes;
    QListWidget* m_list = nullptr;
    QLineEdit* m_text = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_delete = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace vantrel

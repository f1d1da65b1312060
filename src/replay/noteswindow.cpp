#include "noteswindow.h"

#include "core/capturetimes.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vantrel
{

NotesWindow::NotesWindow(std::shared_ptr<const LogIndex> index, std::function<qint64()> currentLine,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), m_index(std::move(index)), m_currentLine(std::move(currentLine))
{
    setObjectName(QStringLiteral("Notes"));
    setAttribute(Qt::WA_WindowPropagation);
    setWindowTitle(QStringLiteral("Notes - ") + QFileInfo(m_index->path()).fileName());
    // The text box first: the window opens ready for a note's text.
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("NoteText"));
    m_text->setAccessibleName(QStringLiteral("Note text"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("NoteList"));
    m_list->setAccessibleName(QStringLiteral("Notes"));
    m_add = new QPushButton(QStringLiteral("&Add at Current Line"), this);
    m_add->setObjectName(QStringLiteral("AddNote"));
    m_change = new QPushButton(QStringLiteral("&Change"), this);
    m_change->setObjectName(QStringLiteral("ChangeNote"));
    m_delete = new QPushButton(QStringLiteral("&Delete"), this);
    m_delete->setObjectName(QStringLiteral("DeleteNote"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("NoteStatus"));
    m_status->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_change);
    buttons->addWidget(m_delete);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    layout->addWidget(m_status);

    connect(m_add, &QPushButton::clicked, this, &NotesWindow::add);
    connect(m_text, &QLineEdit::returnPressed, this, &NotesWindow::add);
    connect(m_change, &QPushButton::clicked, this, &NotesWindow::change);
    connect(m_delete, &QPushButton::clicked, this, &NotesWindow::remove);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < m_notes.size())
            m_text->setText(m_notes[row].text);
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        Q_EMIT lineChosen(lineOf(m_notes[m_list->row(item)]));
    });

    const Notes read = Notes::forLog(m_index->path(), m_index->bytes());
    m_notes = read.notes();
    m_status->setText(read.notice());
    if (!read.valid()) {
        m_add->setEnabled(false);
        m_change->setEnabled(false);
        m_delete->setEnabled(false);
        m_text->setEnabled(false);
    }
    showList();
}

qint64 NotesWindow::lineOf(const Note& note) const
{
    const Result<qint64> line = m_index->lineAt(note.offset);
    return line ? *line : 1;
}

void NotesWindow::showList()
{
    m_list->clear();
    for (const Note& note : std::as_const(m_notes)) {
        QString row = QStringLiteral("line %1").arg(lineOf(note));
        if (note.ms)
            row += QStringLiteral("  ") + isoTime(*note.ms);
        m_list->addItem(row + QStringLiteral("  ") + note.text);
    }
}

void NotesWindow::store(const QList<Note>& notes)
{
    if (const Result<> saved = saveNotes(m_index->path(), notes); !saved) {
        m_status->setText(saved.why());
        return;
    }
    m_notes = notes;
    m_status->clear();
    showList();
    Q_EMIT notesChanged();
}

void NotesWindow::startNoteAt(qint64 line)
{
    m_noteLine = line;
    m_add->setText(QStringLiteral("&Add at Line %1").arg(line));
    m_text->setFocus();
}

void NotesWindow::add()
{
    if (!m_add->isEnabled() || m_text->text().isEmpty())
        return;
    const qint64 line = std::clamp<qint64>(m_noteLine.value_or(m_currentLine()), 1,
                                           std::max<qint64>(1, m_index->lines()));
    const Result<qint64> offset = m_index->lineOffset(line);
    const Result<std::optional<qint64>> ms = m_index->lineTime(line);
    if (!offset || !ms) {
        m_status->setText(offset ? ms.why() : offset.why());
        return;
    }
    QList<Note> notes = m_notes;
    const Note note{*offset, *ms, m_text->text()};
    const auto at =
        std::upper_bound(notes.begin(), notes.end(), note,
                         [](const Note& a, const Note& b) { return a.offset < b.offset; });
    const qsizetype row = at - notes.begin();
    notes.insert(row, note);
    store(notes);
    if (m_notes.size() == notes.size()) {
        m_text->clear();
        m_list->setCurrentRow(int(row));
        m_noteLine.reset();
        m_add->setText(QStringLiteral("&Add at Current Line"));
    }
}

void NotesWindow::change()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_notes.size() || m_text->text().isEmpty())
        return;
    QList<Note> notes = m_notes;
    notes[row].text = m_text->text();
    store(notes);
    m_list->setCurrentRow(row);
}

void NotesWindow::remove()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_notes.size())
        return;
    QList<Note> notes = m_notes;
    notes.removeAt(row);
    store(notes);
}

} // namespace vantrel

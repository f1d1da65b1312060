#include "crlfedit.h"

#include "crlftext.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

namespace vantrel
{

CrLfEdit::CrLfEdit(const QString& name, QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(name);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    setTabChangesFocus(true);
    setAcceptDrops(false);
    setUndoRedoEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setWordWrapMode(QTextOption::NoWrap);
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(kRedrawMs);
    connect(&m_redraw, &QTimer::timeout, this, &CrLfEdit::flushView);
}

void CrLfEdit::setText(const QString& text)
{
    if (text == m_text)
        return;
    const bool append = text.size() > m_text.size() && text.startsWith(m_text);
    m_text = text;
    m_selStart = 0;
    m_selLength = 0;
    noteChange(append);
}

bool CrLfEdit::setSelStart(int pos)
{
    if (pos < 0 || pos > m_text.size())
        return false;
    m_selStart = pos;
    m_selLength = 0;
    return true;
}

bool CrLfEdit::setSelLength(int len)
{
    if (len < 0)
        return false;
    m_selLength = qMin(len, int(m_text.size()) - m_selStart);
    return true;
}

void CrLfEdit::setSelText(const QString& text)
{
    if (m_selLength == 0 && text.isEmpty())
        return;
    const bool append = m_selLength == 0 && m_selStart == m_text.size();
    m_text.replace(m_selStart, m_selLength, text);
    m_selStart += text.size();
    m_selLength = 0;
    noteChange(append);
}

void CrLfEdit::noteChange(bool pureAppend)
{
    // A cut followed by an append in one call leaves a view that was synced to the
    // longer, older text: only the rebuild may follow, never a look at old positions.
    if (!pureAppend) {
        m_full = true;
        m_synced = 0;
    } else if (!m_full && m_synced > 0 && m_text.at(m_synced - 1) == QLatin1Char('\r') &&
               m_text.at(m_synced) == QLatin1Char('\n')) {
        m_full = true; // a CR LF split across the view's end
        m_synced = 0;
    }
    if (isVisible() && !m_redraw.isActive())
        m_redraw.start();
    Q_EMIT Change();
}

void CrLfEdit::flushView()
{
    m_redraw.stop();
    if (!m_full && m_synced == m_text.size())
        return;
    QScrollBar* bar = verticalScrollBar();
    if (m_full) {
        setPlainText(crlf::toView(m_text));
    } else {
        QTextCursor c(document());
        c.movePosition(QTextCursor::End);
        c.insertText(crlf::toView(QStringView(m_text).mid(m_synced)));
    }
    m_full = false;
    m_synced = m_text.size();
    QTextCursor caret = textCursor();
    caret.setPosition(crlf::truthToView(m_text, m_selStart));
    setTextCursor(caret);
    if (m_selStart == m_text.size())
        bar->setValue(bar->maximum()); // the newest text in view
}

void CrLfEdit::showEvent(QShowEvent* e)
{
    flushView();
    QPlainTextEdit::showEvent(e);
}

QPair<int, int> CrLfEdit::viewSelection()
{
    flushView();
    const QTextCursor c = textCursor();
    const int a = crlf::viewToTruth(m_text, c.selectionStart());
    const int b = crlf::viewToTruth(m_text, c.selectionEnd());
    return {a, b};
}

void CrLfEdit::editRange(int from, int to, const QString& with)
{
    m_text.replace(from, to - from, with);
    m_selStart = from + with.size();
    m_selLength = 0;
    noteChange(false);
    flushView();
}

void CrLfEdit::typed(int key)
{
    auto [a, b] = viewSelection();
    if (key == '\b') {
        if (a == b && a > 0)
            a -= (a >= 2 && m_text.mid(a - 2, 2) == QLatin1String("\r\n")) ? 2 : 1;
        if (a != b)
            editRange(a, b, {});
    } else if (key == '\r') {
        editRange(a, b, QStringLiteral("\r\n"));
    } else if (key >= 0x20 && key != 0x7F) {
        editRange(a, b, QString(QChar(key)));
    }
}

bool CrLfEdit::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride && takesAllKeys && takesAllKeys()) {
        auto* k = static_cast<QKeyEvent*>(e);
        // Alt with a letter is a menu's access key, never a typed character.
        if (!k->text().isEmpty() && k->key() != Qt::Key_Tab && k->key() != Qt::Key_Backtab &&
            !(k->modifiers() & Qt::AltModifier)) {
            e->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

void CrLfEdit::keyPressEvent(QKeyEvent* e)
{
    const int k = e->key();
    if (k == Qt::Key_Tab || k == Qt::Key_Backtab) {
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    if (k == Qt::Key_Delete) {
        if (m_editable) {
            auto [a, b] = viewSelection();
            if (a == b && b < m_text.size())
                b += m_text.mid(a, 2) == QLatin1String("\r\n") ? 2 : 1;
            if (a != b)
                editRange(a, b, {});
        }
        e->accept();
        return;
    }
    const QString t = e->text();
    if (e->modifiers() & Qt::AltModifier) {
        e->ignore();
        return;
    }
    if (t.isEmpty()) {
        QPlainTextEdit::keyPressEvent(e); // movement and selection
        return;
    }
    e->accept();
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    for (QChar ch : t) {
        int key = ch.unicode();
        // Control letters give their control codes on every platform (Ctrl+C is 3).
        if (ctrl && k >= Qt::Key_A && k <= Qt::Key_Z && t.size() == 1)
            key = k - Qt::Key_A + 1;
        if (onKeyPress)
            onKeyPress(key);
        if (key == 0)
            continue;
        if (ctrl && (k == Qt::Key_C || k == Qt::Key_Insert)) {
            copy();
        } else if (ctrl && k == Qt::Key_A) {
            selectAll();
        } else if (ctrl && k == Qt::Key_V && m_editable) {
            auto [a, b] = viewSelection();
            editRange(a, b, crlf::normaliseBreaks(QGuiApplication::clipboard()->text()));
        } else if (ctrl && k == Qt::Key_X && m_editable) {
            copy();
            auto [a, b] = viewSelection();
            editRange(a, b, {});
        } else if (m_editable) {
            typed(key);
        }
    }
}

} // namespace vantrel

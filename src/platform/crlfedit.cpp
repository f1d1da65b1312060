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
    if (m_model.setText(text))
        changed();
}

void CrLfEdit::setSelText(const QString& text)
{
    if (m_model.setSelText(text))
        changed();
}

void CrLfEdit::changed()
{
    if (isVisible() && !m_redraw.isActive())
        m_redraw.start();
    Q_EMIT Change();
}

void CrLfEdit::flushView()
{
    m_redraw.stop();
    const auto update = m_model.viewUpdate();
    if (!update)
        return;
    const QString& text = m_model.text();
    if (update->whole) {
        setPlainText(crlf::toView(text));
    } else {
        QTextCursor c(document());
        c.movePosition(QTextCursor::End);
        c.insertText(crlf::toView(QStringView(text).mid(update->from)));
    }
    m_model.viewDrawn();
    QTextCursor caret = textCursor();
    caret.setPosition(crlf::truthToView(text, m_model.selStart()));
    setTextCursor(caret);
    if (m_model.selStart() == text.size()) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->maximum()); // the newest text in view
    }
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
    const int a = crlf::viewToTruth(m_model.text(), c.selectionStart());
    const int b = crlf::viewToTruth(m_model.text(), c.selectionEnd());
    return {a, b};
}

void CrLfEdit::editRange(int from, int to, const QString& with)
{
    m_model.replace(from, to, with);
    changed();
    flushView();
}

void CrLfEdit::typed(int key)
{
    auto [a, b] = viewSelection();
    if (key == '\b') {
        if (a == b && a > 0)
            a -= (a >= 2 && text().mid(a - 2, 2) == QLatin1String("\r\n")) ? 2 : 1;
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
            if (a == b && b < length())
                b += text().mid(a, 2) == QLatin1String("\r\n") ? 2 : 1;
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

#include "crlfeditaccessible.h"

#include "core/crlftext.h"
#include "crlfedit.h"

namespace vantrel
{

CrLfEditAccessible::CrLfEditAccessible(CrLfEdit* box) : QAccessibleWidget(box) {}

CrLfEdit* CrLfEditAccessible::box() const
{
    return static_cast<CrLfEdit*>(widget());
}

int CrLfEditAccessible::bounded(int offset) const
{
    const int n = characterCount();
    return offset < 0 || offset > n ? n : offset;
}

QAccessible::Role CrLfEditAccessible::role() const
{
    return box()->editable() ? QAccessible::EditableText : QAccessible::StaticText;
}

QAccessible::State CrLfEditAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.selectableText = true;
    s.editable = box()->editable();
    s.readOnly = !box()->editable();
    return s;
}

QString CrLfEditAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return box()->shownText();
    return QAccessibleWidget::text(t);
}

void* CrLfEditAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (t == QAccessible::EditableTextInterface && box()->editable())
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

void CrLfEditAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || box()->selLength() == 0)
        return;
    *startOffset = box()->shownPosition(box()->selStart());
    *endOffset = box()->shownPosition(box()->selStart() + box()->selLength());
}

int CrLfEditAccessible::selectionCount() const
{
    return box()->selLength() > 0 ? 1 : 0;
}

void CrLfEditAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset); // a text box has one selection
}

void CrLfEditAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        box()->setSelStart(box()->caret());
}

void CrLfEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    const int from = box()->textPosition(qMin(bounded(startOffset), bounded(endOffset)));
    const int to = box()->textPosition(qMax(bounded(startOffset), bounded(endOffset)));
    box()->setSelStart(from);
    box()->setSelLength(to - from);
}

int CrLfEditAccessible::cursorPosition() const
{
    return box()->shownPosition(box()->caret());
}

void CrLfEditAccessible::setCursorPosition(int position)
{
    box()->setSelStart(box()->textPosition(bounded(position)));
}

QString CrLfEditAccessible::text(int startOffset, int endOffset) const
{
    const int from = bounded(startOffset);
    const int to = bounded(endOffset);
    return from < to ? box()->shownText().mid(from, to - from) : QString();
}

int CrLfEditAccessible::characterCount() const
{
    return int(box()->shownText().size());
}

QRect CrLfEditAccessible::characterRect(int offset) const
{
    if (offset < 0 || offset >= characterCount())
        return {};
    const QRect r = box()->characterRect(box()->textPosition(offset));
    return QRect(box()->mapToGlobal(r.topLeft()), r.size());
}

int CrLfEditAccessible::offsetAtPoint(const QPoint& point) const
{
    const QPoint local = box()->mapFromGlobal(point);
    if (!box()->rect().contains(local))
        return -1;
    return box()->shownPosition(box()->positionAtPoint(local));
}

void CrLfEditAccessible::scrollToSubstring(int startIndex, int /*endIndex*/)
{
    box()->flushView();
    box()->showPosition(box()->textPosition(bounded(startIndex)));
}

QString CrLfEditAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    // One font and colour throughout: the whole text is one run without attributes.
    *startOffset = 0;
    *endOffset = characterCount();
    Q_UNUSED(offset);
    return {};
}

void CrLfEditAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, {});
}

void CrLfEditAccessible::insertText(int offset, const QString& text)
{
    replaceText(offset, offset, text);
}

void CrLfEditAccessible::replaceText(int startOffset, int endOffset, const QString& text)
{
    const int from = box()->textPosition(qMin(bounded(startOffset), bounded(endOffset)));
    const int to = box()->textPosition(qMax(bounded(startOffset), bounded(endOffset)));
    box()->edit(from, to, crlf::normaliseBreaks(text));
}

} // namespace vantrel

#include "readout.h"

#include "telling.h"

#include <QAccessible>

namespace vantrel
{

Readout::Readout(const QString& name, const QString& words, QWidget* parent, Reads reads)
    : QLabel(parent), m_reads(reads)
{
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setWords(words);
}

void Readout::setWords(const QString& words)
{
    m_words = words;
    // With a name of its own, the label does not announce each new text itself: the
    // value is told when drawn.
    setAccessibleName(words);
}

QString Readout::readsAs() const
{
    const QString shown = value();
    if (shown.isEmpty())
        return m_words;
    if (m_reads == Reads::ValueElseWords || m_words.isEmpty())
        return shown;
    return m_words + QStringLiteral(", ") + shown;
}

void Readout::paintEvent(QPaintEvent* e)
{
    QLabel::paintEvent(e);
    if (!accessibilityListens())
        return;
    const QString now = readsAs();
    if (now == m_told)
        return;
    m_told = now;
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    tellAccessibility(changed);
}

} // namespace vantrel

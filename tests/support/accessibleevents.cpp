#include "accessibleevents.h"

#include "widgets/telling.h"

#include <QAccessible>

namespace vantrel::test
{

namespace
{
QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString described(QAccessibleEvent& event)
{
    switch (event.type()) {
    case QAccessible::TextInserted: {
        auto& e = static_cast<QAccessibleTextInsertEvent&>(event);
        return QStringLiteral("insert %1 %2").arg(e.changePosition()).arg(quoted(e.textInserted()));
    }
    case QAccessible::TextRemoved: {
        auto& e = static_cast<QAccessibleTextRemoveEvent&>(event);
        return QStringLiteral("remove %1 %2").arg(e.changePosition()).arg(quoted(e.textRemoved()));
    }
    case QAccessible::TextUpdated: {
        auto& e = static_cast<QAccessibleTextUpdateEvent&>(event);
        return QStringLiteral("update %1 %2 %3")
            .arg(e.changePosition())
            .arg(quoted(e.textRemoved()), quoted(e.textInserted()));
    }
    case QAccessible::TextCaretMoved:
        return QStringLiteral("caret %1")
            .arg(static_cast<QAccessibleTextCursorEvent&>(event).cursorPosition());
    case QAccessible::TextSelectionChanged: {
        auto& e = static_cast<QAccessibleTextSelectionEvent&>(event);
        return QStringLiteral("selection %1 %2").arg(e.selectionStart()).arg(e.selectionEnd());
    }
    case QAccessible::NameChanged: {
        QAccessibleInterface* a = event.accessibleInterface();
        return QStringLiteral("name %1").arg(quoted(a ? a->text(QAccessible::Name) : QString()));
    }
    default:
        return QStringLiteral("event %1").arg(int(event.type()));
    }
}
} // namespace

AccessibleEvents::AccessibleEvents(const QObject* of)
{
    setAccessibilityStandIn([this, of](QAccessibleEvent& event) {
        if (event.object() == of)
            m_heard << described(event);
    });
}

AccessibleEvents::~AccessibleEvents()
{
    setAccessibilityStandIn({});
}

QStringList AccessibleEvents::take()
{
    return std::exchange(m_heard, {});
}

} // namespace vantrel::test

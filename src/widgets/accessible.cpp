#include "accessible.h"

#include "crlfedit.h"
#include "crlfeditaccessible.h"
#include "readout.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

namespace vantrel
{

namespace
{
// A readout as its words and value; its description as the toolkit gives it.
class ReadoutAccessible final : public QAccessibleWidget
{
public:
    explicit ReadoutAccessible(Readout* r) : QAccessibleWidget(r, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* r = static_cast<const Readout*>(widget());
        if (t == QAccessible::Name)
            return r->readsAs();
        if (t == QAccessible::Value)
            return r->value();
        return QAccessibleWidget::text(t);
    }
};

// A menu's entry, or the menu bar's: its caption as its name, its control name (or its
// menu's) as its description, and the press or the opening of its menu as its action.
class MenuEntryAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    MenuEntryAccessible(QWidget* owner, QAction* action) : m_owner(owner), m_action(action) {}

    bool isValid() const override { return m_owner && m_action; }
    QObject* object() const override { return m_action; }
    QWindow* window() const override
    {
        return m_owner->windowHandle() ? m_owner->windowHandle()
                                       : m_owner->window()->windowHandle();
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        QAccessibleInterface* menu = child(0);
        return menu && menu->rect().contains(x, y) ? menu : nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_owner);
    }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 && m_action->menu()
                   ? QAccessible::queryAccessibleInterface(m_action->menu())
                   : nullptr;
    }
    int childCount() const override { return m_action->menu() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && m_action->menu() && child->object() == m_action->menu() ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return captionInWords(m_action->text());
        case QAccessible::Description:
            return m_action->menu() ? m_action->menu()->objectName() : m_action->objectName();
        case QAccessible::Accelerator:
            if (!m_action->shortcut().isEmpty())
                return m_action->shortcut().toString(QKeySequence::NativeText);
            return accessKey();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        QRect r;
        if (auto* bar = qobject_cast<QMenuBar*>(m_owner))
            r = bar->actionGeometry(m_action);
        else if (auto* menu = qobject_cast<QMenu*>(m_owner))
            r = menu->actionGeometry(m_action);
        return r.translated(m_owner->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override
    {
        return m_action->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_owner->isVisible() || !m_action->isVisible();
        s.disabled = m_action->isSeparator() || !m_action->isEnabled();
        s.checkable = m_action->isCheckable();
        s.checked = m_action->isChecked();
        s.hasPopup = m_action->menu() != nullptr;
        if (auto* bar = qobject_cast<QMenuBar*>(m_owner))
            s.focused = bar->activeAction() == m_action;
        else if (auto* menu = qobject_cast<QMenu*>(m_owner))
            s.focused = menu->activeAction() == m_action;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }

    QStringList actionNames() const override
    {
        if (m_action->isSeparator())
            return {};
        return {m_action->menu() ? showMenuAction() : pressAction()};
    }
    void doAction(const QString& name) override
    {
        if (!m_action->isEnabled())
            return;
        if (name == pressAction()) {
            m_action->trigger();
        } else if (name == showMenuAction()) {
            if (m_action->menu()->isVisible())
                m_action->menu()->hide();
            else if (auto* bar = qobject_cast<QMenuBar*>(m_owner))
                bar->setActiveAction(m_action);
            else if (auto* menu = qobject_cast<QMenu*>(m_owner))
                menu->setActiveAction(m_action);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    // "Alt+F" for "&File".
    QString accessKey() const
    {
        const QString caption = m_action->text();
        for (qsizetype i = caption.indexOf(QLatin1Char('&')); i >= 0 && i + 1 < caption.size();
             i = caption.indexOf(QLatin1Char('&'), i + 2)) {
            if (caption[i + 1] != QLatin1Char('&'))
                return QStringLiteral("Alt+") + caption[i + 1].toUpper();
        }
        return {};
    }

    QPointer<QWidget> m_owner;
    QPointer<QAction> m_action;
};

// The menu or menu bar that shows an entry.
QWidget* ownerOf(QAction* action)
{
    for (QObject* o : action->associatedObjects()) {
        auto* w = qobject_cast<QWidget*>(o);
        if ((qobject_cast<QMenu*>(w) || qobject_cast<QMenuBar*>(w)) &&
            w->actions().contains(action))
            return w;
    }
    return nullptr;
}

QAccessibleInterface* kitAccessible(const QString& /*className*/, QObject* object)
{
    if (auto* box = qobject_cast<CrLfEdit*>(object))
        return new CrLfEditAccessible(box);
    if (auto* readout = qobject_cast<Readout*>(object))
        return new ReadoutAccessible(readout);
    if (auto* action = qobject_cast<QAction*>(object))
        if (QWidget* owner = ownerOf(action))
            return new MenuEntryAccessible(owner, action);
    return nullptr;
}
} // namespace

void installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(kitAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

QString captionInWords(const QString& caption)
{
    QString text = caption;
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text.trimmed();
}

void nameControls(QWidget* window, const QHash<QString, QString>& words)
{
    installAccessibleFactory();
    installAccessibleFactory();
    QList<QWidget*> controls = window->findChildren<QWidget*>();
    controls.prepend(window);
    for (QWidget* w : std::as_const(controls)) {
        const QString name = w->objectName();
        if (qobject_cast<QMenuBar*>(w) && w->accessibleName().isEmpty())
            w->setAccessibleName(QStringLiteral("Menu bar")); // the toolkit's, unnamed
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue; // the toolkit's own parts of a control
        w->setAccessibleDescription(name);
        if (auto* menu = qobject_cast<QMenu*>(w)) {
            // A menu's title is its entry's caption; the toolkit reads a menu by its
            // window title, which a menu does not set.
            const auto follow = [menu] { menu->setAccessibleName(captionInWords(menu->title())); };
            follow();
            QObject::connect(menu->menuAction(), &QAction::changed, menu, follow);
            continue;
        }
        if (auto* readout = qobject_cast<Readout*>(w)) {
            if (words.contains(name))
                readout->setWords(words.value(name));
            continue;
        }
        // Windows, labels, buttons and groups are read by their captions as they are now.
        QString caption;
        if (w->isWindow())
            caption = w->windowTitle();
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            caption = captionInWords(group->title());
        else if (auto* label = qobject_cast<QLabel*>(w))
            caption = captionInWords(label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            caption = captionInWords(button->text());
        if (caption.isEmpty() && w->accessibleName().isEmpty() && words.contains(name))
            w->setAccessibleName(words.value(name));
    }
}

} // namespace vantrel

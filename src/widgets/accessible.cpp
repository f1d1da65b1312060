#include "accessible.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QWidget>

namespace vantrel
{

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
    QList<QWidget*> controls = window->findChildren<QWidget*>();
    controls.prepend(window);
    for (QWidget* w : std::as_const(controls)) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue; // the toolkit's own parts of a control
        QString caption;
        if (w->isWindow() && !qobject_cast<QMenu*>(w))
            caption = w->windowTitle();
        else if (auto* menu = qobject_cast<QMenu*>(w))
            caption = captionInWords(menu->title());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            caption = captionInWords(group->title());
        else if (auto* label = qobject_cast<QLabel*>(w))
            caption = captionInWords(label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            caption = captionInWords(button->text());
        if (!caption.isEmpty())
            w->setAccessibleName(caption);
        else if (words.contains(name))
            w->setAccessibleName(words.value(name));
        w->setAccessibleDescription(name);
    }
}

} // namespace vantrel

#include "colors.h"

#include <QColor>
#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace vantrel
{

namespace
{
constexpr const char* kProperty = "BackColor";
}

QColor toQColor(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void setBackColor(QWidget* w, quint32 bgr)
{
    if (w->property(kProperty).isValid() && w->property(kProperty).toUInt() == bgr)
        return;
    w->setProperty(kProperty, bgr);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, toQColor(bgr));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

quint32 backColor(const QWidget* w)
{
    return w->property(kProperty).toUInt();
}

} // namespace vantrel

#pragma once

#include <QtGlobal>

class QColor;
class QWidget;

namespace vantrel
{

// Colours as the screens store them: 32-bit values with red in the low byte.
namespace color
{
constexpr quint32 LightGrey = 0x00C0C0C0;
constexpr quint32 Grey = 0x00808080;
constexpr quint32 Green = 0x0000FF00;
constexpr quint32 DarkGreen = 0x0000C000;
constexpr quint32 DarkRed = 0x000000C0;
constexpr quint32 Black = 0x00000000;
} // namespace color

// A stored colour as the toolkit takes it.
QColor toQColor(quint32 bgr);

// A control's background colour: set paints it at once, get reads what was set.
void setBackColor(QWidget* w, quint32 bgr);
quint32 backColor(const QWidget* w);

} // namespace vantrel

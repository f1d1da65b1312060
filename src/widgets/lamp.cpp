#include "lamp.h"

#include "colors.h"

#include <QPainter>

namespace vantrel
{

Lamp::Lamp(const char* name, QWidget* parent)
    : Readout(QLatin1String(name), {}, parent), m_color(color::LightGrey), m_drawn(color::LightGrey)
{
    setFrameShape(QFrame::Box);
}

QString Lamp::value() const
{
    return m_drawn == color::LightGrey ? QStringLiteral("off") : QStringLiteral("on");
}

void Lamp::setColor(quint32 bgr)
{
    if (bgr == m_color)
        return;
    m_color = bgr;
    if (bgr != color::LightGrey)
        m_litSinceFrame = bgr;
    requestFrame();
}

void Lamp::drawFrame()
{
    const quint32 show = m_litSinceFrame.value_or(m_color);
    m_litSinceFrame.reset();
    if (show != m_drawn) {
        m_drawn = show;
        update();
    }
    if (show != m_color)
        requestFrame(); // the lamp went out during the frame: drawn so at the next
}

void Lamp::paintEvent(QPaintEvent* e)
{
    {
        QPainter p(this);
        p.fillRect(contentsRect(), toQColor(m_drawn));
    }
    Readout::paintEvent(e); // the box
}

} // namespace vantrel

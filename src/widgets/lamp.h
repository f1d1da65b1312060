#pragma once

#include "frameclock.h"
#include "readout.h"

#include <optional>

namespace vantrel
{

// A lamp square whose background colour is its state (red in the low byte). The state
// changes at once; the square is drawn at the frame clock's pace, and a lamp lit at any
// moment since the last frame is drawn lit for that frame, so every flash is seen
// however short, and a lamp lit again and again stays lit without being redrawn.
// Assistive technology reads it as its words and what is drawn: on or off.
class Lamp final : public Readout, public FrameDrawn
{
    Q_OBJECT
public:
    Lamp(const char* name, QWidget* parent);

    quint32 color() const { return m_color; }
    void setColor(quint32 bgr);
    // What the screen shows now.
    quint32 drawnColor() const { return m_drawn; }
    QString value() const override;

    void drawFrame() override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    quint32 m_color;
    quint32 m_drawn;
    std::optional<quint32> m_litSinceFrame;
};

} // namespace vantrel

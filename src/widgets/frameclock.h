#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>

namespace vantrel
{

// Something drawn at the frame clock's pace rather than at every change of its state.
class FrameDrawn
{
public:
    virtual ~FrameDrawn();
    // Brings what is on the screen up to the state, at a frame.
    virtual void drawFrame() = 0;
    // Asks for the next frame.
    void requestFrame();
};

// Paces the program's drawing: a control whose state changed asks for the next frame
// and draws once then, however often its state changed in between, and a paced window
// repaints all that changed in it in one pass at the frame. Frames come at most every
// kFrameMs; one asked for after a quiet spell comes at once. The state itself always
// changes at once: only drawing follows the clock.
class FrameClock final : public QObject
{
public:
    static constexpr int kFrameMs = 100;

    static FrameClock& instance();
    void request(FrameDrawn* drawn);
    void forget(FrameDrawn* drawn) { m_waiting.remove(drawn); }
    // The window's repaints wait for the next frame.
    void pace(QWidget* window);
    // Draws what waits now (tests, and a window about to be looked at).
    void frame();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    explicit FrameClock(QObject* parent);
    void schedule();

    QSet<FrameDrawn*> m_waiting;
    QList<QPointer<QWidget>> m_paced;
    QSet<QWidget*> m_deferred; // paced windows whose repaint waits for the frame
    bool m_inFrame = false;
    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
};

} // namespace vantrel

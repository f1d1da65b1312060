#include "frameclock.h"

#include <QCoreApplication>

namespace vantrel
{

FrameDrawn::~FrameDrawn()
{
    FrameClock::instance().forget(this);
}

void FrameDrawn::requestFrame()
{
    FrameClock::instance().request(this);
}

FrameClock& FrameClock::instance()
{
    // Lives as long as the application, which frees it.
    static FrameClock* clock = new FrameClock(QCoreApplication::instance());
    return *clock;
}

FrameClock::FrameClock(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FrameClock::frame);
}

void FrameClock::request(FrameDrawn* drawn)
{
    m_waiting.insert(drawn);
    schedule();
}

void FrameClock::pace(QWidget* window)
{
    m_paced << window;
    window->installEventFilter(this);
}

// The toolkit asks a window to repaint what changed in it with one request at a time;
// held until the frame, everything that changed meanwhile is painted in one pass.
bool FrameClock::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() != QEvent::UpdateRequest || m_inFrame)
        return false;
    m_deferred.insert(static_cast<QWidget*>(watched));
    schedule();
    return true;
}

void FrameClock::schedule()
{
    if (m_timer.isActive())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : kFrameMs;
    m_timer.start(int(qMax<qint64>(0, kFrameMs - since)));
}

void FrameClock::frame()
{
    m_timer.stop();
    m_sinceFrame.start();
    m_inFrame = true;
    // A control may ask for the next frame while it draws this one.
    const QSet<FrameDrawn*> now = std::exchange(m_waiting, {});
    for (FrameDrawn* drawn : now)
        drawn->drawFrame();
    const QSet<QWidget*> deferred = std::exchange(m_deferred, {});
    for (const QPointer<QWidget>& window : std::as_const(m_paced)) {
        if (!window)
            continue;
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
        if (deferred.contains(window)) {
            QEvent paint(QEvent::UpdateRequest);
            QCoreApplication::sendEvent(window, &paint);
        }
    }
    m_inFrame = false;
}

} // namespace vantrel

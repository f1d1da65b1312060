#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace vantrel
{

// Time for waits that must come "about N seconds later", measured on a monotonic
// clock so that midnight and clock changes do not matter; and a way to let pending
// events run during such a wait.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual double nowSeconds() = 0;
    // The wall clock: milliseconds since 1970 (UTC), as the capture times record it.
    virtual qint64 wallMilliseconds() = 0;
    // Lets pending user-interface and port events run; may wait briefly for one.
    virtual void doEvents() = 0;
};

class QtClock final : public Clock
{
public:
    QtClock() { m_start.start(); }
    double nowSeconds() override { return m_start.nsecsElapsed() / 1e9; }
    qint64 wallMilliseconds() override { return QDateTime::currentMSecsSinceEpoch(); }
    void doEvents() override;

private:
    QElapsedTimer m_start;
};

} // namespace vantrel

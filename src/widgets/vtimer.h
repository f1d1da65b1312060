#pragma once

#include <QObject>
#include <QTimer>

namespace vantrel
{

// A toolkit timer with Enabled and Interval. Interval 0 means no ticks even while
// enabled. Switching it off and on, or giving it a new interval, restarts its
// period; enabling a timer that is already enabled changes nothing.
class VTimer final : public QObject
{
    Q_OBJECT
public:
    explicit VTimer(int intervalMs, bool enabled, QObject* parent = nullptr);
    // A screen's timer, found by its name.
    VTimer(const char* name, int intervalMs, bool enabled, QObject* parent);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);
    int interval() const { return m_interval; }
    void setInterval(int ms);
    // True while ticks are really coming (enabled with a non-zero interval).
    bool ticking() const { return m_timer.isActive(); }

Q_SIGNALS:
    void Timer();

private:
    void restart();

    QTimer m_timer;
    int m_interval;
    bool m_enabled;
};

} // namespace vantrel

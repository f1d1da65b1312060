#include "vtimer.h"

namespace vantrel
{

VTimer::VTimer(int intervalMs, bool enabled, QObject* parent)
    : QObject(parent), m_interval(intervalMs), m_enabled(enabled)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &VTimer::Timer);
    restart();
}

VTimer::VTimer(const char* name, int intervalMs, bool enabled, QObject* parent)
    : VTimer(intervalMs, enabled, parent)
{
    setObjectName(QLatin1String(name));
}

void VTimer::setEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    restart();
}

void VTimer::setInterval(int ms)
{
    if (ms == m_interval)
        return;
    m_interval = ms < 0 ? 0 : ms;
    restart();
}

void VTimer::restart()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace vantrel

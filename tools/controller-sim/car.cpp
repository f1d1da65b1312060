#include "car.h"

#include <cmath>
#include <cstdio>

namespace sim
{

namespace
{
constexpr double kAccel = 100.0; // fpm per second
constexpr double kFeetPerLanding = 12.0;
constexpr double kDoorSeconds = 3.0;

const char* landingName(int i)
{
    static const char* names[] = {"B", "1", "2", "3", "4", "5", "6"};
    return names[i];
}
} // namespace

void Car::reset()
{
    *this = Car();
}

bool Car::sendTo(int landing)
{
    if (landing < 0 || landing >= kLandings)
        return false;
    if (landing != m_target && m_speed == 0.0 && m_landing == m_target)
        m_doorOpen = false;
    m_target = landing;
    m_fault = "NO FAULT";
    return true;
}

bool Car::step(int delta)
{
    const int to = m_target + delta;
    return sendTo(to);
}

void Car::tick(double dt)
{
    if (m_doorOpen) {
        m_doorTimer -= dt;
        if (m_doorTimer <= 0)
            m_doorOpen = false;
    }
    const double distanceFeet = (m_target - m_pos) * kFeetPerLanding;
    if (std::fabs(distanceFeet) < 0.05 && m_speed < 1.0) {
        if (m_landing != m_target || m_speed > 0.0)
            arrive();
        return;
    }
    if (m_doorOpen && m_speed == 0.0)
        return; // leaves once the doors have closed
    // Slow down when the stopping distance reaches what is left.
    const double stopping = (m_speed * m_speed) / (2.0 * kAccel * 60.0);
    if (stopping >= std::fabs(distanceFeet))
        m_speed = std::max(0.5, m_speed - kAccel * dt);
    else
        m_speed = std::min(double(kMaxSpeed), m_speed + kAccel * dt);
    const double moveFeet = m_speed / 60.0 * dt;
    const double dir = distanceFeet > 0 ? 1.0 : -1.0;
    if (moveFeet >= std::fabs(distanceFeet)) {
        arrive();
        return;
    } else {
        m_pos += dir * moveFeet / kFeetPerLanding;
    }
    const int nearest = int(std::lround(m_pos));
    if (std::fabs(m_pos - nearest) < 0.02)
        m_landing = nearest;
}

void Car::arrive()
{
    m_pos = m_target;
    m_landing = m_target;
    m_speed = 0.0;
    ++m_trips;
    m_doorOpen = true;
    m_doorTimer = kDoorSeconds;
    m_fault = std::string("ARRIVED AT ") + landingName(m_landing);
}

std::string Car::pmiDump(const std::string& eol) const
{
    const bool run = moving();
    const bool up = m_target > m_pos + 1e-9;
    const bool down = m_target < m_pos - 1e-9;
    const bool atLanding = std::fabs(m_pos - std::lround(m_pos)) < 0.02;
    const bool doorClosed = !m_doorOpen;
    const int floorCode = int(std::lround(m_pos));
    const auto b = [](bool v) { return v ? '1' : '0'; };
    // Cells 1..16 of each data line.
    std::string lines[8];
    const std::string l1 = {b(up),
                            b(down),
                            b(up && m_speed > 50),
                            b(down && m_speed > 50),
                            '0',
                            '0',
                            '0',
                            b(run),
                            b(up),
                            b(down),
                            b(up && run),
                            b(down && run),
                            b(run),
                            b(atLanding),
                            '0',
                            '0'};
    const std::string l2 = {'1',           '1',           '1',          '1',
                            b(doorClosed), '1',           '0',          b(doorClosed),
                            b(m_doorOpen), b(doorClosed), '0',          '1',
                            b(atLanding),  b(atLanding),  b(atLanding), b(atLanding && !run)};
    const std::string l3 = {b(m_doorOpen),       '0', '0', '0',    '0', '0', '0', '0', '0', '0',
                            b(atLanding && run), '0', '0', b(run), '0', '0'};
    const std::string l4 = {
        '0',   b(floorCode & 1), b(floorCode & 2), b(floorCode & 4), '0', '0', '0',   '0',
        b(up), b(down),          b(m_doorOpen),    b(doorClosed),    '0', '0', b(up), b(down)};
    std::string l8(16, '0');
    l8[size_t(floorCode)] = '1';
    l8[size_t(m_target) + 8] = '1';
    const std::string cells[8] = {
        l1, l2, l3, l4, std::string(16, '0'), std::string(16, '0'), std::string(16, '0'), l8};
    std::string out = "PMI #  = = = = = = = = = = = = = = = =" + eol;
    for (int n = 0; n < 8; ++n) {
        char label[8];
        std::snprintf(label, sizeof label, "I/O %-3d", n + 1);
        std::string line(label, 7);
        for (int k = 0; k < 16; ++k) {
            line += cells[n][size_t(k)];
            if (k < 15)
                line += ' ';
        }
        out += line + eol;
    }
    return out;
}

} // namespace sim

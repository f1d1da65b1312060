#include "traffic.h"

#include <cstdio>

namespace sim
{

void Traffic::message(std::string& out)
{
    // The car keeps moving so the dumps, speeds and faults change as they would.
    m_car.tick(0.05);
    if (!m_car.moving() && next() % m_callOdds == 0)
        m_car.sendTo(int(next() % Car::kLandings));
    char buf[64];
    const uint32_t kind = next() % 100;
    if (kind < 30) {
        out += "> PMII\r\n" + m_car.pmiDump("\r\n");
    } else if (kind < 45) {
        std::snprintf(buf, sizeof buf, "VEL =   %3d\r\n", m_car.speed());
        out += buf;
    } else if (kind < 55) {
        std::snprintf(buf, sizeof buf, "BBT =   %05d\r\n", m_car.trips() % 100000);
        out += buf;
    } else if (kind < 65) {
        out += "FLT0 =  " + m_car.fault() + "\r\n";
    } else {
        std::snprintf(buf, sizeof buf, "CAR 1 EVT %08llu POS %d SPD %3d ",
                      static_cast<unsigned long long>(m_line++), m_car.landing(), m_car.speed());
        out += buf;
        const uint32_t end = next() % 10;
        out += end < 7 ? "\r\n" : end < 9 ? "\r" : "\n";
    }
}

void Traffic::generate(std::string& out, size_t n)
{
    const size_t end = out.size() + n;
    while (out.size() < end)
        message(out);
}

} // namespace sim

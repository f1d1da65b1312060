#include "flood.h"

#include <cstdio>

namespace sim
{

void Flood::generate(std::string& out, size_t n)
{
    const size_t end = out.size() + n;
    while (out.size() < end) {
        char head[48];
        std::snprintf(head, sizeof head, "CAR 1 EVT %08llu POS %u SPD %3u ",
                      static_cast<unsigned long long>(m_line++), next() % 7, next() % 201);
        out += head;
        const uint32_t kind = next() % 100;
        if (kind < 70) {
            out += "\r\n";
        } else if (kind < 80) {
            out += '\r';
        } else if (kind < 88) {
            out += '\n';
        } else if (kind < 95) {
            out += "XY\b\bZ\r\n";
        } else {
            for (int i = 0; i < 8; ++i)
                out += char(next() & 0xFF);
            out += "\r\n";
        }
    }
}

} // namespace sim

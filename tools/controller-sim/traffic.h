#pragma once

#include "car.h"

#include "random.h"

#include <cstdint>
#include <string>

namespace sim
{

// What a busy controller sends on its own: "> PMII" replies with their dumps, speed,
// trip counter and fault lines, and event lines ending in CR LF, a bare CR or a bare
// LF, while a car moves between landings. Printable text besides CR and LF (no
// backspaces), so what the program's capture log makes of it is known: LF dropped,
// CR followed by LF. The same seed gives the same bytes.
class Traffic
{
public:
    // An idle car is called to a landing on one message in callOdds: 20 keeps it busy,
    // many thousands make a car whose signals change rarely, as most of a day.
    explicit Traffic(uint64_t seed, uint32_t callOdds = 20) : m_random(seed), m_callOdds(callOdds)
    {
    }
    // Appends whole messages to out until it has grown by at least n bytes.
    void generate(std::string& out, size_t n);

private:
    uint32_t next() { return m_random.next(); }
    void message(std::string& out);

    Random m_random;
    uint32_t m_callOdds;
    uint64_t m_line = 0;
    Car m_car;
};

// Text as the program's capture log stores it: LF dropped, every CR followed by LF
// (text without backspaces, as the traffic is), appended to out.
template <typename Bytes> void appendAsLogged(Bytes& out, const std::string& raw)
{
    for (char c : raw) {
        if (c == '\n')
            continue;
        out += c;
        if (c == '\r')
            out += '\n';
    }
}

} // namespace sim

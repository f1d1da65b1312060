#pragma once

#include <cstdint>

namespace sim
{

// A small, fast generator (xorshift): the same seed gives the same numbers in every run,
// so a flood or a stretch of traffic can be made again byte for byte.
class Random
{
public:
    explicit Random(uint64_t seed) : m_state(seed ? seed : 1) {}
    uint32_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return uint32_t(m_state >> 11);
    }

private:
    uint64_t m_state;
};

} // namespace sim

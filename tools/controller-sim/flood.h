#pragma once

#include "random.h"

#include <cstdint>
#include <string>

namespace sim
{

// Controller-like text at full speed: lines ending in CR LF, bare CRs, bare LFs,
// backspaces and now and then any byte 0-255. The same seed gives the same bytes.
class Flood
{
public:
    explicit Flood(uint64_t seed) : m_random(seed) {}
    // Appends about n bytes to out.
    void generate(std::string& out, size_t n);

private:
    uint32_t next() { return m_random.next(); }
    Random m_random;
    uint64_t m_line = 0;
};

} // namespace sim

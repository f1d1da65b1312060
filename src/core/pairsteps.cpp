#include "pairsteps.h"

#include <algorithm>

namespace vantrel
{

void PairSteps::put(quint64 step)
{
    while (step >= 0x80) {
        m_bytes.push_back(quint8(step & 0x7f) | 0x80);
        step >>= 7;
    }
    m_bytes.push_back(quint8(step));
}

void PairSteps::push(quint64 a, quint64 b)
{
    if (m_bases.empty() || m_size - m_bases.back().first >= kRun) {
        m_bases.push_back(Base{a, b, m_size, qsizetype(m_bytes.size())});
    } else {
        put(a - m_last.a);
        put(b - m_last.b);
    }
    m_last = Pair{a, b};
    ++m_size;
}

qsizetype PairSteps::baseOf(qsizetype i) const
{
    // Every run but the last holds kRun entries.
    return std::min(i / kRun, qsizetype(m_bases.size()) - 1);
}

PairSteps::Pair PairSteps::at(qsizetype i) const
{
    const Base& base = m_bases[size_t(baseOf(i))];
    Pair p{base.a, base.b};
    auto byte = m_bytes.begin() + base.bytes;
    for (qsizetype k = base.first; k < i; ++k) {
        p.a += decode(byte);
        p.b += decode(byte);
    }
    return p;
}

qsizetype PairSteps::lastAtMost(quint64 key, bool second) const
{
    const auto it = std::upper_bound(
        m_bases.begin(), m_bases.end(), key,
        [second](quint64 v, const Base& base) { return v < (second ? base.b : base.a); });
    if (it == m_bases.begin())
        return -1;
    const Base& base = *(it - 1);
    const qsizetype end = it == m_bases.end() ? m_size : it->first;
    Pair p{base.a, base.b};
    auto byte = m_bytes.begin() + base.bytes;
    qsizetype i = base.first;
    for (; i + 1 < end; ++i) {
        p.a += decode(byte);
        p.b += decode(byte);
        if ((second ? p.b : p.a) > key)
            break;
    }
    return i;
}

void PairSteps::takeAppend(PairSteps& other, quint64 addA, quint64 addB)
{
    for (Reader r(other); !r.atEnd(); r.advance()) {
        const Pair p = r.get();
        push(p.a + addA, p.b + addB);
    }
    other.clear();
}

void PairSteps::clear()
{
    m_bases.clear();
    m_bytes.clear();
    m_size = 0;
    m_last = Pair();
}

} // namespace vantrel

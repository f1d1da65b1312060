#include "pairsteps.h"

#include <algorithm>
#include <limits>

namespace vantrel
{

void PairSteps::push(quint64 a, quint64 b)
{
    constexpr quint64 kMaxStep = std::numeric_limits<quint32>::max();
    const bool fresh = m_bases.empty() || size() - m_bases.back().first >= kRun ||
                       a - m_bases.back().a > kMaxStep || b - m_bases.back().b > kMaxStep;
    if (fresh)
        m_bases.push_back(Base{a, b, size()});
    const Base& base = m_bases.back();
    m_steps.push_back(Step{quint32(a - base.a), quint32(b - base.b)});
}

qsizetype PairSteps::baseOf(qsizetype i) const
{
    const auto it = std::upper_bound(m_bases.begin(), m_bases.end(), i,
                                     [](qsizetype v, const Base& base) { return v < base.first; });
    return qsizetype(it - m_bases.begin()) - 1;
}

PairSteps::Pair PairSteps::at(qsizetype i) const
{
    const Base& base = m_bases[size_t(baseOf(i))];
    const Step& step = m_steps[size_t(i)];
    return Pair{base.a + step.a, base.b + step.b};
}

qsizetype PairSteps::lastAtMost(quint64 key, quint64 Base::*whole, quint32 Step::*part) const
{
    const auto it =
        std::upper_bound(m_bases.begin(), m_bases.end(), key,
                         [whole](quint64 v, const Base& base) { return v < base.*whole; });
    if (it == m_bases.begin())
        return -1;
    const Base& base = *(it - 1);
    const qsizetype end = it == m_bases.end() ? size() : it->first;
    const quint64 rest = key - base.*whole;
    const auto from = m_steps.begin() + base.first;
    const auto past =
        std::upper_bound(from, m_steps.begin() + end, rest,
                         [part](quint64 v, const Step& step) { return v < step.*part; });
    return qsizetype(past - m_steps.begin()) - 1;
}

void PairSteps::takeAppend(PairSteps& other, quint64 addA, quint64 addB)
{
    qsizetype i = 0;
    // Taken from the front so the other list's blocks are freed as this one grows.
    while (!other.m_steps.empty()) {
        if (other.m_bases.size() > 1 && other.m_bases[1].first == i)
            other.m_bases.pop_front();
        const Base& base = other.m_bases.front();
        const Step& step = other.m_steps.front();
        push(base.a + step.a + addA, base.b + step.b + addB);
        other.m_steps.pop_front();
        ++i;
    }
    other.clear();
}

void PairSteps::clear()
{
    m_bases.clear();
    m_steps.clear();
}

} // namespace vantrel

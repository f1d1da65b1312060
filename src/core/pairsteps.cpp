#include "pairsteps.h"

#include <algorithm>

namespace vantrel
{

void PairSteps::put(quint64 number)
{
    while (number >= 0x80) {
        m_bytes.push_back(quint8(number & 0x7f) | 0x80);
        number >>= 7;
    }
    m_bytes.push_back(quint8(number));
}

void PairSteps::push(quint64 a, quint64 b)
{
    if (m_size % kRun == 0) {
        m_bases.push_back(Base{a, b, qsizetype(m_bytes.size())});
    } else {
        const quint64 stepA = a - m_last.a;
        const quint64 stepB = b - m_last.b;
        if (stepA < kStepFollows) {
            put(stepB << kTagBits | stepA);
        } else {
            put(stepB << kTagBits | kStepFollows);
            put(stepA - kStepFollows);
        }
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
    const qsizetype k = baseOf(i);
    const Base& base = m_bases[size_t(k)];
    Pair p{base.a, base.b};
    auto byte = m_bytes.begin() + base.bytes;
    for (qsizetype e = k * kRun; e < i; ++e)
        stepOn(p, byte);
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
    const qsizetype first = qsizetype(it - 1 - m_bases.begin()) * kRun;
    const qsizetype end = std::min(m_size, first + kRun);
    Pair p{base.a, base.b};
    auto byte = m_bytes.begin() + base.bytes;
    qsizetype i = first;
    for (; i + 1 < end; ++i) {
        stepOn(p, byte);
        if ((second ? p.b : p.a) > key)
            break;
    }
    return i;
}

void PairSteps::takeAppend(PairSteps& other, quint64 addA, quint64 addB)
{
    // The other's bytes are let go as they are read: the two lists are never whole at once.
    Pair p;
    for (qsizetype i = 0; i < other.m_size; ++i) {
        if (i % kRun == 0) {
            const Base& base = other.m_bases.front();
            p = Pair{base.a, base.b};
            other.m_bases.pop_front();
        } else {
            auto byte = other.m_bytes.cbegin();
            stepOn(p, byte);
            other.m_bytes.erase(other.m_bytes.cbegin(), byte);
        }
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

namespace vantrel
{

void Subset::set(qsizetype i, bool in)
{
    const quint64 bit = quint64(1) << (i % 64);
    quint64& word = m_words[size_t(i / 64)];
    if (bool(word & bit) == in)
        return;
    word ^= bit;
    const qsizetype change = in ? 1 : -1;
    m_count += change;
    for (size_t c = size_t(i / kCounted) + 1; c < m_before.size(); ++c)
        m_before[c] += change;
}

qsizetype Subset::rank(qsizetype i) const
{
    if (i >= m_size)
        return m_count;
    qsizetype n = m_before[size_t(i / kCounted)];
    for (qsizetype w = i / kCounted * (kCounted / 64); w < i / 64; ++w)
        n += qPopulationCount(m_words[size_t(w)]);
    return n + qPopulationCount(m_words[size_t(i / 64)] & ((quint64(1) << (i % 64)) - 1));
}

qsizetype Subset::select(qsizetype k) const
{
    // The last stretch with at most k set bits before it holds the k-th.
    const size_t c =
        size_t(std::upper_bound(m_before.begin(), m_before.end(), k) - m_before.begin()) - 1;
    qsizetype skip = k - m_before[c];
    size_t w = c * size_t(kCounted / 64);
    for (;; ++w) {
        const qsizetype here = qPopulationCount(m_words[w]);
        if (skip < here)
            break;
        skip -= here;
    }
    quint64 bits = m_words[w];
    for (; skip > 0; --skip)
        bits &= bits - 1;
    return qsizetype(w * 64) + qCountTrailingZeroBits(bits);
}

void Subset::takeAppend(Subset& other)
{
    for (qsizetype i = 0; i < other.m_size; i += 64) {
        const quint64 bits = other.m_words.front();
        other.m_words.pop_front();
        for (qsizetype k = 0; k < 64 && i + k < other.m_size; ++k)
            push(bits >> k & 1);
    }
    other = Subset();
}

} // namespace vantrel

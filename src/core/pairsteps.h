#pragma once

#include <QtGlobal>

#include <algorithm>
#include <deque>
#include <utility>

namespace vantrel
{

// A growing list of pairs of never-decreasing 64-bit numbers (a line and its byte offset,
// a byte offset and its time), held as 32-bit steps from a full pair every few entries:
// 8 bytes an entry, in blocks that grow without ever copying what is there.
class PairSteps final
{
public:
    struct Pair {
        quint64 a = 0;
        quint64 b = 0;
    };

    // Both numbers must be at least those of the last entry.
    void push(quint64 a, quint64 b);
    qsizetype size() const { return qsizetype(m_steps.size()); }
    bool empty() const { return m_steps.empty(); }
    Pair at(qsizetype i) const;
    Pair back() const { return at(size() - 1); }
    // The last entry whose first (second) number is at most key; -1 when none is.
    qsizetype lastAtMostA(quint64 key) const { return lastAtMost(key, &Base::a, &Step::a); }
    qsizetype lastAtMostB(quint64 key) const { return lastAtMost(key, &Base::b, &Step::b); }
    // Moves another list's entries to the end of this one, each number raised by the
    // amount given; the other list is left empty.
    void takeAppend(PairSteps& other, quint64 addA, quint64 addB);
    void clear();

    // Reads the entries in order, each in constant time (at() looks for its run first).
    class Reader final
    {
    public:
        explicit Reader(const PairSteps& list) : m_list(list) {}
        bool atEnd() const { return m_i >= m_list.size(); }
        qsizetype index() const { return m_i; }
        // The entry at index(); only while not atEnd().
        Pair get() const
        {
            const Base& base = m_list.m_bases[size_t(m_base)];
            const Step& step = m_list.m_steps[size_t(m_i)];
            return Pair{base.a + step.a, base.b + step.b};
        }
        void advance()
        {
            ++m_i;
            if (m_base + 1 < qsizetype(m_list.m_bases.size()) &&
                m_list.m_bases[size_t(m_base + 1)].first == m_i)
                ++m_base;
        }
        // On to entry i, at or after index(): near ones step by step, far ones at once.
        void advanceTo(qsizetype i)
        {
            if (i - m_i > 4 * kRun) {
                m_i = std::min(i, m_list.size());
                m_base = m_i < m_list.size() ? m_list.baseOf(m_i) : m_base;
                return;
            }
            while (m_i < i && !atEnd())
                advance();
        }

    private:
        const PairSteps& m_list;
        qsizetype m_i = 0;
        qsizetype m_base = 0;
    };

private:
    static constexpr qsizetype kRun = 64; // entries per full pair
    struct Base {
        quint64 a;
        quint64 b;
        qsizetype first;
    };
    struct Step {
        quint32 a;
        quint32 b;
    };
    qsizetype baseOf(qsizetype i) const;
    qsizetype lastAtMost(quint64 key, quint64 Base::*whole, quint32 Step::*part) const;

    std::deque<Base> m_bases;
    std::deque<Step> m_steps;
};

} // namespace vantrel

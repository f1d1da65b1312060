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

public:
    // Reads the entries in order, each in constant time (at() looks for its run first).
    class Reader final
    {
    public:
        explicit Reader(const PairSteps& list)
            : m_list(list), m_step(list.m_steps.begin()), m_base(list.m_bases.begin())
        {
        }
        bool atEnd() const { return m_step == m_list.m_steps.end(); }
        qsizetype index() const { return m_i; }
        // The entry at index(); only while not atEnd().
        Pair get() const { return Pair{m_base->a + m_step->a, m_base->b + m_step->b}; }
        void advance()
        {
            ++m_i;
            ++m_step;
            if (m_base + 1 != m_list.m_bases.end() && (m_base + 1)->first == m_i)
                ++m_base;
        }
        // On to entry i, at or after index(): near ones step by step, far ones at once.
        void advanceTo(qsizetype i)
        {
            if (i - m_i > 4 * kRun) {
                m_i = std::min(i, m_list.size());
                m_step = m_list.m_steps.begin() + m_i;
                if (m_i < m_list.size())
                    m_base = m_list.m_bases.begin() + m_list.baseOf(m_i);
                return;
            }
            while (m_i < i && !atEnd())
                advance();
        }

    private:
        const PairSteps& m_list;
        qsizetype m_i = 0;
        std::deque<Step>::const_iterator m_step;
        std::deque<Base>::const_iterator m_base;
    };

private:
    qsizetype baseOf(qsizetype i) const;
    qsizetype lastAtMost(quint64 key, quint64 Base::*whole, quint32 Step::*part) const;

    std::deque<Base> m_bases;
    std::deque<Step> m_steps;
};

} // namespace vantrel

#pragma once

#include <QtGlobal>

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
    qsizetype baseOf(qsizetype i) const;
    qsizetype lastAtMost(quint64 key, quint64 Base::*whole, quint32 Step::*part) const;

    std::deque<Base> m_bases;
    std::deque<Step> m_steps;
};

} // namespace vantrel

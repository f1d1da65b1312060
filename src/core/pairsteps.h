#pragma once

#include <QtAlgorithms>
#include <QtGlobal>

#include <algorithm>
#include <deque>
#include <utility>

namespace vantrel
{

// A growing list of pairs of never-decreasing 64-bit numbers (a line and its byte offset,
// a byte offset and its time), held as a full pair every few entries and, between them,
// each entry's steps from the one before in as few bytes as they need: events a few
// bytes apart cost about two bytes each, so a log of nothing but markers stays small.
class PairSteps final
{
public:
    struct Pair {
        quint64 a = 0;
        quint64 b = 0;
    };

    // Both numbers must be at least those of the last entry.
    void push(quint64 a, quint64 b);
    qsizetype size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    Pair at(qsizetype i) const;
    Pair back() const { return m_last; }
    // The last entry whose first (second) number is at most key; -1 when none is.
    qsizetype lastAtMostA(quint64 key) const { return lastAtMost(key, false); }
    qsizetype lastAtMostB(quint64 key) const { return lastAtMost(key, true); }
    // Moves another list's entries to the end of this one, each number raised by the
    // amount given; the other list is left empty.
    void takeAppend(PairSteps& other, quint64 addA, quint64 addB);
    void clear();

private:
    static constexpr qsizetype kRun = 256; // entries per full pair
    struct Base {
        quint64 a;
        quint64 b;
        qsizetype bytes; // where the steps after it start
    };
    using Bytes = std::deque<quint8>;
    // A number as 7 bits a byte, the low ones first; the top bit says more follow.
    static quint64 decode(Bytes::const_iterator& at)
    {
        quint64 v = 0;
        for (int shift = 0;; shift += 7) {
            const quint8 byte = *at++;
            v |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return v;
        }
    }
    // An entry's steps: the second number's step with the first's in its three low bits
    // when it is at most 6 (a marker a few lines after the last costs one byte while less
    // than 16 bytes after it, two while less than 2 KiB), else 7 there and the first's
    // step after it.
    static constexpr int kTagBits = 3;
    static constexpr quint64 kStepFollows = (1 << kTagBits) - 1;
    static void stepOn(Pair& p, Bytes::const_iterator& at)
    {
        const quint64 v = decode(at);
        const quint64 tag = v & kStepFollows;
        p.a += tag == kStepFollows ? kStepFollows + decode(at) : tag;
        p.b += v >> kTagBits;
    }

public:
    // Reads the entries in order, each in constant time (at() decodes its run first).
    class Reader final
    {
    public:
        explicit Reader(const PairSteps& list) : m_list(list) { seek(0); }
        bool atEnd() const { return m_i >= m_list.size(); }
        qsizetype index() const { return m_i; }
        // The entry at index(); only while not atEnd().
        Pair get() const { return m_pair; }
        void advance()
        {
            ++m_i;
            if (atEnd())
                return;
            if (m_i % kRun == 0) {
                ++m_base;
                m_pair = Pair{m_base->a, m_base->b};
                m_byte = m_list.m_bytes.begin() + m_base->bytes;
                return;
            }
            stepOn(m_pair, m_byte);
        }
        // On to entry i, at or after index(): near ones step by step, far ones at once.
        void advanceTo(qsizetype i)
        {
            if (i - m_i > kRun) {
                seek(std::min(i, m_list.size()));
                return;
            }
            while (m_i < i && !atEnd())
                advance();
        }

    private:
        void seek(qsizetype i)
        {
            m_i = i;
            if (atEnd())
                return;
            m_base = m_list.m_bases.begin() + m_list.baseOf(i);
            m_pair = Pair{m_base->a, m_base->b};
            m_byte = m_list.m_bytes.begin() + m_base->bytes;
            for (qsizetype k = i / kRun * kRun; k < i; ++k)
                stepOn(m_pair, m_byte);
        }
        const PairSteps& m_list;
        qsizetype m_i = 0;
        Pair m_pair;
        std::deque<Base>::const_iterator m_base;
        Bytes::const_iterator m_byte;
    };

private:
    qsizetype baseOf(qsizetype i) const;
    qsizetype lastAtMost(quint64 key, bool second) const;
    void put(quint64 number);

    std::deque<Base> m_bases;
    Bytes m_bytes;
    qsizetype m_size = 0;
    Pair m_last;
};

} // namespace vantrel

namespace vantrel
{

// Which entries of a list belong to a smaller one (new faults among the fault reports,
// stops among the speed reports), a bit each: the smaller list costs its bigger one's
// entries an eighth of a byte, not its own entries two bytes or more.
class Subset final
{
public:
    void push(bool in)
    {
        if (m_size % 64 == 0) {
            if (m_size % kCounted == 0)
                m_before.push_back(m_count);
            m_words.push_back(0);
        }
        if (in) {
            m_words.back() |= quint64(1) << (m_size % 64);
            ++m_count;
        }
        ++m_size;
    }
    // Entry i of the bigger list in or out.
    void set(qsizetype i, bool in);
    qsizetype size() const { return m_size; }   // the bigger list's entries
    qsizetype count() const { return m_count; } // those in the subset
    bool contains(qsizetype i) const { return m_words[size_t(i / 64)] >> (i % 64) & 1; }
    // How many of the bigger list's entries before i are in the subset.
    qsizetype rank(qsizetype i) const;
    // The bigger list's entry that is the subset's k-th.
    qsizetype select(qsizetype k) const;
    // Each of the bigger list's entries in the subset, in order.
    template <typename Visit> void forEach(Visit visit) const
    {
        for (size_t w = 0; w < m_words.size(); ++w)
            for (quint64 bits = m_words[w]; bits; bits &= bits - 1)
                visit(qsizetype(w * 64 + size_t(qCountTrailingZeroBits(bits))));
    }
    // Moves another subset's bits to the end of this one, freeing them as they go.
    void takeAppend(Subset& other);

private:
    static constexpr qsizetype kCounted = 512; // entries per count of those before
    std::deque<quint64> m_words;
    std::deque<qsizetype> m_before; // set bits before each kCounted entries
    qsizetype m_size = 0;
    qsizetype m_count = 0;
};

} // namespace vantrel

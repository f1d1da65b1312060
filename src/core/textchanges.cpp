#include "textchanges.h"

#include <vector>

namespace vantrel
{

namespace
{
int cost(const std::vector<TextChange>& edits)
{
    int n = 0;
    for (const TextChange& e : edits)
        n += int(e.removed.size() + e.inserted.size());
    return n;
}

std::vector<TextChange> oneStretch(const QString& before, const QString& after)
{
    const int shorter = int(qMin(before.size(), after.size()));
    int head = 0;
    while (head < shorter && before[head] == after[head])
        ++head;
    int tail = 0;
    while (tail < shorter - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    return {TextChange{head, before.mid(head, before.size() - head - tail),
                       after.mid(head, after.size() - head - tail)}};
}

// The longest end of `before` that `after` starts with (a matcher's pass, linear).
int overlap(const QString& before, const QString& after)
{
    const int n = int(after.size());
    std::vector<int> fallback(size_t(n), 0); // longest proper border of after.left(i + 1)
    for (int i = 1, k = 0; i < n; ++i) {
        while (k > 0 && after[i] != after[k])
            k = fallback[size_t(k - 1)];
        if (after[i] == after[k])
            ++k;
        fallback[size_t(i)] = k;
    }
    int matched = 0;
    for (const QChar c : before) {
        while (matched > 0 && (matched == n || c != after[matched]))
            matched = fallback[size_t(matched - 1)];
        if (matched < n && c == after[matched])
            ++matched;
    }
    return matched;
}

// The text kept from `before` starts `after`: a cut of the front, then an addition.
std::vector<TextChange> cutAndAdd(const QString& before, const QString& after)
{
    const int kept = overlap(before, after);
    if (kept == 0 || kept == before.size())
        return {}; // nothing kept, or nothing cut: one stretch says it
    const qsizetype cut = before.size() - kept;
    std::vector<TextChange> edits{TextChange{0, before.left(cut), {}}};
    if (after.size() > kept)
        edits.push_back(TextChange{kept, {}, after.mid(kept)});
    return edits;
}
} // namespace

std::vector<TextChange> textChanges(const QString& before, const QString& after)
{
    if (before == after)
        return {};
    std::vector<TextChange> edits = oneStretch(before, after);
    std::vector<TextChange> shorter = cutAndAdd(before, after);
    if (!shorter.empty() && cost(shorter) < cost(edits))
        edits = std::move(shorter);
    return edits;
}

} // namespace vantrel

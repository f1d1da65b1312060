#pragma once

#include <QString>

#include <vector>

namespace vantrel
{

// One edit of a text: at a position, some characters gave way to others.
struct TextChange {
    int at = 0;
    QString removed;
    QString inserted;
};

// The fewest edits found that turn one text into another, in order, each at a position
// in the text as the edits before it left it: one edit where the texts differ in one
// stretch; a cut at the front followed by an addition at the end where that is shorter
// (a terminal that keeps only its newest text, fed between two looks at it).
std::vector<TextChange> textChanges(const QString& before, const QString& after);

} // namespace vantrel

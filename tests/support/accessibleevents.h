#pragma once

#include <QStringList>

class QObject;

namespace vantrel::test
{

// Stands in for assistive technology inside the test: while it lives, the kit's controls
// count as listened to, and their accessibility events about one object are written
// down, one line each: "insert 3 \"abc\"", "remove 0 \"ab\"", "update 2 \"a\" \"b\"",
// "caret 5", "selection 1 4", "name \"GV, 1\"".
class AccessibleEvents
{
public:
    explicit AccessibleEvents(const QObject* of);
    ~AccessibleEvents();
    AccessibleEvents(const AccessibleEvents&) = delete;
    AccessibleEvents& operator=(const AccessibleEvents&) = delete;

    // What was written down since the last call.
    QStringList take();

private:
    QStringList m_heard;
};

} // namespace vantrel::test

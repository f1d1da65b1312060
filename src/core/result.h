#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace vantrel
{

// A failure, with the description the user is shown (the system's own words).
struct Failure {
    explicit Failure(QString why) : why(std::move(why)) {}
    QString why;
};

// Nothing to hand back but success.
struct Done {
};

// What an operation of the outside world came to: its value, or a failure with its
// description. It cannot be dropped unread: a caller that goes on after a failure says
// so with skip().
template <typename T = Done> class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_why(std::move(failure.why)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // Empty when it went well.
    const QString& why() const { return m_why; }
    const T& value() const { return *m_value; }
    const T& operator*() const { return *m_value; }
    const T* operator->() const { return &*m_value; }
    // The failure is passed over on purpose, as where a step that fails is skipped.
    void skip() const {}

private:
    std::optional<T> m_value;
    QString m_why;
};

inline Result<> done()
{
    return Done{};
}

} // namespace vantrel

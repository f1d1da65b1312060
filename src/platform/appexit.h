#pragma once

#include <functional>
#include <vector>

namespace vantrel
{

// Ends the program at once: closes its open files and the port, and runs no window's
// close handling. Callers return straight after calling it.
class AppExit
{
public:
    virtual ~AppExit() = default;
    // Run before the end, e.g. to close files.
    void addCloser(std::function<void()> closer) { m_closers.push_back(std::move(closer)); }
    virtual void endProgram(int code = 0) = 0;
    bool ended() const { return m_ended; }

protected:
    void runClosers()
    {
        m_ended = true;
        for (auto& c : m_closers)
            c();
    }

private:
    std::vector<std::function<void()>> m_closers;
    bool m_ended = false;
};

class ProcessExit final : public AppExit
{
public:
    [[noreturn]] void endProgram(int code = 0) override;
};

} // namespace vantrel

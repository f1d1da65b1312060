#include "logreader.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vantrel
{

// What the window and the reading thread share; whichever leaves last frees it.
struct LogReader::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::shared_ptr<LineFile> file;
    std::deque<LineRead> ahead;
    LogReader* owner = nullptr; // none once the window has let go
    bool done = false;          // the thread has left
};

LogReader::LogReader(std::shared_ptr<LineFile> file, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->file = std::move(file);
    m_shared->owner = this;
    std::thread(&LogReader::work, m_shared).detach();
}

LogReader::~LogReader()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->owner = nullptr;
    m_shared->file->cancel();
    m_shared->wake.notify_all();
    // A read on a slow medium may take long: never wait for more than a moment.
    m_shared->wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_shared->done; });
}

void LogReader::work(std::shared_ptr<Shared> s)
{
    for (;;) {
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&] { return !s->owner || s->ahead.size() < kLinesAhead; });
            if (!s->owner)
                break;
        }
        LineRead next = s->file->next(); // without the lock: it may be slow
        std::lock_guard lock(s->mutex);
        if (!s->owner)
            break;
        const bool windowWaits = s->ahead.empty();
        const bool last = !next || !*next; // nothing follows the end or a failure
        s->ahead.push_back(std::move(next));
        if (windowWaits) {
            LogReader* owner = s->owner;
            QMetaObject::invokeMethod(
                owner, [owner] { Q_EMIT owner->lineArrived(); }, Qt::QueuedConnection);
        }
        if (last)
            break;
    }
    std::lock_guard lock(s->mutex);
    s->done = true;
    s->wake.notify_all();
}

bool LogReader::ready() const
{
    std::lock_guard lock(m_shared->mutex);
    return !m_shared->ahead.empty();
}

LineRead LogReader::peek() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->ahead.front();
}

LineRead LogReader::take()
{
    std::lock_guard lock(m_shared->mutex);
    LineRead result = m_shared->ahead.front();
    if (result && *result) {
        m_shared->ahead.pop_front();
        m_shared->wake.notify_all();
    }
    return result;
}

} // namespace vantrel

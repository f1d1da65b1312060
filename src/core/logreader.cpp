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
    std::deque<std::pair<LineFile::Next, QString>> ahead;
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
        QString text;
        const LineFile::Next next = s->file->next(&text); // without the lock: it may be slow
        std::lock_guard lock(s->mutex);
        if (!s->owner)
            break;
        const bool windowWaits = s->ahead.empty();
        s->ahead.emplace_back(next, std::move(text));
        if (windowWaits) {
            LogReader* owner = s->owner;
            QMetaObject::invokeMethod(
                owner, [owner] { Q_EMIT owner->lineArrived(); }, Qt::QueuedConnection);
        }
        if (next != LineFile::Next::Line)
            break; // nothing follows the end or a failure
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

LineFile::Next LogReader::peek(QString* text) const
{
    std::lock_guard lock(m_shared->mutex);
    const auto& [next, what] = m_shared->ahead.front();
    if (text)
        *text = what;
    return next;
}

LineFile::Next LogReader::take(QString* text)
{
    std::lock_guard lock(m_shared->mutex);
    auto& [next, what] = m_shared->ahead.front();
    const LineFile::Next result = next;
    if (text)
        *text = what;
    if (result == LineFile::Next::Line) {
        m_shared->ahead.pop_front();
        m_shared->wake.notify_all();
    }
    return result;
}

} // namespace vantrel

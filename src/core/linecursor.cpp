#include "linecursor.h"

#include "linefile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vantrel
{

LineCursor::LineCursor(const QString& path, int fd, qint64 offset, qint64 fileBytes,
                       qint64 blockBytes)
    : m_path(path), m_block(blockBytes), m_fd(fd), m_pos(offset), m_size(fileBytes)
{
}

Result<> LineCursor::load(qint64 at)
{
    const qint64 want = std::min(m_block, m_size - at);
    m_buf.resize(want);
    qint64 got = 0;
    while (got < want) {
        const ssize_t n = ::pread(m_fd, m_buf.data() + got, size_t(want - got), at + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Failure(QStringLiteral("Cannot read %1: %2").arg(m_path, osError(errno)));
        if (n == 0)
            return Failure(
                QStringLiteral("Cannot read %1: it became shorter while it was read").arg(m_path));
        got += n;
    }
    m_bufStart = at;
    return done();
}

Result<bool> LineCursor::next(Line* line)
{
    if (m_pos >= m_size)
        return false;
    line->start = m_pos;
    line->text.clear();
    const auto inBuffer = [this](qint64 at) {
        return at >= m_bufStart && at < m_bufStart + m_buf.size();
    };
    for (;;) {
        if (!inBuffer(m_pos))
            if (const Result<> loaded = load(m_pos); !loaded)
                return Failure(loaded.why());
        const char* from = m_buf.constData() + (m_pos - m_bufStart);
        const qint64 rest = m_bufStart + m_buf.size() - m_pos;
        const char* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(rest)));
        const qint64 take = cr ? cr - from : rest;
        // Only the last kReplayLineMax bytes of a line are kept.
        if (take >= kReplayLineMax) {
            line->text = QByteArray(from + take - kReplayLineMax, kReplayLineMax);
        } else {
            line->text.append(from, take);
            if (line->text.size() > kReplayLineMax)
                line->text.remove(0, line->text.size() - kReplayLineMax);
        }
        m_pos += take;
        if (cr) {
            line->textEnd = m_pos++;
            if (m_pos < m_size) {
                if (!inBuffer(m_pos))
                    if (const Result<> loaded = load(m_pos); !loaded)
                        return Failure(loaded.why());
                if (m_buf.at(m_pos - m_bufStart) == '\n')
                    ++m_pos;
            }
            break;
        }
        if (m_pos >= m_size) {
            line->textEnd = m_pos;
            break;
        }
    }
    line->next = m_pos;
    return true;
}

} // namespace vantrel

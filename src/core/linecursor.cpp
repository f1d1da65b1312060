#include "linecursor.h"

#include "linefile.h"

namespace vantrel
{

LineCursor::LineCursor(const QString& path, int fd, qint64 offset, qint64 fileBytes,
                       qint64 blockBytes)
    : m_reader(fd, path), m_block(blockBytes), m_pos(offset), m_size(fileBytes)
{
}

Result<std::pair<const char*, qint64>> LineCursor::bytesAt(qint64 at)
{
    if (at >= m_size)
        return std::pair<const char*, qint64>(nullptr, 0);
    if (at < m_bufStart || at >= m_bufStart + m_buf.size()) {
        m_buf.resize(std::min(m_block, m_size - at));
        if (const Result<> read = m_reader.exactly(m_buf.data(), at, m_buf.size()); !read) {
            m_buf.clear();
            return Failure(read.why());
        }
        m_bufStart = at;
    }
    return std::pair(m_buf.constData() + (at - m_bufStart), m_bufStart + m_buf.size() - at);
}

Result<bool> LineCursor::next(Line* line)
{
    if (m_pos >= m_size)
        return false;
    line->start = m_pos;
    const Result<bool> got = splitLine(&m_pos, kReplayLineMax, &line->text, &line->textEnd,
                                       [this](qint64 at) { return bytesAt(at); });
    line->next = m_pos;
    return got;
}

} // namespace vantrel

#include "blockreader.h"

#include <cerrno>
#include <unistd.h>

namespace vantrel
{

QString osError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

BlockReader::BlockReader(int fd, const QString& path, const std::atomic<bool>* cancel,
                         const char* shrunk)
    : m_fd(fd), m_path(path), m_cancel(cancel), m_shrunk(shrunk)
{
}

Failure BlockReader::stopped() const
{
    return Failure(QStringLiteral("Reading %1 was stopped").arg(m_path));
}

Failure BlockReader::failed(int err) const
{
    return Failure(QStringLiteral("Cannot read %1: %2").arg(m_path, osError(err)));
}

Failure BlockReader::shorter() const
{
    return Failure(QStringLiteral("Cannot read %1: %2").arg(m_path, QLatin1String(m_shrunk)));
}

Result<qint64> BlockReader::some(char* into, qint64 at, qint64 n) const
{
    if (cancelled())
        return stopped();
    ssize_t got;
    for (;;) {
        got = m_stream ? ::read(m_fd, into, size_t(n)) : ::pread(m_fd, into, size_t(n), at);
        // A pipe has no offsets: what comes next is read as it comes.
        if (got < 0 && errno == ESPIPE && !m_stream) {
            m_stream = true;
            continue;
        }
        if (got >= 0 || errno != EINTR)
            break;
    }
    if (got < 0)
        return failed(errno);
    return qint64(got);
}

Result<> BlockReader::exactly(char* into, qint64 at, qint64 n) const
{
    qint64 got = 0;
    while (got < n) {
        const Result<qint64> r = some(into + got, at + got, n - got);
        if (!r)
            return Failure(r.why());
        if (*r == 0)
            return shorter();
        got += *r;
    }
    return done();
}

} // namespace vantrel

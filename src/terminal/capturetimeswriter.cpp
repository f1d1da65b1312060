#include "capturetimeswriter.h"

#include "core/capturetimes.h"

#include <algorithm>

namespace vantrel
{

CaptureTimesWriter::~CaptureTimesWriter()
{
    if (m_file != 0)
        m_files.close(m_file);
}

Result<> CaptureTimesWriter::stop(const QString& why)
{
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    return Failure(why);
}

Result<> CaptureTimesWriter::put(const QByteArray& line)
{
    if (const Result<> written = m_files.write(m_file, line); !written)
        return stop(written.why());
    return done();
}

Result<> CaptureTimesWriter::start(const QString& logPath, qint64 logBytes, bool replace)
{
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    const QString path = capturetimes::pathFor(logPath);
    if (replace) {
        const Result<bool> there = m_files.exists(path);
        if (!there)
            return Failure(there.why());
        if (*there)
            if (const Result<> removed = m_files.remove(path); !removed)
                return removed;
    }
    const int fileNo = m_files.freeFile();
    if (const Result<> opened = m_files.openAppend(fileNo, path); !opened) {
        m_files.close(fileNo);
        return opened;
    }
    m_file = fileNo;
    if (m_files.writePosition(m_file) == 0)
        if (const Result<> written = put(capturetimes::headerLine()); !written)
            return written;
    const qint64 now = m_clock.wallMilliseconds();
    m_lastOffset = logBytes;
    m_lastWritten = now;
    m_lastRecordRead = now;
    return put(capturetimes::openLine(logBytes, now));
}

Result<> CaptureTimesWriter::piece(qint64 offset)
{
    if (m_file == 0)
        return done();
    const qint64 now = m_clock.wallMilliseconds();
    // A clock set back counts as time passed; what is written never goes backwards.
    if (now - m_lastRecordRead < capturetimes::kSpacingMs && now >= m_lastRecordRead)
        return done();
    if (offset < m_lastOffset)
        return stop(QStringLiteral("the log was started again under its name"));
    m_lastRecordRead = now;
    m_lastWritten = std::max(now, m_lastWritten);
    m_lastOffset = offset;
    return put(capturetimes::recordLine(offset, m_lastWritten));
}

Result<> CaptureTimesWriter::finish(qint64 logBytes)
{
    if (m_file == 0)
        return done();
    const qint64 now = std::max(m_clock.wallMilliseconds(), m_lastWritten);
    if (logBytes < m_lastOffset)
        return stop(QStringLiteral("the log was started again under its name"));
    const Result<> written = put(capturetimes::closeLine(logBytes, now));
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    return written;
}

} // namespace vantrel

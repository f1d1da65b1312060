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

Result<> CaptureTimesWriter::stop(const QString& why, qint64 timedBytes)
{
    // The run is ended where its times end, so what the log holds next is never read
    // as timed by it; a file that takes no more (a full disk) is left with its run open,
    // which the reader knows by the log's later change.
    if (m_file != 0 && m_runOpen)
        m_files
            .write(m_file, capturetimes::stopLine(
                               timedBytes, std::max(m_clock.wallMilliseconds(), m_lastWritten)))
            .skip();
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    return Failure(why);
}

Result<> CaptureTimesWriter::put(const QByteArray& line, qint64 offset)
{
    if (const Result<> written = m_files.write(m_file, line); !written)
        return stop(written.why(), offset);
    return done();
}

Result<> CaptureTimesWriter::start(const QString& logPath, qint64 logBytes, bool replace)
{
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    m_runOpen = false;
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
    // What a log may be written to, a terminal or a printer, cannot keep its times.
    if (const auto at = identify(path); at && !at->regular) {
        m_files.close(fileNo);
        return Failure(QStringLiteral("Cannot open %1: it is a device, not a file").arg(path));
    }
    m_file = fileNo;
    if (m_files.writePosition(m_file) == 0)
        if (const Result<> written = put(capturetimes::headerLine(), logBytes); !written)
            return written;
    const qint64 now = m_clock.wallMilliseconds();
    m_lastOffset = logBytes;
    m_lastWritten = now;
    m_lastRecordRead = now;
    const Result<> opened = put(capturetimes::openLine(logBytes, now), logBytes);
    m_runOpen = bool(opened);
    return opened;
}

Result<> CaptureTimesWriter::piece(qint64 offset)
{
    if (m_file == 0)
        return done();
    // None of the times hold for a log that was emptied under them: looked for at every
    // piece, before what comes after the emptying outgrows what was there.
    if (offset < m_lastOffset)
        return stop(QStringLiteral("the log was started again under its name"), 0);
    m_lastOffset = offset;
    const qint64 now = m_clock.wallMilliseconds();
    // A clock set back counts as time passed; what is written never goes backwards.
    if (now - m_lastRecordRead < capturetimes::kSpacingMs && now >= m_lastRecordRead)
        return done();
    m_lastRecordRead = now;
    m_lastWritten = std::max(now, m_lastWritten);
    return put(capturetimes::recordLine(offset, m_lastWritten), offset);
}

Result<> CaptureTimesWriter::finish(qint64 logBytes)
{
    if (m_file == 0)
        return done();
    const qint64 now = std::max(m_clock.wallMilliseconds(), m_lastWritten);
    if (logBytes < m_lastOffset)
        return stop(QStringLiteral("the log was started again under its name"), 0);
    const Result<> written = put(capturetimes::closeLine(logBytes, now), logBytes);
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    return written;
}

} // namespace vantrel

#include "sentwriter.h"

#include <algorithm>

namespace vantrel
{

SentWriter::~SentWriter()
{
    if (m_file != 0)
        m_files.close(m_file);
}

Result<> SentWriter::stop(const QString& why)
{
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    m_polls.clear();
    return Failure(why);
}

Result<> SentWriter::put(const QByteArray& line)
{
    if (const Result<> written = m_files.write(m_file, line); !written)
        return stop(written.why());
    return done();
}

Result<> SentWriter::start(const QString& logPath, qint64 logBytes, bool replace)
{
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    m_polls.clear();
    const QString path = sent::pathFor(logPath);
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
        if (const Result<> written = put(sent::headerLine()); !written)
            return written;
    m_lastMs = m_clock.wallMilliseconds();
    return put(sent::openLine(logBytes, m_lastMs));
}

Result<> SentWriter::flushPolls(bool all)
{
    for (auto it = m_polls.begin(); it != m_polls.end();) {
        const PollRun& run = it->second;
        if (!all && run.lastMs - run.ms < sent::kPollRunMs) {
            ++it;
            continue;
        }
        if (const Result<> written = put(sent::pollsLine(run.offset, run.ms, run.count,
                                                         run.lastOffset, run.lastMs, it->first));
            !written)
            return written;
        it = m_polls.erase(it);
    }
    return done();
}

Result<> SentWriter::sent(sent::Source source, const QByteArray& bytes, qint64 logBytes)
{
    if (m_file == 0)
        return done();
    // A clock set back does not take the record back with it.
    const qint64 now = m_lastMs = std::max(m_clock.wallMilliseconds(), m_lastMs);
    if (source != sent::Source::Poll) {
        // The runs so far come first, so the file reads in the order things happened.
        if (const Result<> flushed = flushPolls(true); !flushed)
            return flushed;
        return put(sent::pieceLine(source, logBytes, now, bytes));
    }
    auto it = m_polls.find(bytes);
    // A pause much longer than the run's own spacing ends it: polling stopped meanwhile.
    const auto paused = [&](const PollRun& run) {
        const qint64 gap = now - run.lastMs;
        if (run.count < 2)
            return gap > sent::kPollRunMs;
        return gap > std::max(sent::kPollGapMs, 3 * (run.lastMs - run.ms) / (run.count - 1));
    };
    if (it != m_polls.end() && paused(it->second)) {
        const PollRun& run = it->second;
        if (const Result<> written = put(
                sent::pollsLine(run.offset, run.ms, run.count, run.lastOffset, run.lastMs, bytes));
            !written)
            return written;
        m_polls.erase(it);
        it = m_polls.end();
    }
    if (it == m_polls.end()) {
        m_polls[bytes] = PollRun{logBytes, now, 1, logBytes, now};
    } else {
        ++it->second.count;
        it->second.lastOffset = logBytes;
        it->second.lastMs = now;
    }
    return flushPolls(false);
}

Result<> SentWriter::finish(qint64 logBytes)
{
    if (m_file == 0)
        return done();
    if (const Result<> flushed = flushPolls(true); !flushed)
        return flushed;
    const qint64 now = std::max(m_clock.wallMilliseconds(), m_lastMs);
    const Result<> written = put(sent::closeLine(logBytes, now));
    if (m_file != 0)
        m_files.close(m_file);
    m_file = 0;
    return written;
}

} // namespace vantrel

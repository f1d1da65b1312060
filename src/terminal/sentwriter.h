#pragma once

#include "core/result.h"
#include "core/sentlog.h"
#include "platform/clock.h"
#include "platform/filesystem.h"

#include <QString>

#include <map>

namespace vantrel
{

// Writes what is sent beside an open capture log ("<log>.sent"): an open line when a run
// starts, a line per piece sent, runs of the same poll as one line each, a close line
// when the run ends. A failure ends the record for the run and is handed back once; the
// log goes on without it.
class SentWriter final
{
public:
    SentWriter(FileSystem& files, Clock& clock) : m_files(files), m_clock(clock) {}
    ~SentWriter();
    SentWriter(const SentWriter&) = delete;
    SentWriter& operator=(const SentWriter&) = delete;

    // Starts a run for a log of logBytes bytes; replace deletes an earlier file first.
    Result<> start(const QString& logPath, qint64 logBytes, bool replace);
    // A piece that went out when the log held logBytes bytes.
    Result<> sent(sent::Source source, const QByteArray& bytes, qint64 logBytes);
    // Ends the run at the log's size.
    Result<> finish(qint64 logBytes);
    bool running() const { return m_file != 0; }

private:
    struct PollRun {
        qint64 offset = 0;
        qint64 ms = 0;
        qint64 count = 0;
        qint64 lastOffset = 0;
        qint64 lastMs = 0;
    };
    Result<> put(const QByteArray& line);
    Result<> stop(const QString& why);
    // Writes out the runs of polls, all of them or those a minute long.
    Result<> flushPolls(bool all);

    FileSystem& m_files;
    Clock& m_clock;
    int m_file = 0;
    qint64 m_lastMs = 0; // what is written never goes back in time
    std::map<QByteArray, PollRun> m_polls;
};

} // namespace vantrel

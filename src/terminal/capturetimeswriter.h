#pragma once

#include "core/result.h"
#include "platform/clock.h"
#include "platform/filesystem.h"

#include <QString>

namespace vantrel
{

// Writes the capture times beside an open capture log ("<log>.times"): an open line
// when a run starts, a record before a piece when 100 ms or more have passed since the
// last one, a close line when the run ends. A failure ends the times for the run with a
// stop line where they end, when it can still be written, and is handed back once; the
// log goes on as if there were none.
class CaptureTimesWriter final
{
public:
    CaptureTimesWriter(FileSystem& files, Clock& clock) : m_files(files), m_clock(clock) {}
    ~CaptureTimesWriter();
    CaptureTimesWriter(const CaptureTimesWriter&) = delete;
    CaptureTimesWriter& operator=(const CaptureTimesWriter&) = delete;

    // Starts a run for a log that holds logBytes bytes; replace deletes an earlier
    // times file first (its log was started anew).
    Result<> start(const QString& logPath, qint64 logBytes, bool replace);
    // Before a piece that will be written at this offset of the log.
    Result<> piece(qint64 offset);
    // Ends the run at the log's size.
    Result<> finish(qint64 logBytes);
    bool running() const { return m_file != 0; }

private:
    // A line about the log's bytes before offset; a failure stops the times there.
    Result<> put(const QByteArray& line, qint64 offset);
    Result<> stop(const QString& why, qint64 timedBytes);

    FileSystem& m_files;
    Clock& m_clock;
    int m_file = 0;
    bool m_runOpen = false;      // its open line is in the file
    qint64 m_lastOffset = 0;     // the log's size at the last piece
    qint64 m_lastWritten = 0;    // the last time written: none goes below it
    qint64 m_lastRecordRead = 0; // the clock's reading at the last record
};

} // namespace vantrel

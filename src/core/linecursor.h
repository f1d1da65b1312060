#pragma once

#include "blockreader.h"
#include "result.h"

#include <QByteArray>
#include <QString>

namespace vantrel
{

// Reads the lines of a log from any line's start, as the replay reads them (splitLine,
// a longer line keeping its last kReplayLineMax characters), with where each lies in
// the file. Reads with pread on a descriptor it does not own, so several may share one.
class LineCursor final
{
public:
    struct Line {
        qint64 start = 0;   // offset of its first byte
        qint64 textEnd = 0; // offset of its CR, or the file's end
        qint64 next = 0;    // where the next line starts
        QByteArray text;    // its last kReplayLineMax bytes
    };

    // The path only names the log in a failure.
    LineCursor(const QString& path, int fd, qint64 offset, qint64 fileBytes,
               qint64 blockBytes = kReadBlockBytes);
    // The next line; false at the file's end; a failure names the OS's reason.
    Result<bool> next(Line* line);
    qint64 offset() const { return m_pos; }

private:
    // The buffer's bytes from `at` on, loading the block there when it does not hold it.
    Result<std::pair<const char*, qint64>> bytesAt(qint64 at);

    BlockReader m_reader;
    qint64 m_block;
    qint64 m_pos;
    qint64 m_size;
    QByteArray m_buf;
    qint64 m_bufStart = 0;
};

} // namespace vantrel

#pragma once

#include "blockreader.h"
#include "result.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>

namespace vantrel
{

// One step through a file of lines: a line, the end (no value), or a failure with its
// reason. It cannot be dropped unread.
using LineRead = Result<std::optional<QString>>;

// The replay keeps a longer line's last this many characters.
constexpr qint64 kReplayLineMax = 4096;

// Reads a text file line by line without ever holding more than one block and one
// bounded line, cut into lines as splitLine does. Bytes are characters one to one
// (Latin-1). It owns the file descriptor.
class LineFile
{
public:
    static constexpr qint64 kBlockBytes = kReadBlockBytes;

    // The path, when given, is checked on each block: a log that is deleted or
    // replaced while it is read is reported instead of being read on unseen.
    // A smaller block lets a short file cross block boundaries (the fuzzer uses it).
    LineFile(int fd, qint64 maxLine, const QByteArray& path = {}, qint64 blockBytes = kBlockBytes);
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // The next line, the end of the file, or a failure with its reason.
    LineRead next();
    // Reads on from a line's first byte instead of the file's start; only before the
    // first line is read.
    bool startAt(qint64 offset);
    // May be called from any thread: a read in progress stops at its next block.
    void cancel() { m_cancel = true; }

private:
    // The block's bytes from `at` on, reading the next block when it has none left.
    Result<std::pair<const char*, qint64>> bytesAt(qint64 at);
    Result<> fill();

    std::atomic<bool> m_cancel{false};
    int m_fd;
    qint64 m_maxLine;
    QByteArray m_path;
    qint64 m_blockBytes;
    BlockReader m_reader;
    quint64 m_dev = 0;
    quint64 m_ino = 0;
    QByteArray m_block;
    qint64 m_at = 0;     // the file offset of the next line
    qint64 m_offset = 0; // the file offset just past m_block
    bool m_eof = false;
    bool m_started = false;
    bool m_sizeKnown = false; // the system has reported a size for this file
};

// A file's name as the system has it, bytes, and as text: UTF-8, with each byte that
// is not part of UTF-8 kept as U+DC80..U+DCFF, so any name comes back byte for byte
// (a name given on a command line in another encoding still opens its file).
QString fileNameFromBytes(const QByteArray& bytes);
QByteArray fileNameBytes(const QString& name);

} // namespace vantrel

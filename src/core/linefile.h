#pragma once

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
// bounded line. A line ends at CR (a CR LF pair is consumed whole); a line longer
// than the bound keeps its last characters only. Bytes are characters one to one
// (Latin-1). It owns the file descriptor.
class LineFile
{
public:
    static constexpr qint64 kBlockBytes = 64 * 1024;

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
    // Whether the block has something left, reading the next one when it has not.
    Result<bool> more();
    Result<> fill();

    std::atomic<bool> m_cancel{false};
    int m_fd;
    qint64 m_maxLine;
    QByteArray m_path;
    qint64 m_blockBytes;
    quint64 m_dev = 0;
    quint64 m_ino = 0;
    QByteArray m_block;
    qsizetype m_pos = 0;
    qint64 m_offset = 0; // bytes of the file consumed into m_block so far
    bool m_eof = false;
    bool m_sizeKnown = false; // the system has reported a size for this file
};

// The operating system's description of errno.
QString osError(int err);

// A file's name as the system has it, bytes, and as text: UTF-8, with each byte that
// is not part of UTF-8 kept as U+DC80..U+DCFF, so any name comes back byte for byte
// (a name given on a command line in another encoding still opens its file).
QString fileNameFromBytes(const QByteArray& bytes);
QByteArray fileNameBytes(const QString& name);

} // namespace vantrel

#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <map>
#include <memory>

namespace vantrel
{

// Reads a text file line by line without ever holding more than one block and one
// bounded line. A line ends at CR (a CR LF pair is consumed whole); a line longer
// than the bound keeps its last characters only. It owns the file descriptor.
class LineFile
{
public:
    static constexpr qint64 kBlockBytes = 64 * 1024;
    enum class Next { Line, End, Failed };

    // The path, when given, is checked on each block: a log that is deleted or
    // replaced while it is read is reported instead of being read on unseen.
    // A smaller block lets a short file cross block boundaries (the fuzzer uses it).
    LineFile(int fd, qint64 maxLine, const QByteArray& path = {}, qint64 blockBytes = kBlockBytes);
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // The next line, the end of the file, or a failure with its reason in *text.
    Next next(QString* text);
    // May be called from any thread: a read in progress stops at its next block.
    void cancel() { m_cancel = true; }

private:
    bool atEnd(QString* error);
    bool readLine(QString* line, QString* error);
    bool fill(QString* error);

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
};

// The file system: files are reached by a free file number, as the screens keep them.
// Every failure is described with the operating system's own text.
class FileSystem
{
public:
    virtual ~FileSystem() = default;
    // True when a regular file is at the path (folders and devices do not count).
    virtual bool exists(const QString& path, bool* found, QString* error) = 0;
    virtual bool remove(const QString& path, QString* error) = 0;
    virtual int freeFile() = 0;
    // Opens for appending raw bytes, creating the file when needed; the write position
    // follows the file's last byte. Never waits: a path that cannot take a log at once
    // (a named pipe, a socket, a disk) is refused with the reason.
    virtual bool openAppend(int fileNo, const QString& path, QString* error) = 0;
    virtual bool openRead(int fileNo, const QString& path, QString* error) = 0;
    // The lines of a file opened for reading; closing the number stops a reader that
    // still holds them at its next block.
    virtual std::shared_ptr<LineFile> lines(int fileNo) = 0;
    // Writes a whole piece at the write position, handed to the operating system at
    // once; the position moves on only when all of it is written, so writing it again
    // after a failure rewrites it from its start. A file that is no longer at its path
    // (deleted or moved) fails the write; the next write creates it there again.
    virtual bool write(int fileNo, const QByteArray& bytes, QString* error) = 0;
    virtual void close(int fileNo) = 0;
    virtual void closeAll() = 0;
    virtual bool isOpen(int fileNo) const = 0;
};

class PosixFileSystem final : public FileSystem
{
public:
    static constexpr qint64 kMaxLine = 4096;

    ~PosixFileSystem() override;
    bool exists(const QString& path, bool* found, QString* error) override;
    bool remove(const QString& path, QString* error) override;
    int freeFile() override;
    bool openAppend(int fileNo, const QString& path, QString* error) override;
    bool openRead(int fileNo, const QString& path, QString* error) override;
    bool write(int fileNo, const QByteArray& bytes, QString* error) override;
    std::shared_ptr<LineFile> lines(int fileNo) override;
    void close(int fileNo) override;
    void closeAll() override;
    bool isOpen(int fileNo) const override { return m_files.count(fileNo) != 0; }

private:
    struct Entry {
        int fd = -1;
        QString path;
        std::shared_ptr<LineFile> reader; // owns its own descriptor
        quint64 dev = 0;                  // the file the path named when it was opened
        quint64 ino = 0;
        qint64 writePos = 0;
        bool lost = false; // no longer at its path: the next write creates it again
    };
    // Opens a path for writing without waiting; false with the reason otherwise.
    static bool openForWriting(Entry& e, QString* error);
    static bool stillAtPath(const Entry& e);
    static void release(Entry& e);
    std::map<int, Entry> m_files;
};

// The operating system's description of errno.
QString osError(int err);

} // namespace vantrel

#pragma once

#include "core/linefile.h"
#include "core/result.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>
#include <optional>

namespace vantrel
{

// Which file is at a path, and its size: a file with the same device and inode is the
// same file, whatever was done to its name.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    bool regular = true; // a file, not a device, pipe or folder
};
// The file at the path now; none when nothing can be looked at there.
std::optional<FileIdentity> identify(const QString& path);

// The file system: files are reached by a free file number, as the screens keep them.
// Every failure is described with the operating system's own text.
class FileSystem
{
public:
    virtual ~FileSystem() = default;
    // Whether a regular file is at the path (folders and devices do not count).
    virtual Result<bool> exists(const QString& path) = 0;
    virtual Result<> remove(const QString& path) = 0;
    virtual int freeFile() = 0;
    // Opens for appending raw bytes, creating the file when needed; the write position
    // follows the file's last byte. Never waits: a path that cannot take a log at once
    // (a named pipe, a socket, a disk) is refused with the reason.
    virtual Result<> openAppend(int fileNo, const QString& path) = 0;
    virtual Result<> openRead(int fileNo, const QString& path) = 0;
    // The lines of a file opened for reading; closing the number stops a reader that
    // still holds them at its next block.
    virtual std::shared_ptr<LineFile> lines(int fileNo) = 0;
    // Writes a whole piece at the file's end as it is now (a file cut short meanwhile
    // goes on at its new end), handed to the operating system at once. A piece that
    // did not all fit is taken out again, so writing it again after a failure writes it
    // once. A file that is no longer at its path (deleted or moved) fails the write; the
    // next write creates it there again.
    virtual Result<> write(int fileNo, const QByteArray& bytes) = 0;
    // Where the next write of a file opened for appending goes (its size as written so
    // far); -1 for a number not open for writing.
    virtual qint64 writePosition(int fileNo) const = 0;
    virtual void close(int fileNo) = 0;
    virtual void closeAll() = 0;
    virtual bool isOpen(int fileNo) const = 0;
};

class PosixFileSystem final : public FileSystem
{
public:
    static constexpr qint64 kMaxLine = kReplayLineMax;

    ~PosixFileSystem() override;
    Result<bool> exists(const QString& path) override;
    Result<> remove(const QString& path) override;
    int freeFile() override;
    Result<> openAppend(int fileNo, const QString& path) override;
    Result<> openRead(int fileNo, const QString& path) override;
    Result<> write(int fileNo, const QByteArray& bytes) override;
    std::shared_ptr<LineFile> lines(int fileNo) override;
    qint64 writePosition(int fileNo) const override;
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
        int watch = -1;      // the kernel's word that the file or its folder was touched
        qint64 writePos = 0; // the file's size after the last piece
        bool lost = false;   // no longer at its path: the next write creates it again
    };
    // Opens a path for writing without waiting; false with the reason otherwise.
    static Result<> openForWriting(Entry& e);
    static bool stillAtPath(Entry& e);
    static void release(Entry& e);
    std::map<int, Entry> m_files;
};

} // namespace vantrel

#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>

namespace vantrel
{

// Reads a text file line by line without ever holding more than one block and one
// bounded line. A line ends at CR (a CR LF pair is consumed whole); a line longer
// than the bound keeps its last characters only.
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

    bool atEnd(QString* error);
    bool readLine(QString* line, QString* error);

private:
    bool fill(QString* error);

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
    // Opens for appending raw bytes, creating the file when needed.
    virtual bool openAppend(int fileNo, const QString& path, QString* error) = 0;
    virtual bool openRead(int fileNo, const QString& path, QString* error) = 0;
    virtual qint64 length(int fileNo) = 0;
    // Writes bytes at the 0-based position; handed to the operating system at once.
    virtual bool write(int fileNo, qint64 pos, const QByteArray& bytes, QString* error) = 0;
    virtual bool atEnd(int fileNo, QString* error) = 0;
    virtual bool readLine(int fileNo, QString* line, QString* error) = 0;
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
    qint64 length(int fileNo) override;
    bool write(int fileNo, qint64 pos, const QByteArray& bytes, QString* error) override;
    bool atEnd(int fileNo, QString* error) override;
    bool readLine(int fileNo, QString* line, QString* error) override;
    void close(int fileNo) override;
    void closeAll() override;
    bool isOpen(int fileNo) const override { return m_files.count(fileNo) != 0; }

private:
    struct Entry {
        int fd = -1;
        QString path;
        std::unique_ptr<LineFile> reader;
    };
    std::map<int, Entry> m_files;
};

// The operating system's description of errno.
QString osError(int err);

} // namespace vantrel

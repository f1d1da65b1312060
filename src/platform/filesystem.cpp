#include "filesystem.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel
{

namespace
{
QString describe(const QString& what, const QString& path, int err)
{
    return QStringLiteral("%1 %2: %3").arg(what, path, osError(err));
}
QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}
} // namespace

PosixFileSystem::~PosixFileSystem()
{
    closeAll();
}

Result<bool> PosixFileSystem::exists(const QString& path)
{
    struct stat st {
    };
    if (::stat(native(path).constData(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return false;
        return Failure(describe(QStringLiteral("Cannot look up"), path, err));
    }
    return bool(S_ISREG(st.st_mode));
}

Result<> PosixFileSystem::remove(const QString& path)
{
    if (::unlink(native(path).constData()) == 0)
        return done();
    return Failure(describe(QStringLiteral("Cannot delete"), path, errno));
}

int PosixFileSystem::freeFile()
{
    int n = 1;
    while (m_files.count(n))
        ++n;
    return n;
}

std::optional<FileIdentity> identify(const QString& path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        S_ISREG(st.st_mode)};
}

namespace
{
// What a path is, in words, when it cannot hold a log.
QString notALog(mode_t mode)
{
    if (S_ISDIR(mode))
        return osError(EISDIR);
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    if (S_ISBLK(mode))
        return QStringLiteral("it is a disk device, not a file");
    return {};
}
} // namespace

Result<> PosixFileSystem::openForWriting(Entry& e)
{
    const QByteArray name = native(e.path);
    const auto refuse = [&](const QString& why) {
        return Failure(QStringLiteral("Cannot open %1: %2").arg(e.path, why));
    };
    // A named pipe with no reader, or a line that waits for its carrier, would hold
    // the whole program in open(): look first, and never wait in the open itself.
    struct stat st {
    };
    if (::stat(name.constData(), &st) == 0 && !notALog(st.st_mode).isEmpty())
        return refuse(notALog(st.st_mode));
    const int fd =
        // Appending: each piece goes at the file's end as it is then, so a log cut short
        // under us (rotated by copy and truncate, emptied by hand) goes on at its new end.
        ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY,
               0644);
    if (fd < 0)
        return refuse(osError(errno));
    if (::fstat(fd, &st) != 0 || !notALog(st.st_mode).isEmpty()) {
        const QString why = notALog(st.st_mode).isEmpty() ? osError(errno) : notALog(st.st_mode);
        ::close(fd);
        return refuse(why);
    }
    if (S_ISREG(st.st_mode))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (e.fd >= 0)
        ::close(e.fd);
    if (e.watch >= 0)
        ::close(e.watch);
    // Told when the file loses a name or is renamed, or its folder is, so each piece
    // costs a look at the news instead of a look up of the path.
    e.watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (e.watch >= 0 &&
        (::inotify_add_watch(e.watch, name.constData(), IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF) <
             0 ||
         ::inotify_add_watch(e.watch,
                             QFile::encodeName(QFileInfo(e.path).absolutePath()).constData(),
                             IN_MOVE_SELF | IN_DELETE_SELF) < 0)) {
        ::close(e.watch);
        e.watch = -1;
    }
    e.fd = fd;
    e.dev = quint64(st.st_dev);
    e.ino = quint64(st.st_ino);
    e.writePos = S_ISREG(st.st_mode) ? st.st_size : 0;
    e.lost = false;
    return done();
}

bool PosixFileSystem::stillAtPath(Entry& e)
{
    if (e.watch >= 0) {
        alignas(inotify_event) char news[4096];
        ssize_t n = ::read(e.watch, news, sizeof news);
        if (n < 0 && errno == EAGAIN)
            return true; // nothing happened to the file or its folder
        while (n > 0)    // drained; what happened is looked up below
            n = ::read(e.watch, news, sizeof news);
    }
    struct stat st {
    };
    return ::stat(native(e.path).constData(), &st) == 0 && quint64(st.st_dev) == e.dev &&
           quint64(st.st_ino) == e.ino;
}

Result<> PosixFileSystem::openAppend(int fileNo, const QString& path)
{
    if (m_files.count(fileNo))
        return Failure(QStringLiteral("File already open"));
    Entry e;
    e.path = path;
    if (const Result<> opened = openForWriting(e); !opened)
        return opened;
    m_files[fileNo] = std::move(e);
    return done();
}

Result<> PosixFileSystem::openRead(int fileNo, const QString& path)
{
    if (m_files.count(fileNo))
        return Failure(QStringLiteral("File already open"));
    // Not waiting for a writer: a named pipe put at the path is refused, not read.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(describe(QStringLiteral("Cannot open"), path, errno));
    struct stat st {
    };
    if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failure(QStringLiteral("Cannot open %1: %2")
                           .arg(path, notALog(st.st_mode).isEmpty() ? QStringLiteral("not a file")
                                                                    : notALog(st.st_mode)));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    Entry e;
    e.path = path;
    e.reader = std::make_shared<LineFile>(fd, kMaxLine, native(path));
    m_files[fileNo] = std::move(e);
    return done();
}

std::shared_ptr<LineFile> PosixFileSystem::lines(int fileNo)
{
    auto it = m_files.find(fileNo);
    return it == m_files.end() ? nullptr : it->second.reader;
}

Result<> PosixFileSystem::write(int fileNo, const QByteArray& bytes)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end())
        return Failure(QStringLiteral("Bad file number"));
    Entry& e = it->second;
    if (e.lost) {
        if (const Result<> opened = openForWriting(e); !opened)
            return opened;
    }
    // Nothing goes into a file that was deleted or moved away from its path.
    const auto gone = [&] {
        e.lost = true;
        return Failure(
            QStringLiteral("Cannot write %1: the file was deleted or moved").arg(e.path));
    };
    if (!stillAtPath(e))
        return gone();
    qint64 written = 0;
    struct stat st {
    };
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(e.fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0) {
            written += n;
            continue;
        }
        const int err = n < 0 ? errno : ENOSPC;
        // What went in of a piece that did not fit is taken out again, so a retry
        // writes the whole piece once.
        if (written > 0 && ::fstat(e.fd, &st) == 0 && S_ISREG(st.st_mode))
            (void)::ftruncate(e.fd, st.st_size - written);
        return Failure(describe(QStringLiteral("Cannot write"), e.path, err));
    }
    // Deleted while the piece was written: the piece is not in any file anybody sees.
    if (::fstat(e.fd, &st) == 0 && st.st_nlink == 0)
        return gone();
    e.writePos = S_ISREG(st.st_mode) ? qint64(st.st_size) : e.writePos + written;
    return vantrel::done();
}

qint64 PosixFileSystem::writePosition(int fileNo) const
{
    const auto it = m_files.find(fileNo);
    return it == m_files.end() || it->second.reader ? -1 : it->second.writePos;
}

void PosixFileSystem::release(Entry& e)
{
    if (e.reader)
        e.reader->cancel(); // its descriptor closes with the last holder
    else
        ::close(e.fd);
    if (e.watch >= 0)
        ::close(e.watch);
}

void PosixFileSystem::close(int fileNo)
{
    auto it = m_files.find(fileNo);
    if (it == m_files.end())
        return;
    release(it->second);
    m_files.erase(it);
}

void PosixFileSystem::closeAll()
{
    for (auto& [no, e] : m_files)
        release(e);
    m_files.clear();
}

} // namespace vantrel

// The log line reader: LineFile reading a file of the fuzz bytes line by line until its
// end, against a reference splitter. The first two bytes choose the line bound and
// the block size, small ones mostly, so short files cross block boundaries and have
// over-long lines; the rest is the file.
#include "fuzzcheck.h"
#include "platform/filesystem.h"

#include <QStringList>

#include <sys/mman.h>
#include <unistd.h>

using namespace fuzzcheck;

namespace
{
int fileFd = -1;

// A line ends at CR, a CR LF pair ends it once; the last line is kept without an end;
// each line keeps its last maxLine characters; one character per byte.
QStringList reference(const uint8_t* bytes, size_t size, qint64 maxLine)
{
    QStringList lines;
    QString line;
    const auto end = [&] {
        lines.append(line.size() > maxLine ? line.right(maxLine) : line);
        line.clear();
    };
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\r') {
            end();
            if (i + 1 < size && bytes[i + 1] == '\n')
                ++i;
        } else {
            line.append(QChar(char16_t(bytes[i])));
        }
    }
    if (!line.isEmpty())
        end();
    return lines;
}

std::string show(const QStringList& lines)
{
    std::string out = "[";
    for (qsizetype i = 0; i < lines.size(); ++i)
        out += (i ? ", " : "") + fuzzcheck::show(lines[i]);
    return out + "] (" + std::to_string(lines.size()) + " lines)";
}

void writeFile(const uint8_t* bytes, size_t size)
{
    if (::ftruncate(fileFd, 0) != 0 || ::lseek(fileFd, 0, SEEK_SET) != 0) {
        std::perror("fuzz_linefile: cannot reset the file");
        std::abort();
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fileFd, bytes + done, size - done);
        if (n <= 0) {
            std::perror("fuzz_linefile: cannot write the file");
            std::abort();
        }
        done += size_t(n);
    }
    ::lseek(fileFd, 0, SEEK_SET);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fileFd = ::memfd_create("fuzz_linefile", MFD_CLOEXEC);
    if (fileFd < 0) {
        std::perror("fuzz_linefile: memfd_create");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // Bound 1..48 mostly, now and then the program's own 4096.
    const qint64 maxLine = data[0] >= 240 ? vantrel::PosixFileSystem::kMaxLine : 1 + data[0] % 48;
    // Block 1..16 bytes mostly, now and then the default; the path check is on for odd
    // values, the path being the file's own entry under /proc.
    const bool defaultBlock = data[1] >= 240;
    const qint64 block = 1 + (data[1] >> 1) % 16;
    const QByteArray path =
        (data[1] & 1) ? QByteArray("/proc/self/fd/") + QByteArray::number(fileFd) : QByteArray();
    const uint8_t* bytes = data + 2;
    const size_t length = size - 2;
    const QString input = QString::number(maxLine) + QStringLiteral(" per line, block ") +
                          (defaultBlock ? QStringLiteral("default") : QString::number(block)) +
                          QStringLiteral(": ") + latin1(bytes, length);

    writeFile(bytes, length);
    const QStringList want = reference(bytes, length, maxLine);
    QStringList got;
    {
        // The reader owns what it is given and closes it: it gets its own descriptor.
        const int fd = ::dup(fileFd);
        vantrel::LineFile file = defaultBlock ? vantrel::LineFile(fd, maxLine, path)
                                              : vantrel::LineFile(fd, maxLine, path, block);
        vantrel::LineRead next = file.next();
        for (; next && *next; next = file.next()) {
            got.append(**next);
            if (got.size() > want.size())
                mismatch("more lines than the reference", input, show(got), show(want));
        }
        if (!next)
            mismatch("the reader failed", input, show(got) + " then " + fuzzcheck::show(next.why()),
                     show(want));
    }
    if (got != want)
        mismatch("lines", input, show(got), show(want));
    return 0;
}

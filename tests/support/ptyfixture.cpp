#include "ptyfixture.h"

#include "shell/form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace vantrel::test
{

Pty::Pty()
{
    char name[256];
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = -1;
        return;
    }
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

void Pty::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // The program reads only while its event loop runs.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 5);
            continue;
        }
        if (n <= 0)
            return;
        done += n;
    }
}

qint64 Pty::offer(const QByteArray& bytes)
{
    const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
    return n < 0 ? 0 : n;
}

QByteArray Pty::readAvailable(int ms)
{
    QByteArray out;
    pollfd p{m_master, POLLIN, 0};
    if (ms > 0)
        ::poll(&p, 1, ms);
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray Pty::collect(int bytes, int ms)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (out.size() < bytes && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        out += readAvailable(5);
    }
    return out;
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

PtySession::PtySession(std::unique_ptr<LineCounterSource> counters, FileSystem* files)
    : serial(nullptr, nullptr, std::move(counters))
{
    plugIn();
    qputenv("VANTREL_COM1", QFile::encodeName(device()));
    Services s = w.services();
    s.serial = &serial;
    if (files)
        s.files = files;
    form = std::make_unique<Form1>(s);
    form->Form_Load();
}

PtySession::~PtySession() = default;

void PtySession::unplug()
{
    pty.reset();
    QFile::remove(device());
}

void PtySession::plugIn()
{
    pty = std::make_unique<Pty>();
    QFile::link(pty->path(), device());
}

bool underAddressSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

namespace
{
double statusMegabytes(const QByteArray& field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}
} // namespace

double residentMegabytes()
{
    return statusMegabytes("VmRSS:");
}

double peakResidentMegabytes()
{
    return statusMegabytes("VmHWM:");
}

double processCpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

} // namespace vantrel::test

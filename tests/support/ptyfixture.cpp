#include "ptyfixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

double processCpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

} // namespace vantrel::test

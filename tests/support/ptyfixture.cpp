#include "ptyfixture.h"

#include "shell/form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace vantrel::test
{

std::unique_ptr<QLockFile> lockTerminal(const QString& path)
{
    // Where and under which name the serial port looks: "/dev/pts/3" is "LCK..pts_3".
    QString name = path;
    name.remove(QRegularExpression(QStringLiteral("^/dev/")));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : {"/var/lock", "/run/lock", "/tmp"}) {
        if (!QFileInfo(QLatin1String(folder)).isWritable())
            continue;
        auto lock =
            std::make_unique<QLockFile>(QLatin1String(folder) + QStringLiteral("/LCK..") + name);
        return lock->tryLock(0) ? std::move(lock) : nullptr;
    }
    return nullptr;
}

Pty::Pty()
{
    // A terminal another port already reopened is kept until a free one is found.
    std::vector<int> taken;
    char name[256];
    for (int attempt = 0; attempt < 5 && !m_lock; ++attempt) {
        if (m_master >= 0)
            taken.insert(taken.end(), {m_master, m_slave});
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            m_master = m_slave = -1;
            break;
        }
        m_lock = lockTerminal(QString::fromLocal8Bit(name));
    }
    for (int fd : taken)
        ::close(fd);
    if (m_master < 0)
        return;
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

PortScreen::PortScreen(std::unique_ptr<LineCounterSource> counters)
    : serial(nullptr, nullptr, std::move(counters))
{
}

PortScreen::~PortScreen() = default;

void PortScreen::load(const QString& device, FileSystem* files)
{
    qputenv("VANTREL_COM1", QFile::encodeName(device));
    Services s = w.services();
    s.serial = &serial;
    if (files)
        s.files = files;
    form = std::make_unique<Form1>(s);
    form->Form_Load();
}

void PortScreen::close()
{
    form.reset();
    serial.release();
}

PtySession::PtySession(std::unique_ptr<LineCounterSource> counters, FileSystem* files)
    : PortScreen(std::move(counters))
{
    plugIn();
    load(device(), files);
}

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

SimController::SimController(const QStringList& options)
{
    // A terminal another port already reopened is given back for the next one.
    for (int attempt = 0; attempt < 5 && !lock; ++attempt) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        const QString link = folder.filePath(QStringLiteral("controller"));
        process.start(qEnvironmentVariable("VANTREL_SIM"),
                      options + QStringList{QStringLiteral("--link"), link});
        // Its first line is the terminal.
        QElapsedTimer t;
        t.start();
        while (!process.canReadLine() && t.elapsed() < 10000 && process.waitForReadyRead(10000)) {
        }
        if (!process.canReadLine()) {
            why = QStringLiteral("vantrel-sim did not start: %1 %2")
                      .arg(process.errorString(),
                           QString::fromLocal8Bit(process.readAllStandardError()));
            return;
        }
        lock = lockTerminal(QString::fromLocal8Bit(process.readLine().trimmed()));
        if (lock)
            device = link;
    }
    if (!lock)
        why = QStringLiteral("every terminal vantrel-sim was given is held by another port");
}

SimController::~SimController()
{
    process.kill();
    process.waitForFinished(5000);
}

void SimFixture::openSim(const QStringList& options)
{
    sim = std::make_unique<SimSession>(options);
    QVERIFY2(!sim->controller.device.isEmpty(), qPrintable(sim->controller.why));
    QVERIFY(sim->serial.portOpen());
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

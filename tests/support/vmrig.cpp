#include "vmrig.h"

#include "platform/serialports.h"
#include "shell/form1.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vantrel::test
{

namespace rig
{

QString serialNumber(const QByteArray& line)
{
    // As tests/vm/rig.py gives them to QEMU's adapters.
    return line == kUsb1 ? QStringLiteral("VT1001") : QStringLiteral("VT1002");
}

QString devicePath(const QByteArray& line)
{
    if (line == kUart)
        return QStringLiteral("/dev/ttyS1");
    // udev's name for QEMU's FTDI adapter with that serial number.
    return QStringLiteral("/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_%1-if00-port0")
        .arg(serialNumber(line));
}

} // namespace rig

quint32 driverBreaks(const QString& device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    const std::optional<LineCounts> counts = DriverCounters().read(fd);
    if (fd >= 0)
        ::close(fd);
    return counts ? counts->breaks : quint32(-1);
}

QStringList driverSettings(const QString& device)
{
    QProcess stty;
    stty.start(QStringLiteral("stty"), {QStringLiteral("-F"), device, QStringLiteral("-a")});
    if (!stty.waitForFinished(10000) || stty.exitCode() != 0)
        return {QStringLiteral("stty failed: ") +
                QString::fromLocal8Bit(stty.readAllStandardError())};
    const QString out = QString::fromLocal8Bit(stty.readAllStandardOutput());
    QStringList found{
        QStringLiteral("speed ") +
        QRegularExpression(QStringLiteral("speed (\\d+) baud")).match(out).captured(1)};
    const QStringList words = out.split(QRegularExpression(QStringLiteral("[\\s;]+")));
    for (const QString& flag :
         {QStringLiteral("parenb"), QStringLiteral("parodd"), QStringLiteral("cmspar"),
          QStringLiteral("cs5"), QStringLiteral("cs6"), QStringLiteral("cs7"),
          QStringLiteral("cs8"), QStringLiteral("cstopb")})
        for (const QString& word : words)
            if (word == flag || word == QLatin1Char('-') + flag)
                found << word;
    return found;
}

Rig::Rig()
{
    const QByteArray path = qgetenv("VANTREL_RIG");
    if (path.isEmpty()) {
        m_why = QStringLiteral("VANTREL_RIG is not set: these tests run inside the rig's "
                               "guest (ctest -L vm)");
        return;
    }
    m_fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        m_why = QStringLiteral("cannot open the rig's control port %1: %2")
                    .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(strerror(errno)));
}

Rig::~Rig()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<QByteArray> Rig::request(const QByteArray& words, int ms)
{
    if (m_fd < 0)
        return std::nullopt;
    // The process id makes an id no answer left over from another test can carry.
    const QByteArray id =
        QByteArray::number(qint64(::getpid())) + '.' + QByteArray::number(++m_next);
    const QByteArray line = id + ' ' + words + '\n';
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            m_why = QStringLiteral("cannot write to the rig: %1")
                        .arg(QString::fromLocal8Bit(strerror(errno)));
            return std::nullopt;
        } else {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 20);
        }
    }
    const std::optional<QByteArray> reply = answer(id, ms);
    if (!reply)
        return std::nullopt;
    if (!reply->startsWith("ok")) {
        m_why = QStringLiteral("the rig answered \"%1\" to \"%2\"")
                    .arg(QString::fromLatin1(*reply), QString::fromLatin1(words));
        return std::nullopt;
    }
    if (words.startsWith("feed "))
        m_feeds[words.split(' ').value(1)] = id;
    return reply->mid(3);
}

std::optional<QByteArray> Rig::answer(const QByteArray& id, int ms)
{
    const QByteArray prefix = id + ' ';
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        for (qsizetype i = 0; i < m_unclaimed.size(); ++i)
            if (m_unclaimed[i].startsWith(prefix))
                return m_unclaimed.takeAt(i).mid(prefix.size());
        if (clock.elapsed() > ms) {
            m_why = QStringLiteral("the rig did not answer within %1 ms").arg(ms);
            return std::nullopt;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_fd, POLLIN, 0};
        ::poll(&p, 1, 5);
        char buf[65536];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0)
            m_in.append(buf, n);
        for (qsizetype end = m_in.indexOf('\n'); end >= 0; end = m_in.indexOf('\n')) {
            m_unclaimed << m_in.left(end);
            m_in.remove(0, end + 1);
        }
    }
}

bool Rig::plug(const QByteArray& line)
{
    return request("plug " + line).has_value();
}

bool Rig::pull(const QByteArray& line)
{
    return request("pull " + line).has_value();
}

qint64 waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ::usleep(5000);
    }
    return clock.elapsed();
}

namespace
{
bool waitForPath(const QString& path, bool exists, int ms)
{
    return waitUntil([&] { return QFileInfo::exists(path) == exists; }, ms) >= 0;
}
} // namespace

bool Rig::plugAndWait(const QByteArray& line, int ms)
{
    if (!plug(line))
        return false;
    if (waitForPath(rig::devicePath(line), true, ms))
        return true;
    m_why = QStringLiteral("%1 did not appear within %2 ms").arg(rig::devicePath(line)).arg(ms);
    return false;
}

bool Rig::pullAndWait(const QByteArray& line, int ms)
{
    if (!pull(line))
        return false;
    if (waitForPath(rig::devicePath(line), false, ms))
        return true;
    m_why = QStringLiteral("%1 was still there after %2 ms").arg(rig::devicePath(line)).arg(ms);
    return false;
}

bool Rig::send(const QByteArray& line, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return true;
    return request("send " + line + ' ' + bytes.toHex()).has_value();
}

bool Rig::sendBreak(const QByteArray& line)
{
    return request("break " + line).has_value();
}

QByteArray Rig::take(const QByteArray& line, int count, int ms)
{
    const std::optional<QByteArray> hex =
        request("take " + line + ' ' + QByteArray::number(count) + ' ' + QByteArray::number(ms),
                ms + 15000);
    if (!hex)
        return "<rig: " + m_why.toLatin1() + '>';
    return QByteArray::fromHex(hex->trimmed());
}

std::optional<QByteArray> Rig::feed(const QByteArray& line, qint64 bytes, int piece, int seed)
{
    const std::optional<QByteArray> file =
        request("feed " + line + ' ' + QByteArray::number(bytes) + ' ' +
                QByteArray::number(rig::kLineBytesPerSecond) + ' ' + QByteArray::number(piece) +
                ' ' + QByteArray::number(seed));
    if (!file)
        return std::nullopt;
    QFile text(QStringLiteral("/run/rig/") + QString::fromLatin1(file->trimmed()));
    if (!text.open(QIODevice::ReadOnly)) {
        m_why = QStringLiteral("cannot read the fed text %1").arg(text.fileName());
        return std::nullopt;
    }
    return text.readAll();
}

std::optional<Rig::Fed> Rig::fed(const QByteArray& line, int ms)
{
    if (!m_feeds.contains(line)) {
        m_why = QStringLiteral("no feed was started on %1").arg(QString::fromLatin1(line));
        return std::nullopt;
    }
    const std::optional<QByteArray> done = answer(m_feeds.take(line) + "-fed", ms);
    if (!done)
        return std::nullopt;
    // "fed LINE BYTES SECONDS LATE_MS"
    const QList<QByteArray> words = done->split(' ');
    if (words.size() != 5 || words[0] != "fed" || words[2] == "error") {
        m_why = QStringLiteral("the feed on %1 ended with \"%2\"")
                    .arg(QString::fromLatin1(line), QString::fromLatin1(*done));
        return std::nullopt;
    }
    return Fed{words[2].toLongLong(), words[3].toDouble(), words[4].toDouble()};
}

DeviceSession::DeviceSession(int port, const QString& settings, FileSystem* files)
{
    serial.setCommPort(port).skip();
    serial.setSettings(settings).skip();
    Services s = w.services();
    s.serial = &serial;
    if (files)
        s.files = files;
    form = std::make_unique<Form1>(s);
}

DeviceSession::~DeviceSession() = default;

void DeviceSession::load()
{
    form->Form_Load();
}

void DeviceSession::openLog(const QString& path)
{
    w.dialogScript->push_back(path);
    form->MOpenLog->trigger();
}

int portNumberOf(SerialComm& serial, const QByteArray& line)
{
    const QString device = rig::devicePath(line);
    for (const NumberedPort& p : serial.ports())
        if (p.present && (p.info.device == device || p.info.stableName == device))
            return p.number;
    return 0;
}

} // namespace vantrel::test

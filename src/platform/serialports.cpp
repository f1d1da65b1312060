#include "serialports.h"

#include "serialcomm.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace vantrel
{

namespace
{
// udev names a new device a moment after the kernel makes it (its stable name, what it
// calls itself): until udev has recorded the device, it is not fully there. Where udev
// does not run, every device is.
bool namedByUdev(const QString& device)
{
    if (!QFileInfo::exists(QStringLiteral("/run/udev/control")))
        return true;
    struct stat st = {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return true;
    return QFileInfo::exists(
        QStringLiteral("/run/udev/data/c%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev)));
}
} // namespace

QList<PortInfo> SystemPorts::ports()
{
    QList<QSerialPortInfo> found;
    for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts()) {
        // Left for the next look, so an adapter is numbered once, under its stable name.
        if (namedByUdev(p.systemLocation()))
            found << p;
    }
    // Read after that: udev makes a device's links before it records the device.
    QHash<QString, QString> stable; // device → its by-id link
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files, QDir::Name))
        stable.insert(link.canonicalFilePath(), link.absoluteFilePath());
    QList<PortInfo> out;
    for (const QSerialPortInfo& p : found) {
        PortInfo info;
        info.device = p.systemLocation();
        info.description = p.description();
        info.manufacturer = p.manufacturer();
        info.serialNumber = p.serialNumber();
        info.stableName = stable.value(QFileInfo(info.device).canonicalFilePath());
        out << info;
    }
    return out;
}

QList<int> lineErrorEvents(const LineCounts& before, const LineCounts& now)
{
    QList<int> events;
    if (now.breaks > before.breaks)
        events << comm::ErBreak;
    if (now.framing > before.framing)
        events << comm::ErFrame;
    if (now.parity > before.parity)
        events << comm::ErRxParity;
    if (now.overrun > before.overrun)
        events << comm::ErOverrun;
    if (now.bufferOverrun > before.bufferOverrun)
        events << comm::ErRxOver;
    return events;
}

std::optional<LineCounts> DriverCounters::read(int fd)
{
    serial_icounter_struct c{};
    if (fd < 0 || ::ioctl(fd, TIOCGICOUNT, &c) != 0)
        return std::nullopt;
    LineCounts counts;
    counts.breaks = quint32(c.brk);
    counts.framing = quint32(c.frame);
    counts.parity = quint32(c.parity);
    counts.overrun = quint32(c.overrun);
    counts.bufferOverrun = quint32(c.buf_overrun);
    return counts;
}

} // namespace vantrel

#pragma once

#include "fakes.h"
#include "platform/qtserialcomm.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace vantrel
{
class Form1;
}

namespace vantrel::test
{

// The guest's devices as the rig (tests/vm/rig.py) wires them, and the names its
// requests give their lines.
namespace rig
{
constexpr char kUart[] = "uart"; // a 16550A: /dev/ttyS1, the program's port 2
constexpr int kUartPort = 2;
constexpr char kUsb1[] = "usb1"; // FTDI adapters on the guest's USB bus (ftdi_sio)
constexpr char kUsb2[] = "usb2";
// The line rate the feeds play: 115,200 baud, ten bits a character.
constexpr int kLineBytesPerSecond = 11520;
// The device path of a line: the UART's, or an adapter's stable name.
QString devicePath(const QByteArray& line);
// An adapter's serial number, as the rig gives it to QEMU.
QString serialNumber(const QByteArray& line);
} // namespace rig

// The guest's end of the rig's control port. Each request waits for its own answer
// while the event loop runs, so the program goes on meanwhile. Requests that the rig
// does not answer as asked hand back nothing (or false), and why() says why.
class Rig final
{
public:
    Rig();
    ~Rig();
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    bool ok() const { return m_fd >= 0; }
    const QString& why() const { return m_why; }

    // An adapter into the guest's USB bus, or out of it; the UART is always in.
    bool plug(const QByteArray& line);
    bool pull(const QByteArray& line);
    // Plugs or pulls and waits until udev has made or removed the stable name.
    bool plugAndWait(const QByteArray& line, int ms = 10000);
    bool pullAndWait(const QByteArray& line, int ms = 10000);
    // The first adapter plugged in and the second pulled out, for tests of one adapter.
    bool firstAdapterOnly() { return ok() && pullAndWait(rig::kUsb2) && plugAndWait(rig::kUsb1); }
    bool send(const QByteArray& line, const QByteArray& bytes);
    bool sendBreak(const QByteArray& line);
    // What the guest sent on the line since the last take, once `count` bytes are there
    // or `ms` passed; "<rig: why>" when the rig did not answer, so a comparison shows it.
    QByteArray take(const QByteArray& line, int count, int ms);

    // Starts controller text on the line, `bytes` of it paced at the line rate in
    // pieces; hands back the text.
    std::optional<QByteArray> feed(const QByteArray& line, qint64 bytes, int piece, int seed);
    struct Fed {
        qint64 bytes = 0;
        double seconds = 0; // from the first piece to the last
        double lateMs = 0;  // the latest any piece went out after it was due
    };
    // Waits for the line's feed to have sent its last piece.
    std::optional<Fed> fed(const QByteArray& line, int ms);

private:
    std::optional<QByteArray> request(const QByteArray& words, int ms = 15000);
    std::optional<QByteArray> answer(const QByteArray& id, int ms);

    int m_fd = -1;
    int m_next = 0;
    QByteArray m_in;
    QList<QByteArray> m_unclaimed;        // answers that came while another was awaited
    QMap<QByteArray, QByteArray> m_feeds; // line → its feed's request id
    QString m_why;
};

// The car screen on the real port service (the system's port list, the driver's
// counters) over one of the guest's devices, the person at the boxes and the file
// dialog scripted, the capture log on the real file system (or the one given).
struct DeviceSession {
    DeviceSession(int port, const QString& settings, FileSystem* files = nullptr);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Opens the port as the screen does when it is first shown (and sends its CR).
    void load();
    // File, Open Log File... with this path chosen.
    void openLog(const QString& path);

    FakeWorld w;
    QtSerialComm serial;
    std::unique_ptr<Form1> form;
};

// Runs the event loop until `done` holds, by the clock (a slow guest stretches a count
// of waits): the milliseconds it took, or -1 when `ms` passed first.
qint64 waitUntil(const std::function<bool()>& done, int ms);

// The driver's own break count for the device, through a descriptor of the caller's
// own; quint32(-1) when it cannot be read.
quint32 driverBreaks(const QString& device);

// What stty reads from the device: its speed ("speed 9600") and the flags that say
// parity, data bits and stop bits ("parenb", "-parodd", "-cmspar", "cs7", "-cstopb").
QStringList driverSettings(const QString& device);

// The number the program gives a line's device, looking at the machine's ports now; 0
// when it does not list it.
int portNumberOf(SerialComm& serial, const QByteArray& line);

} // namespace vantrel::test

#pragma once

#include "fakes.h"
#include "platform/portrouter.h"
#include "ptyfixture.h"

#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace vantrel
{
class Form1;
}

namespace vantrel::test
{

// Debian's ser2net on 127.0.0.1 in front of a device: telnet with COM port control on
// one port, the same in TLS (a certificate made for the test, or `otherCert`) on another,
// raw bytes on a third. Without TLS no certificates are made (an emulated machine takes
// seconds for each key).
// It can be stopped and started again on the same ports; `writeTrace()` is everything
// clients wrote to the device since it was last opened.
struct Ser2Net {
    enum class Certificate { Ours, Others, None };
    explicit Ser2Net(const QString& device, bool otherCert = false)
        : Ser2Net(device, otherCert ? Certificate::Others : Certificate::Ours)
    {
    }
    // `line`: what the server sets the device to when it opens it, before any client
    // asks for settings.
    Ser2Net(const QString& device, Certificate certificate,
            const QString& line = QStringLiteral("9600n81"));
    ~Ser2Net();
    bool start();
    void stop();
    enum Kind { Plain, Tls, Raw };
    QString address(Kind kind = Plain) const;
    QString caFile() const { return dir.filePath(QStringLiteral("ca.pem")); }
    QByteArray writeTrace() const;

    QTemporaryDir dir;
    QProcess process;
    QString device;
    quint16 plainPort = 0, tlsPort = 0, rawPort = 0;
    QString why;
};

// A free TCP port on 127.0.0.1.
quint16 freeLoopbackPort();

// The car screen on the program's own port (network and local) opening `address` as
// port 1, watching only where asked.
struct NetScreen {
    explicit NetScreen(const QString& address, bool watchOnly = false);
    ~NetScreen();
    FakeWorld w;
    PortRouter serial;
    std::unique_ptr<Form1> form;
};

} // namespace vantrel::test

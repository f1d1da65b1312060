#include "ser2netfixture.h"

#include "shell/form1.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace vantrel::test
{

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

namespace
{
// A shell script in `folder`; false with its words in `why` where it failed.
bool shell(const QString& folder, const char* script, QString* why)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    *why = QStringLiteral("certificates: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return false;
}
} // namespace

Ser2Net::Ser2Net(const QString& dev, Certificate certificate, const QString& line) : device(dev)
{
    const bool tls = certificate != Certificate::None;
    plainPort = freeLoopbackPort();
    tlsPort = tls ? freeLoopbackPort() : 0;
    rawPort = freeLoopbackPort();
    const QString d = dir.path();
    // A CA of the test's own and a server certificate for 127.0.0.1 it signed; the other
    // certificate is signed by a second CA the client is never given.
    const char* const makeCa =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=test CA' "
        "-keyout ca.key -out ca.pem 2>/dev/null && "
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=other CA' "
        "-keyout other.key -out other.pem 2>/dev/null && "
        "openssl req -newkey rsa:2048 -nodes -subj '/CN=127.0.0.1' -keyout server.key "
        "-out server.csr 2>/dev/null && echo subjectAltName=IP:127.0.0.1 > ext";
    const char* const signByCa = "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key "
                                 "-CAcreateserial -days 2 -extfile ext -out server.pem";
    const char* const signByOther = "openssl x509 -req -in server.csr -CA other.pem -CAkey "
                                    "other.key -CAcreateserial -days 2 -extfile ext -out "
                                    "server.pem";
    if (tls && shell(d, makeCa, &why))
        shell(d, certificate == Certificate::Others ? signByOther : signByCa, &why);
    QFile config(d + QStringLiteral("/ser2net.yaml"));
    if (!config.open(QIODevice::WriteOnly))
        why = config.errorString();
    const QString options = QStringLiteral("  connector: serialdev,%1,%3,local\n"
                                           "  options:\n"
                                           "    max-connections: 2\n"
                                           "    trace-write: %2/write.trace\n")
                                .arg(device, d, line);
    QString text = QStringLiteral("%YAML 1.1\n---\n"
                                  "connection: &plain\n"
                                  "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n%2"
                                  "connection: &raw\n"
                                  "  accepter: tcp,127.0.0.1,%3\n%2")
                       .arg(plainPort)
                       .arg(options)
                       .arg(rawPort);
    if (tls)
        text += QStringLiteral("connection: &tls\n"
                               "  accepter: telnet(rfc2217),ssl(key=%1/server.key,cert=%1/"
                               "server.pem),tcp,127.0.0.1,%2\n%3")
                    .arg(d)
                    .arg(tlsPort)
                    .arg(options);
    config.write(text.toUtf8());
}

Ser2Net::~Ser2Net()
{
    stop();
}

bool Ser2Net::start()
{
    if (!why.isEmpty())
        return false;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ser2net"),
                  {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"),
                   QStringLiteral("-c"), dir.filePath(QStringLiteral("ser2net.yaml")),
                   QStringLiteral("-P"), dir.filePath(QStringLiteral("pid"))});
    if (!process.waitForStarted(10000)) {
        why = QStringLiteral("ser2net: ") + process.errorString();
        return false;
    }
    // Ready once it accepts a connection (the probe leaves again at once).
    for (int attempt = 0; attempt < 200; ++attempt) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, plainPort);
        if (probe.waitForConnected(100))
            return true;
        if (process.state() == QProcess::NotRunning)
            break;
        QTest::qWait(50);
    }
    why = QStringLiteral("ser2net did not listen: ") + QString::fromLocal8Bit(process.readAll());
    return false;
}

void Ser2Net::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(5000);
}

QString Ser2Net::address(Kind kind) const
{
    switch (kind) {
    case Tls:
        return QStringLiteral("rfc2217://127.0.0.1:%1?tls&ca=%2").arg(tlsPort).arg(caFile());
    case Raw:
        return QStringLiteral("socket://127.0.0.1:%1").arg(rawPort);
    default:
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(plainPort);
    }
}

QByteArray Ser2Net::writeTrace() const
{
    QFile f(dir.filePath(QStringLiteral("write.trace")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

NetScreen::NetScreen(const QString& address, bool watchOnly)
{
    qputenv("VANTREL_COM1", address.toUtf8());
    serial.setWatchOnly(watchOnly).skip();
    Services s = w.services();
    s.serial = &serial;
    form = std::make_unique<Form1>(s);
    form->Form_Load();
}

NetScreen::~NetScreen()
{
    form.reset();
    serial.release();
}

} // namespace vantrel::test

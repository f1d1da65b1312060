#include "netserialcomm.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSettings>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace vantrel
{

namespace
{
QString fingerprint(const QSslCertificate& c)
{
    return QString::fromLatin1(c.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString trustKey(const NetAddress& a)
{
    return QStringLiteral("trustedServers/") +
           a.place().replace(QLatin1Char(':'), QLatin1Char('_'));
}

// A raw socket has no question to ask a silent server: the system's keep-alive probes
// find a dead link within about eight seconds.
void keepAliveProbes(qintptr fd)
{
    const int on = 1, idle = 3, interval = 1, count = 5;
    setsockopt(int(fd), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}
} // namespace

NetSerialComm::NetSerialComm(QObject* parent) : SerialComm(parent)
{
    m_socket.setReadBufferSize(kReadAheadBytes);
    connect(&m_socket, &QSslSocket::readyRead, this, &NetSerialComm::onReadyRead);
    connect(&m_socket, &QSslSocket::disconnected, this, &NetSerialComm::lose);
    connect(&m_socket, &QSslSocket::errorOccurred, this, [this] {
        if (!m_opening)
            lose();
    });
    m_keepAlive.setInterval(kKeepAliveTickMs);
    connect(&m_keepAlive, &QTimer::timeout, this, &NetSerialComm::keepAlive);
    m_reconnect.setInterval(kReconnectMs);
    connect(&m_reconnect, &QTimer::timeout, this, &NetSerialComm::tryReconnect);
}

NetSerialComm::~NetSerialComm()
{
    release();
}

void NetSerialComm::release()
{
    m_reconnect.stop();
    dropLink();
}

QString NetSerialComm::fail(const QString& why) const
{
    return QStringLiteral("Cannot open %1: %2").arg(m_address.place(), why);
}

Result<> NetSerialComm::setCommPort(int port)
{
    if (m_open)
        return Failure(QStringLiteral("Port already open"));
    m_reconnect.stop();
    m_number = port;
    return done();
}

Result<> NetSerialComm::setWatchOnly(bool on)
{
    if (m_open)
        return Failure(QStringLiteral("Close the port to change watching only"));
    m_watchOnly = on;
    return done();
}

Result<> NetSerialComm::setPortOpen(bool open)
{
    const bool waiting = m_reconnect.isActive();
    m_reconnect.stop(); // the user decides from now on
    if (!open) {
        dropLink();
        m_rx.clear();
        return done();
    }
    if (m_open)
        return Failure(QStringLiteral("Port already open"));
    const Result<> opened = this->open();
    if (!opened && waiting)
        m_reconnect.start();
    return opened;
}

void NetSerialComm::connectSocket()
{
    m_socket.abort();
    m_codec = TelnetCodec();
    if (!m_address.tls) {
        m_socket.connectToHost(m_address.host, m_address.port);
        return;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!m_address.ca.isEmpty())
        tls.setCaCertificates(QSslCertificate::fromPath(m_address.ca));
    if (!m_address.cert.isEmpty()) {
        const auto certs = QSslCertificate::fromPath(m_address.cert);
        if (!certs.isEmpty())
            tls.setLocalCertificate(certs.first());
        QFile keyFile(m_address.key);
        if (keyFile.open(QIODevice::ReadOnly))
            tls.setPrivateKey(QSslKey(&keyFile, QSsl::Rsa));
        if (tls.privateKey().isNull() && keyFile.open(QIODevice::ReadOnly))
            tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
    }
    // Without a CA the handshake goes on and the fingerprint decides afterwards; with
    // one, the system's verdict stands and names itself.
    tls.setPeerVerifyMode(m_address.ca.isEmpty() ? QSslSocket::QueryPeer : QSslSocket::VerifyPeer);
    m_socket.setSslConfiguration(tls);
    m_socket.setPeerVerifyName(m_address.host);
    m_socket.connectToHostEncrypted(m_address.host, m_address.port);
}

Result<> NetSerialComm::open()
{
    const Result<NetAddress> parsed = parseNetAddress(m_text);
    if (!parsed)
        return Failure(parsed.why());
    m_address = *parsed;
    for (const QString& file : {m_address.ca, m_address.cert, m_address.key}) {
        QFile f(file);
        if (!file.isEmpty() && !f.open(QIODevice::ReadOnly))
            return Failure(fail(QStringLiteral("%1: %2").arg(file, f.errorString())));
    }
    m_opening = true;
    connectSocket();
    const bool up = m_address.tls ? m_socket.waitForEncrypted(kConnectMs)
                                  : m_socket.waitForConnected(kConnectMs);
    Result<> r = up ? linkUp() : Failure(fail(m_socket.errorString()));
    m_opening = false;
    if (!r)
        dropLink();
    return r;
}

Result<> NetSerialComm::checkTrust()
{
    m_trustRefused = false;
    if (!m_address.tls || !m_address.ca.isEmpty())
        return done();
    const QString seen = fingerprint(m_socket.peerCertificate());
    const QString key = trustKey(m_address);
    const QString known = QSettings().value(key).toString();
    if (known == seen)
        return done();
    m_trustRefused = true;
    if (!known.isEmpty())
        return Failure(fail(QStringLiteral("its certificate has changed (SHA-256 %1, trusted was "
                                           "%2); not connected")
                                .arg(seen, known)));
    if (!m_ask || !m_ask(m_address.place(), seen))
        return Failure(
            fail(QStringLiteral("its certificate (SHA-256 %1) is not trusted").arg(seen)));
    QSettings().setValue(key, seen);
    m_trustRefused = false;
    return done();
}

// The link is there: the server is checked, the negotiation starts and the settings
// follow (watching, nothing that changes the line is sent).
Result<> NetSerialComm::linkUp()
{
    if (const Result<> trusted = checkTrust(); !trusted)
        return trusted;
    if (m_address.kind == NetAddress::Kind::Raw)
        keepAliveProbes(m_socket.socketDescriptor());
    m_open = true;
    m_asked = false;
    m_heard.start();
    m_holdFullReported = false;
    if (m_address.kind == NetAddress::Kind::ComPort) {
        send(TelnetCodec::greeting());
        if (!m_watchOnly) {
            send(TelnetCodec::notifyMasks() + m_codec.setSettings(m_settings));
            // The server answers each setting with the one in force; a refusal is
            // said now, where the settings were asked for.
            QElapsedTimer waited;
            waited.start();
            while (m_codec.answersPending() && waited.elapsed() < kAnswerMs &&
                   m_socket.waitForReadyRead(int(kAnswerMs - waited.elapsed())))
                ;
            if (const QStringList refused = m_codec.takeRefusals(); !refused.isEmpty()) {
                m_open = false;
                return Failure(fail(refused.join(QStringLiteral("; "))));
            }
            if (m_socket.state() != QAbstractSocket::ConnectedState) {
                m_open = false;
                return Failure(fail(m_socket.errorString()));
            }
        }
    }
    m_keepAlive.start();
    if (!m_rx.isEmpty())
        scheduleDelivery();
    return done();
}

void NetSerialComm::dropLink()
{
    m_open = false;
    m_keepAlive.stop();
    m_socket.abort();
}

// A connection closed, reset or silent past the keep-alive limit: like an adapter
// pulled. What arrived stays in the holding queue for the screen.
void NetSerialComm::lose()
{
    if (!m_open || m_opening) // an open in progress says itself what went wrong
        return;
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
    dropLink();
    m_reconnect.start();
    Q_EMIT deviceLost(m_text, m_address.place());
}

void NetSerialComm::tryReconnect()
{
    if (m_open)
        return;
    if (m_socket.state() == QAbstractSocket::UnconnectedState) {
        connectSocket();
        return;
    }
    const bool up = m_address.tls ? m_socket.isEncrypted()
                                  : m_socket.state() == QAbstractSocket::ConnectedState;
    if (!up)
        return;
    m_opening = true;
    const Result<> r = linkUp();
    m_opening = false;
    if (!r) {
        m_socket.abort();
        // A server that shows another certificate now is not tried again behind the
        // technician's back: opening by hand says why.
        if (m_trustRefused)
            m_reconnect.stop();
        return;
    }
    m_reconnect.stop();
    Q_EMIT deviceBack(m_text, m_address.place());
}

void NetSerialComm::keepAlive()
{
    if (!m_open)
        return;
    if (m_address.kind == NetAddress::Kind::Raw)
        return; // the system's probes watch a raw link
    if (m_heard.elapsed() >= kDeadMs) {
        lose();
        return;
    }
    if (m_heard.elapsed() >= kIdleMs && !m_asked) {
        m_asked = true;
        send(TelnetCodec::signatureRequest());
    }
}

void NetSerialComm::send(const QByteArray& bytes)
{
    m_socket.write(bytes);
}

Result<> NetSerialComm::output(const QString& text)
{
    if (!m_open)
        return Failure(QStringLiteral("Operation valid only when the port is open"));
    if (m_watchOnly)
        return Failure(
            QStringLiteral("Watching only: nothing is sent to %1").arg(m_address.place()));
    const QByteArray bytes = text.toLatin1();
    send(m_address.kind == NetAddress::Kind::ComPort ? TelnetCodec::escape(bytes) : bytes);
    return done();
}

Result<> NetSerialComm::setBreak(bool on)
{
    if (!m_open)
        return Failure(QStringLiteral("Operation valid only when the port is open"));
    if (m_watchOnly)
        return Failure(
            QStringLiteral("Watching only: no break is sent to %1").arg(m_address.place()));
    if (m_address.kind != NetAddress::Kind::ComPort)
        return Failure(QStringLiteral("%1 carries bytes only: no break").arg(m_address.place()));
    send(TelnetCodec::breakCommand(on));
    return done();
}

Result<> NetSerialComm::setSettings(const QString& settings)
{
    const Result<LineSettings> parsed = parseLineSettings(settings);
    if (!parsed)
        return Failure(parsed.why());
    m_settings = *parsed;
    if (m_open && !m_watchOnly && m_address.kind == NetAddress::Kind::ComPort)
        send(m_codec.setSettings(m_settings));
    return done();
}

int NetSerialComm::outBufferCount() const
{
    return int(qMin<qint64>(m_socket.bytesToWrite() + m_socket.encryptedBytesToWrite(), 32767));
}

void NetSerialComm::raise(int event)
{
    m_event = event;
    Q_EMIT OnComm();
}

void NetSerialComm::onReadyRead()
{
    // The holding queue is full while a box is open: the socket stops reading, and the
    // server waits.
    if (m_rx.size() >= kHoldBytes) {
        if (!m_holdFullReported) {
            m_holdFullReported = true;
            raise(comm::ErRxOver);
        }
        return;
    }
    m_heard.start();
    m_asked = false;
    const bool raw = m_address.kind == NetAddress::Kind::Raw;
    const QByteArray bytes = m_socket.read(kHoldBytes - m_rx.size());
    if (raw) {
        m_rx += bytes;
    } else {
        m_codec.feed(bytes);
        m_rx += m_codec.takeData();
        if (const QByteArray replies = m_codec.takeReplies(); !replies.isEmpty())
            send(replies);
        for (int e : m_codec.takeEvents())
            raise(e);
    }
    // Handed over from the event loop, not from inside the socket's notification: the
    // socket raises no second one while a handler of the first runs (a box), and the
    // queue is to go on filling meanwhile.
    scheduleDelivery();
}

void NetSerialComm::scheduleDelivery()
{
    if (m_deliveryQueued)
        return;
    m_deliveryQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_deliveryQueued = false;
        deliverReceived();
    });
}

// The one place received bytes are handed to the screen: a notification per batch, none
// nested in a handler that is still running (it shows a box); the queue holds them.
void NetSerialComm::deliverReceived()
{
    if (m_inReceive || m_rx.isEmpty())
        return;
    m_inReceive = true;
    const QByteArray piece = m_rx.left(kMaxRead);
    m_rx.remove(0, piece.size());
    if (m_rx.size() < kHoldBytes / 2)
        m_holdFullReported = false;
    m_event = comm::EvReceive;
    Q_EMIT received(piece);
    m_inReceive = false;
    if (!m_rx.isEmpty())
        scheduleDelivery();
    if (m_socket.bytesAvailable() > 0 && m_rx.size() < kHoldBytes)
        QTimer::singleShot(0, this, &NetSerialComm::onReadyRead);
}

} // namespace vantrel

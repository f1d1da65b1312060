#pragma once

#include "core/linesettings.h"
#include "core/netaddress.h"
#include "core/telnetcodec.h"
#include "serialcomm.h"

#include <QElapsedTimer>
#include <QSslSocket>
#include <QTimer>

#include <functional>

namespace vantrel
{

// A serial line on the network: rfc2217:// (telnet with COM port control, so settings,
// break and the line's errors travel too) or socket:// (bytes alone), plain or in TLS.
// It behaves as a local port: received bytes wait in a holding queue while a handler
// shows a box, a lost connection is reported and reopened when the host answers again,
// and a port closed by hand stays closed. Watch only, it writes nothing to the line.
class NetSerialComm final : public SerialComm
{
    Q_OBJECT
public:
    static constexpr int kMaxRead = 2048;
    static constexpr qint64 kHoldBytes = 16 * 1024 * 1024;
    // The socket reads this far ahead; beyond it the server waits (TCP's own flow).
    static constexpr qint64 kReadAheadBytes = 64 * 1024;
    static constexpr int kConnectMs = 5000;
    static constexpr int kAnswerMs = 2000;
    static constexpr int kReconnectMs = 500;
    // Silence after which the server is asked for its signature, and after which the
    // link counts as dead.
    static constexpr int kIdleMs = 3000;
    static constexpr int kDeadMs = 8000;
    static constexpr int kKeepAliveTickMs = 500;

    // Asked once for a server whose certificate no CA vouches for: its place and
    // SHA-256 fingerprint; true trusts it from now on.
    using TrustQuestion = std::function<bool(const QString& place, const QString& fingerprint)>;

    explicit NetSerialComm(QObject* parent = nullptr);
    ~NetSerialComm() override;

    void setAddress(const QString& address) { m_text = address; }
    void setTrustQuestion(TrustQuestion ask) { m_ask = std::move(ask); }

    bool portOpen() const override { return m_open; }
    Result<> setPortOpen(bool open) override;
    Result<> output(const QString& text) override;
    int commEvent() const override { return m_event; }
    int outBufferCount() const override;
    int commPort() const override { return m_number; }
    Result<> setCommPort(int port) override;
    QString settings() const override { return m_settings.toString(); }
    Result<> setSettings(const QString& settings) override;
    QString deviceName() const override { return m_text; }
    QList<NumberedPort> ports() override { return {}; }
    void release() override;
    bool watchOnly() const override { return m_watchOnly; }
    Result<> setWatchOnly(bool on) override;

    // Holds the line in break (on) or lets it go.
    Result<> setBreak(bool on);
    qint64 held() const { return m_rx.size(); }

private:
    Result<> open();
    Result<> linkUp();
    void connectSocket();
    void dropLink();
    void lose();
    void raise(int event);
    void onReadyRead();
    void deliverReceived();
    void scheduleDelivery();
    void keepAlive();
    void tryReconnect();
    Result<> checkTrust();
    void send(const QByteArray& bytes);
    QString fail(const QString& why) const;

    QSslSocket m_socket;
    TelnetCodec m_codec;
    NetAddress m_address;
    QString m_text;
    QTimer m_keepAlive;
    QTimer m_reconnect;
    QElapsedTimer m_heard;
    TrustQuestion m_ask;
    QByteArray m_rx; // the holding queue
    LineSettings m_settings;
    int m_number = 1;
    int m_event = 0;
    bool m_open = false;
    bool m_watchOnly = false;
    bool m_asked = false; // the keep-alive's question is out
    bool m_opening = false;
    bool m_inReceive = false;
    bool m_deliveryQueued = false;
    bool m_holdFullReported = false;
    bool m_trustRefused = false; // the last check of the server's certificate failed
};

} // namespace vantrel

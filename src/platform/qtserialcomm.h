#pragma once

#include "core/linesettings.h"
#include "core/portmap.h"
#include "serialcomm.h"
#include "serialports.h"

#include <QSerialPort>
#include <QTimer>

#include <memory>

namespace vantrel
{

// The serial port service over QSerialPort.
class QtSerialComm final : public SerialComm
{
    Q_OBJECT
public:
    // The most bytes one receive notification hands over: every bare CR may gain
    // an LF, so one piece never exceeds the terminal's cut of 4096 characters.
    static constexpr int kMaxRead = 2048;
    // Read ahead of the screen in the normal run; a flood waits in the device.
    static constexpr qint64 kReadAheadBytes = 64 * 1024;
    // Held while a receive handler waits in a message box: about 24 minutes of a
    // line at 115,200 baud, so a box left open loses nothing.
    static constexpr qint64 kHoldBytes = 16 * 1024 * 1024;
    static constexpr int kWatchMs = 100;
    static constexpr int kReconnectMs = 500;
    static constexpr int kHoldWatchMs = 50;

    // The enumeration and the line counters come from the system unless given.
    explicit QtSerialComm(QObject* parent = nullptr,
                          std::unique_ptr<PortEnumerator> enumerator = nullptr,
                          std::unique_ptr<LineCounterSource> counters = nullptr);
    ~QtSerialComm() override;

    bool portOpen() const override { return m_port.isOpen(); }
    Result<> setPortOpen(bool open) override;
    Result<> output(const QString& text) override;
    int commEvent() const override { return m_event; }
    int outBufferCount() const override;
    int commPort() const override { return m_portNumber; }
    Result<> setCommPort(int port) override;
    QString settings() const override { return m_settings.toString(); }
    Result<> setSettings(const QString& settings) override;
    QString deviceName() const override;
    QList<NumberedPort> ports() override;
    void release() override;

    // Network addresses with the numbers they were given (overridden by VANTREL_COM<N>).
    void setNetworkPorts(std::map<int, QString> addresses) { m_network = std::move(addresses); }

    // Bytes read from the device that no receive notification has handed over yet.
    qint64 held() const { return m_port.bytesAvailable(); }

private:
    Result<> open();
    void close();
    void raise(int event);
    void deliverReceived();
    void onReadyRead();
    void scheduleDelivery();
    void watchHold();
    void onError(QSerialPort::SerialPortError error);
    void watchLine();
    void tryReconnect();
    Result<> applySettings(const LineSettings& s);
    PortMap& map() const;

    QSerialPort m_port;
    QTimer m_watch;     // modem lines and error counts, where the device has them
    QTimer m_reconnect; // a lost device, until it is back
    QTimer m_holdWatch; // how full the holding queue is, while a handler is held
    std::unique_ptr<PortEnumerator> m_enumerator;
    std::unique_ptr<LineCounterSource> m_counters;
    mutable PortMap m_map;
    std::map<int, QString> m_network;
    int m_portNumber = 1;
    LineSettings m_settings;
    int m_event = 0;
    bool m_deliveryQueued = false;
    bool m_inReceive = false;
    bool m_holdFullReported = false;
    bool m_watchPins = false;
    std::optional<LineCounts> m_counts;
    QSerialPort::PinoutSignals m_lastPins;
    QString m_lostDevice;
    QString m_shortName; // of the device opened last
};

} // namespace vantrel

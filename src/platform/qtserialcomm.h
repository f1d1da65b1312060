#pragma once

#include "linesettings.h"
#include "serialcomm.h"

#include <QSerialPort>
#include <QTimer>

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

    explicit QtSerialComm(QObject* parent = nullptr);
    ~QtSerialComm() override;

    bool portOpen() const override { return m_port.isOpen(); }
    QString setPortOpen(bool open) override;
    QString output(const QString& text) override;
    QString input() override;
    int commEvent() const override { return m_event; }
    int outBufferCount() const override;
    int commPort() const override { return m_portNumber; }
    QString setCommPort(int port) override;
    QString settings() const override { return m_settings.toString(); }
    QString setSettings(const QString& settings) override;
    QString deviceName() const override { return deviceForPort(m_portNumber); }
    void release() override;

private:
    void raise(int event);
    void deliverReceived();
    void scheduleDelivery();
    void onError(QSerialPort::SerialPortError error);
    void pollLines();
    QString applySettings(const LineSettings& s);

    QSerialPort m_port;
    QTimer m_linePoll;
    int m_portNumber = 1;
    LineSettings m_settings;
    int m_event = 0;
    bool m_deliveryQueued = false;
    bool m_inReceive = false;
    QSerialPort::PinoutSignals m_lastPins;
};

} // namespace vantrel

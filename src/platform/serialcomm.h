#pragma once

#include "core/commevents.h"
#include "core/portmap.h"
#include "core/result.h"
#include "core/sentlog.h"

#include <QList>
#include <QObject>
#include <QString>

namespace vantrel
{

// The serial port service: one port with the properties the car diagnostics screen
// uses. Characters and bytes map one to one (Latin-1). What can fail says why.
class SerialComm : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialComm() override = default;

    virtual bool portOpen() const = 0;
    virtual Result<> setPortOpen(bool open) = 0;
    virtual Result<> output(const QString& text) = 0;
    // Everything waiting in the receive buffer, at most one read's worth.
    virtual QString input() = 0;
    virtual int commEvent() const = 0;
    virtual int outBufferCount() const = 0;
    virtual int commPort() const = 0;
    virtual Result<> setCommPort(int port) = 0;
    virtual QString settings() const = 0;
    virtual Result<> setSettings(const QString& settings) = 0;
    // The device path the current port number names.
    virtual QString deviceName() const = 0;
    // The machine's serial ports with their numbers, looked at afresh.
    virtual QList<NumberedPort> ports() = 0;
    // Frees the operating-system resources at once (used when the program ends).
    virtual void release() = 0;

    // Where what goes out is recorded while a capture log is open; none otherwise.
    void setSentRecorder(SentRecorder* recorder) { m_sent = recorder; }
    SentRecorder* sentRecorder() const { return m_sent; }

Q_SIGNALS:
    // One per event; CommEvent tells which.
    void OnComm();
    // The device went away while open; the port is closed already, and the service
    // watches for the device to come back. Its path, and a short name for it.
    void deviceLost(const QString& device, const QString& shortName);
    // A lost device came back and was opened again with the settings in force.
    void deviceBack(const QString& device, const QString& shortName);

private:
    SentRecorder* m_sent = nullptr;
};

} // namespace vantrel

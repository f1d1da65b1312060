#pragma once

#include "core/commevents.h"
#include "core/portmap.h"
#include "core/result.h"
#include "core/sentlog.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

namespace vantrel
{

// The serial port service: one port with the properties the car diagnostics screen
// uses. Characters and bytes map one to one (Latin-1). What can fail says why.
// Received bytes come with their notification, received(); OnComm tells the other events.
class SerialComm : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialComm() override = default;

    virtual bool portOpen() const = 0;
    virtual Result<> setPortOpen(bool open) = 0;
    virtual Result<> output(const QString& text) = 0;
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
    // Watching only, the port writes not a byte: sending, break and settings that
    // would change the line are refused or kept back.
    virtual bool watchOnly() const { return false; }
    virtual Result<> setWatchOnly(bool on)
    {
        return on ? Failure(QStringLiteral("This port cannot watch only")) : done();
    }
    // Gives a network address (rfc2217://host:port, socket://host:port) a port number,
    // the one it already has where it was given before.
    virtual Result<int> addAddress(const QString& address)
    {
        return Failure(QStringLiteral("No network ports here: %1").arg(address));
    }

    // Where what goes out is recorded while a capture log is open; none otherwise.
    void setSentRecorder(SentRecorder* recorder) { m_sent = recorder; }
    SentRecorder* sentRecorder() const { return m_sent; }

Q_SIGNALS:
    // One per event other than received bytes; CommEvent tells which.
    void OnComm();
    // Bytes came in: everything that waited, at most one read's worth. CommEvent says
    // EvReceive meanwhile.
    void received(const QByteArray& bytes);
    // The device went away while open; the port is closed already, and the service
    // watches for the device to come back. Its path, and a short name for it.
    void deviceLost(const QString& device, const QString& shortName);
    // A lost device came back and was opened again with the settings in force.
    void deviceBack(const QString& device, const QString& shortName);

private:
    SentRecorder* m_sent = nullptr;
};

} // namespace vantrel

#pragma once

#include "core/portmap.h"
#include "core/result.h"

#include <QList>
#include <QObject>
#include <QString>

namespace vantrel
{

// Event codes reported in CommEvent.
namespace comm
{
constexpr int EvSend = 1;
constexpr int EvReceive = 2;
constexpr int EvCTS = 3;
constexpr int EvDSR = 4;
constexpr int EvCD = 5;
constexpr int EvRing = 6;
constexpr int EvEOF = 7;
constexpr int ErBreak = 1001;
constexpr int ErCTSTO = 1002;
constexpr int ErDSRTO = 1003;
constexpr int ErFrame = 1004;
constexpr int ErOverrun = 1006;
constexpr int ErCDTO = 1007;
constexpr int ErRxOver = 1008;
constexpr int ErRxParity = 1009;
constexpr int ErTxFull = 1010;
} // namespace comm

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

Q_SIGNALS:
    // One per event; CommEvent tells which.
    void OnComm();
    // The device went away while open; the port is closed already, and the service
    // watches for the device to come back.
    void deviceLost(const QString& device);
    // A lost device came back and was opened again with the settings in force.
    void deviceBack(const QString& device);
};

} // namespace vantrel

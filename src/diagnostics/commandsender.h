#pragma once

#include "core/carmodel.h"
#include "platform/serialcomm.h"

#include <QString>

namespace vantrel
{

// The command sender: a controller command is its text and one CR, in a single write;
// while the port is closed it is dropped. What the port made of it: callers that report
// nothing (ticks and buttons) skip a failure.
inline Result<> sendCommand(SerialComm& port, const QString& command)
{
    if (!port.portOpen())
        return Failure(QStringLiteral("The port is closed"));
    return port.output(command + QLatin1Char('\r'));
}

// The car model's commands go to the port through the command sender.
class PortCommands final : public CommandSink
{
public:
    explicit PortCommands(SerialComm& port) : m_port(port) {}
    bool portOpen() const override { return m_port.portOpen(); }
    void send(const QString& command) override { sendCommand(m_port, command).skip(); }

private:
    SerialComm& m_port;
};

} // namespace vantrel

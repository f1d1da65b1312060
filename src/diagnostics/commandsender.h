#pragma once

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

} // namespace vantrel

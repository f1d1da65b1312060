#pragma once

#include "platform/serialcomm.h"

#include <QString>

namespace vantrel
{

// The command sender: a controller command is its text and one CR, in a single write;
// while the port is closed it is dropped without a word. Whether it was written.
inline bool sendCommand(SerialComm& port, const QString& command)
{
    if (!port.portOpen())
        return false;
    return port.output(command + QLatin1Char('\r')).ok();
}

} // namespace vantrel

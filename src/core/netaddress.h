#pragma once

#include "result.h"

#include <QString>

namespace vantrel
{

// A serial line on the network, written the way serial libraries write it:
// rfc2217://host:port (telnet with COM port control) or socket://host:port (the bytes
// alone), with options after '?': tls, ca=FILE, cert=FILE and key=FILE, joined by '&'.
struct NetAddress {
    enum class Kind { ComPort, Raw };
    Kind kind = Kind::ComPort;
    QString host;
    quint16 port = 0;
    bool tls = false;
    QString ca, cert, key; // files; empty when not given

    // host:port, as the status line and the port list name it.
    QString place() const;
};

// True where the text names a network port rather than a device.
bool isNetAddress(const QString& text);
// A failure quotes the text and says which part could not be used.
Result<NetAddress> parseNetAddress(const QString& text);

} // namespace vantrel

#pragma once

#include "core/portmap.h"

#include <QList>

#include <optional>

namespace vantrel
{

// What the machine shows of its serial ports; tests give their own.
class PortEnumerator
{
public:
    virtual ~PortEnumerator() = default;
    virtual QList<PortInfo> ports() = 0;
};

// The ports the system lists, each with its /dev/serial/by-id name where udev made one.
class SystemPorts final : public PortEnumerator
{
public:
    QList<PortInfo> ports() override;
};

// A line's error counts since the driver started counting.
struct LineCounts {
    quint32 breaks = 0;
    quint32 framing = 0;
    quint32 parity = 0;
    quint32 overrun = 0;       // the UART lost a character
    quint32 bufferOverrun = 0; // the driver's buffer was full
};

// The notification codes for what rose between two readings, one per count that rose:
// break, framing, parity, hardware overrun, buffer overrun.
QList<int> lineErrorEvents(const LineCounts& before, const LineCounts& now);

// Reads a line's error counts; none where the device keeps no counts (a
// pseudo-terminal). Tests give their own.
class LineCounterSource
{
public:
    virtual ~LineCounterSource() = default;
    virtual std::optional<LineCounts> read(int fd) = 0;
};

// The driver's own counts (TIOCGICOUNT): real UARTs and most USB serial adapters.
class DriverCounters final : public LineCounterSource
{
public:
    std::optional<LineCounts> read(int fd) override;
};

} // namespace vantrel

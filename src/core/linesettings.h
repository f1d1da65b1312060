#pragma once

#include "result.h"

#include <QString>

namespace vantrel
{

// The line settings of a serial port, as the settings string "baud,parity,data,stop".
struct LineSettings {
    int baud = 9600;
    char parity = 'n'; // n, e, o, m, s
    int dataBits = 8;  // 5..8
    int stopBits = 10; // tenths: 10, 15 or 20

    QString toString() const;
    bool operator==(const LineSettings& o) const
    {
        return baud == o.baud && parity == o.parity && dataBits == o.dataBits &&
               stopBits == o.stopBits;
    }
};

// Parses a settings string such as "9600,n,8,1"; a failure names the part that could
// not be used.
Result<LineSettings> parseLineSettings(const QString& text);

// Parses a port number written as decimal text; 1..255.
Result<int> parsePortNumber(const QString& text);

} // namespace vantrel

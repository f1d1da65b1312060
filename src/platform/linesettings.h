#pragma once

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

// Parses a settings string such as "9600,n,8,1". On failure returns false and sets
// *error to a description that names the part that could not be used.
bool parseLineSettings(const QString& text, LineSettings* out, QString* error);

// Parses a port number written as decimal text; 1..255.
bool parsePortNumber(const QString& text, int* out, QString* error);

} // namespace vantrel

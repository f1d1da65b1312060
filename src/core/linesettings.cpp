#include "linesettings.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace vantrel
{

namespace
{
// The toolkit's number reading stops at a NUL character: a field holding one (as
// "8\0junk") would pass for its first part.
int toNumber(const QString& text, bool* ok)
{
    if (text.contains(QChar(0))) {
        *ok = false;
        return 0;
    }
    return text.toInt(ok);
}

constexpr std::array<int, 19> kBaudRates{110,    300,    600,    1200,   2400,  4800,  9600,
                                         14400,  19200,  28800,  38400,  56000, 57600, 115200,
                                         128000, 230400, 256000, 460800, 921600};
} // namespace

QString LineSettings::toString() const
{
    QString stop = stopBits == 15 ? QStringLiteral("1.5") : QString::number(stopBits / 10);
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(QChar::fromLatin1(parity))
        .arg(dataBits)
        .arg(stop);
}

Result<LineSettings> parseLineSettings(const QString& text)
{
    const auto fail = [&](const QString& why) {
        return Failure(QStringLiteral("Invalid port settings \"%1\": %2").arg(text, why));
    };
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return fail(QStringLiteral("expected baud,parity,data,stop, for example 9600,n,8,1"));

    LineSettings s;
    bool ok = false;
    const QString baudText = parts[0].trimmed();
    s.baud = toNumber(baudText, &ok);
    if (!ok || std::find(kBaudRates.begin(), kBaudRates.end(), s.baud) == kBaudRates.end())
        return fail(QStringLiteral("\"%1\" is not a supported baud rate").arg(baudText));

    const QString parity = parts[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity[0]))
        return fail(QStringLiteral("parity \"%1\" is not one of n, e, o, m, s").arg(parts[1]));
    s.parity = parity[0].toLatin1();

    const QString dataText = parts[2].trimmed();
    s.dataBits = toNumber(dataText, &ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return fail(QStringLiteral("data bits \"%1\" must be 5, 6, 7 or 8").arg(dataText));

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = 10;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = 15;
    else if (stop == QLatin1String("2"))
        s.stopBits = 20;
    else
        return fail(QStringLiteral("stop bits \"%1\" must be 1, 1.5 or 2").arg(stop));
    return s;
}

Result<int> parsePortNumber(const QString& text)
{
    bool ok = false;
    const int n = toNumber(text.trimmed(), &ok);
    if (!ok)
        return Failure(QStringLiteral("Invalid port number \"%1\": not a number").arg(text));
    if (n < 1 || n > 255)
        return Failure(QStringLiteral("Invalid port number %1: must be 1 to 255").arg(n));
    return n;
}

} // namespace vantrel

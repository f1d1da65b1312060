#include "statusscan.h"

namespace vantrel
{

std::optional<QString> valueAfter(QStringView text, QLatin1String marker, int length)
{
    const qsizetype m = text.indexOf(marker);
    if (m < 0)
        return std::nullopt;
    const qsizetype from = m + marker::kValueOffset;
    if (from >= text.size())
        return QString();
    return text.mid(from, length).toString();
}

StatusScan scanStatus(QStringView text)
{
    StatusScan s;
    s.pmi = text.contains(marker::Pmi);
    if (!s.pmi)
        return s;
    s.speed = valueAfter(text, marker::Speed, marker::kSpeedLength);
    s.bbt = valueAfter(text, marker::Bbt, marker::kBbtLength);
    s.fault = valueAfter(text, marker::Fault, marker::kFaultLength);
    return s;
}

} // namespace vantrel

#include "statusscan.h"

namespace vantrel
{

namespace
{
std::optional<QString> valueAt(QStringView text, qsizetype m, int length)
{
    if (m < 0)
        return std::nullopt;
    const qsizetype from = m + marker::kValueOffset;
    if (from >= text.size())
        return QString();
    return text.mid(from, length).toString();
}
} // namespace

std::optional<QString> valueAfter(QStringView text, QLatin1String marker, int length)
{
    return valueAt(text, text.indexOf(marker), length);
}

StatusScan scanStatus(QStringView text)
{
    StatusScan s;
    s.firstMarker = text.size();
    const qsizetype pmi = text.indexOf(marker::Pmi);
    s.pmi = pmi >= 0;
    if (!s.pmi)
        return s; // nothing else is looked for, so nothing before the end matters
    s.firstMarker = pmi;
    const auto find = [&](QLatin1String m, int length) {
        const qsizetype at = text.indexOf(m);
        if (at >= 0)
            s.firstMarker = qMin(s.firstMarker, at);
        return valueAt(text, at, length);
    };
    s.speed = find(marker::Speed, marker::kSpeedLength);
    s.bbt = find(marker::Bbt, marker::kBbtLength);
    s.fault = find(marker::Fault, marker::kFaultLength);
    return s;
}

FaultKind faultKind(QByteArrayView text)
{
    if (text.startsWith("ARRIVED AT "))
        return FaultKind::Arrival;
    return text.trimmed() == "NO FAULT" ? FaultKind::Clear : FaultKind::Fault;
}

} // namespace vantrel

#pragma once

#include <QByteArrayView>
#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <optional>

namespace vantrel
{

// The plain-text values the controller reports: each marker is matched exactly at its
// first (oldest) occurrence, and its value starts 8 characters after the marker's
// first character, so a value near the end of the text comes out shorter or empty.
namespace marker
{
inline constexpr QLatin1String Pmi("> PMII");
inline constexpr QLatin1String Speed("VEL =   ");
inline constexpr QLatin1String Bbt("BBT");
inline constexpr QLatin1String Fault("FLT0");
constexpr int kValueOffset = 8;
constexpr int kSpeedLength = 3;
constexpr int kBbtLength = 5;
constexpr int kFaultLength = 76;
} // namespace marker

// The value after a marker; none when the marker is not in the text.
std::optional<QString> valueAfter(QStringView text, QLatin1String marker, int length);

// What a fault report's text tells: all clear ("NO FAULT"), an arrival ("ARRIVED AT
// <landing>"), or a fault; the one reading for the summary, the timeline and the index.
enum class FaultKind { Clear, Arrival, Fault };
FaultKind faultKind(QByteArrayView text);

// What one look at the parse buffer finds: nothing at all unless "> PMII" is there.
struct StatusScan {
    bool pmi = false;
    // Where the first of the markers found starts (the text's length when none is):
    // text before it can go without changing what a look finds.
    qsizetype firstMarker = 0;
    std::optional<QString> speed;
    std::optional<QString> bbt;
    std::optional<QString> fault;
};
StatusScan scanStatus(QStringView text);

} // namespace vantrel

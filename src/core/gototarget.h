#pragma once

#include "result.h"

#include <QString>

#include <optional>

namespace vantrel
{

// Where the technician asked the replay to go: a line (from 1), a share of the log's
// lines, or a wall-clock time in milliseconds since the epoch.
struct GoToTarget {
    enum class Kind { Line, Fraction, Time };
    Kind kind = Kind::Line;
    qint64 line = 0;
    double fraction = 0;
    qint64 ms = 0;
};

// Reads what was typed: "1234" is a line, "45%" a share, "14:05", "14:05:30" or
// "14:05:30.250" the first such time of day at or after the log's start, and
// "2026-12-08 14:05[:30[.250]]" a date and time (local time). Times need the log's
// first capture time; without it they are refused with the reason. Given the log's
// last capture time too, a time outside the two is refused with the log's span, as
// there is no moment of the log to show for it.
Result<GoToTarget> parseGoTo(const QString& typed, std::optional<qint64> logStartMs,
                             std::optional<qint64> logEndMs = std::nullopt);

} // namespace vantrel

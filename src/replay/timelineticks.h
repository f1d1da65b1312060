#pragma once

#include "core/timelinesummary.h"

#include <QList>
#include <QString>

#include <functional>

namespace vantrel
{

// One labelled mark of a timeline's axis: its position on the axis and its pixel.
struct AxisTick {
    double position = 0;
    double x = 0;
    QString label;
};

// How a timeline's axis reads: its unit, and for times whether they need their dates
// (the log spans more than one day).
struct AxisFormat {
    TimelineSummary::Unit unit = TimelineSummary::Unit::Lines;
    bool dates = false;
};

// A label starts this many pixels right of its tick and leaves at least kTickGapPx
// before the next tick.
constexpr int kTickPadPx = 3;
constexpr int kTickGapPx = 12;

// The ticks of an axis showing [from, from + span) in width pixels: the finest usual
// step (1, 2, 5 times a power of ten for lines; milliseconds to years for times, at whole
// local seconds, minutes, hours, days, months, years) at which every label, as wide as
// textWidth says, fits before the next tick (past the coarsest, labels that would not
// are left out); only ticks whose label ends within the width. At most one tick per
// few pixels, whatever the numbers.
QList<AxisTick> axisTicks(const AxisFormat& format, double from, double span, int width,
                          const std::function<int(const QString&)>& textWidth);

// A wall-clock time as the timeline reads it, in local time: hh:mm:ss, with up to three
// digits of its second, and the date in front (yyyy-MM-dd) where asked.
QString timelineTime(qint64 ms, bool dates, int fractionDigits);
// A line number with its thousands apart (1,234,567).
QString timelineLine(qint64 line);

} // namespace vantrel

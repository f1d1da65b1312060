#include "timelineticks.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace vantrel
{

namespace
{
constexpr qint64 kSecondMs = 1000;
constexpr qint64 kMinuteMs = 60 * kSecondMs;
constexpr qint64 kHourMs = 60 * kMinuteMs;
constexpr qint64 kDayMs = 24 * kHourMs;
constexpr qint64 kMonthMs = 2629746000; // an average month, for how far apart ticks are
// Steps between ticks closer than this are not tried: no label is that narrow.
constexpr double kMinStepPx = 16;
// Positions beyond this are not ticked: whole milliseconds or lines no longer fit a double.
constexpr double kLargestPosition = double(qint64(1) << 53);

// A step between ticks: a fixed count of the axis's units, or whole calendar months
// (a year is twelve) from local midnight on the first of a month.
struct Step {
    qint64 units = 0;
    int months = 0;
    qint64 nominal() const { return months > 0 ? months * kMonthMs : units; }
};

QList<Step> timeSteps()
{
    QList<Step> steps;
    for (qint64 ms : {1, 2, 5, 10, 20, 50, 100, 200, 500})
        steps.append({ms, 0});
    for (qint64 s : {1, 2, 5, 10, 15, 30})
        steps.append({s * kSecondMs, 0});
    for (qint64 m : {1, 2, 5, 10, 15, 30})
        steps.append({m * kMinuteMs, 0});
    for (qint64 h : {1, 2, 3, 6, 12})
        steps.append({h * kHourMs, 0});
    for (qint64 d : {1, 2, 7, 14})
        steps.append({d * kDayMs, 0});
    for (int m : {1, 2, 3, 6})
        steps.append({0, m});
    // Years up to the widest a clock gives, so some step always fits.
    for (int power = 1; power <= 100000; power *= 10)
        for (int m : {1, 2, 5})
            steps.append({0, 12 * m * power});
    return steps;
}

QList<Step> lineSteps()
{
    QList<Step> steps;
    for (qint64 power = 1; power <= (qint64(1) << 52) / 10; power *= 10)
        for (qint64 m : {1, 2, 5})
            steps.append({m * power, 0});
    return steps;
}

QString timeLabel(qint64 ms, const Step& step, bool dates)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    if (step.months > 0)
        return local.toString(step.months % 12 == 0 ? QStringLiteral("yyyy")
                                                    : QStringLiteral("yyyy-MM"));
    if (step.units >= kDayMs)
        return local.toString(QStringLiteral("yyyy-MM-dd"));
    const int digits = step.units >= kSecondMs ? 0
                       : step.units % 100 == 0 ? 1
                       : step.units % 10 == 0  ? 2
                                               : 3;
    return timelineTime(ms, dates, digits);
}

// The smallest multiple of step at or above v (step > 0).
qint64 ceilTo(qint64 v, qint64 step)
{
    const qint64 q = v / step;
    return (q * step < v ? q + 1 : q) * step;
}

// The places of a step's ticks from `from` up to `to`, at most `most` of them: each
// counted from the first, so none waits for a sum that stops growing.
QList<qint64> tickPlaces(const Step& step, bool times, double from, double to, int most)
{
    QList<qint64> places;
    const qint64 lowest = qint64(std::ceil(from));
    if (step.months > 0) {
        const QDate start = QDateTime::fromMSecsSinceEpoch(lowest).date();
        const qint64 month = ceilTo(qint64(start.year()) * 12 + start.month() - 1, step.months);
        for (int k = 0; places.size() < most && k <= most; ++k) {
            const qint64 m = month + qint64(k) * step.months;
            const qint64 at =
                QDateTime(QDate(int(m / 12), int(m % 12) + 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
            if (double(at) >= to)
                break;
            if (at >= lowest)
                places << at;
        }
        return places;
    }
    // Whole local seconds, minutes, hours and days: ticks counted from local midnight.
    const qint64 localOffset =
        times ? qint64(QDateTime::fromMSecsSinceEpoch(lowest).offsetFromUtc()) * kSecondMs : 0;
    const qint64 first =
        std::max(ceilTo(lowest + localOffset, step.units) - localOffset, times ? lowest : 1);
    for (qint64 k = 0; k < most; ++k) {
        const qint64 at = first + k * step.units;
        if (double(at) >= to)
            break;
        places << at;
    }
    return places;
}

// Labels that would reach a label before them, with its gap, are left out.
void skipCrowdedLabels(QList<AxisTick>& ticks, const std::function<int(const QString&)>& textWidth)
{
    QList<AxisTick> kept;
    double freeFrom = -1e300;
    for (const AxisTick& tick : std::as_const(ticks)) {
        if (tick.x + kTickPadPx < freeFrom)
            continue;
        freeFrom = tick.x + kTickPadPx + textWidth(tick.label) + kTickGapPx;
        kept << tick;
    }
    ticks = kept;
}
} // namespace

QString timelineTime(qint64 ms, bool dates, int fractionDigits)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    QString text =
        local.toString(dates ? QStringLiteral("yyyy-MM-dd hh:mm:ss") : QStringLiteral("hh:mm:ss"));
    if (fractionDigits > 0) {
        const qint64 within = ((ms % kSecondMs) + kSecondMs) % kSecondMs;
        text += QLatin1Char('.') +
                QString::number(within).rightJustified(3, QLatin1Char('0')).left(fractionDigits);
    }
    return text;
}

QString timelineLine(qint64 line)
{
    QString digits = QString::number(line);
    for (qsizetype at = digits.size() - 3; at > (line < 0 ? 1 : 0); at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

QList<AxisTick> axisTicks(const AxisFormat& format, double from, double span, int width,
                          const std::function<int(const QString&)>& textWidth)
{
    if (!(span > 0) || width <= 0 || !(std::abs(from) < kLargestPosition) ||
        !(from + span < kLargestPosition))
        return {};
    const bool times = format.unit == TimelineSummary::Unit::Milliseconds;
    const QList<Step> steps = times ? timeSteps() : lineSteps();
    const int most = int(width / kMinStepPx) + 2; // more ticks than this are never drawn
    const double to = from + span;
    QList<AxisTick> ticks;
    for (const Step& step : steps) {
        if (double(step.nominal()) / span * width < kMinStepPx)
            continue;
        ticks.clear();
        for (const qint64 at : tickPlaces(step, times, from, to, most)) {
            AxisTick tick;
            tick.position = double(at);
            tick.x = (double(at) - from) / span * width;
            tick.label = times ? timeLabel(at, step, format.dates) : timelineLine(at);
            ticks << tick;
        }
        bool fits = true;
        for (qsizetype i = 0; fits && i + 1 < ticks.size(); ++i)
            fits =
                ticks[i].x + kTickPadPx + textWidth(ticks[i].label) + kTickGapPx <= ticks[i + 1].x;
        if (!fits && step.nominal() != steps.last().nominal())
            continue;
        if (!fits)
            skipCrowdedLabels(ticks, textWidth);
        // The last labels may run past the right edge: those are left out.
        while (!ticks.isEmpty() &&
               ticks.last().x + kTickPadPx + textWidth(ticks.last().label) > width)
            ticks.removeLast();
        return ticks;
    }
    return {};
}

} // namespace vantrel

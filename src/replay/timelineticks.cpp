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
// Steps between ticks closer than this are not tried: no label is that narrow.
constexpr double kMinStepPx = 16;

QList<qint64> timeSteps()
{
    QList<qint64> steps{1, 2, 5, 10, 20, 50, 100, 200, 500};
    for (qint64 s : {1, 2, 5, 10, 15, 30})
        steps << s * kSecondMs;
    for (qint64 m : {1, 2, 5, 10, 15, 30})
        steps << m * kMinuteMs;
    for (qint64 h : {1, 2, 3, 6, 12})
        steps << h * kHourMs;
    for (qint64 d : {1, 2, 7, 14, 28, 56, 112, 224, 448})
        steps << d * kDayMs;
    return steps;
}

QString timeLabel(qint64 ms, qint64 step, bool dates)
{
    if (step >= kDayMs)
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd"));
    const int digits = step >= kSecondMs ? 0 : step % 100 == 0 ? 1 : step % 10 == 0 ? 2 : 3;
    return timelineTime(ms, dates, digits);
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
    if (!(span > 0) || width <= 0)
        return {};
    const bool times = format.unit == TimelineSummary::Unit::Milliseconds;
    QList<qint64> steps;
    if (times) {
        steps = timeSteps();
    } else {
        for (qint64 power = 1; power <= (qint64(1) << 52) / 10; power *= 10)
            for (qint64 m : {1, 2, 5})
                steps << m * power;
    }
    // Whole local seconds, minutes, hours and days: ticks counted from local midnight.
    const qint64 localOffset =
        times ? qint64(QDateTime::fromMSecsSinceEpoch(qint64(from)).offsetFromUtc()) * kSecondMs
              : 0;
    const double to = from + span;
    QList<AxisTick> ticks;
    for (qint64 step : std::as_const(steps)) {
        const double stepPx = double(step) / span * width;
        if (stepPx < kMinStepPx)
            continue;
        ticks.clear();
        int widest = 0;
        const double first = std::ceil((from + double(localOffset)) / double(step)) * double(step) -
                             double(localOffset);
        for (double at = std::max(first, times ? first : 1.0); at < to; at += double(step)) {
            AxisTick tick;
            tick.position = at;
            tick.x = (at - from) / span * width;
            tick.label =
                times ? timeLabel(qint64(at), step, format.dates) : timelineLine(qint64(at));
            widest = std::max(widest, textWidth(tick.label));
            ticks << tick;
        }
        if (kTickPadPx + widest + kTickGapPx > stepPx && step != steps.last())
            continue;
        // The last labels may run past the right edge: those are left out.
        while (!ticks.isEmpty() &&
               ticks.last().x + kTickPadPx + textWidth(ticks.last().label) > width)
            ticks.removeLast();
        return ticks;
    }
    return {};
}

} // namespace vantrel

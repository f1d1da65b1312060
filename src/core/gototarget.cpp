#include "gototarget.h"

#include <QDateTime>
#include <QRegularExpression>

namespace vantrel
{

namespace
{
std::optional<QTime> timeOfDay(const QString& text)
{
    for (const char* format : {"H:mm", "H:mm:ss", "H:mm:ss.zzz"}) {
        const QTime t = QTime::fromString(text, QLatin1String(format));
        if (t.isValid())
            return t;
    }
    return std::nullopt;
}

// A moment of the span as briefly as it is clear: the time of day, with the date when
// the span is not within one day.
QString spanText(qint64 fromMs, qint64 toMs)
{
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(fromMs);
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(toMs);
    const QString format = from.date() == to.date() ? QStringLiteral("HH:mm:ss")
                                                    : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return QStringLiteral("%1 to %2").arg(from.toString(format), to.toString(format));
}
} // namespace

Result<GoToTarget> parseGoTo(const QString& typed, std::optional<qint64> logStartMs,
                             std::optional<qint64> logEndMs)
{
    const QString text = typed.simplified();
    GoToTarget target;
    static const QRegularExpression number(QStringLiteral("^\\d{1,15}$"));
    static const QRegularExpression share(QStringLiteral("^(\\d{1,3}(?:[.,]\\d+)?)\\s*%$"));
    if (number.match(text).hasMatch()) {
        target.line = text.toLongLong();
        return target;
    }
    if (const auto m = share.match(text); m.hasMatch()) {
        const double percent =
            QString(m.captured(1)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        if (percent > 100)
            return Failure(QStringLiteral("A share of the log is at most 100%"));
        target.kind = GoToTarget::Kind::Fraction;
        target.fraction = percent / 100;
        return target;
    }
    const QStringList parts = text.split(QLatin1Char(' '));
    const std::optional<QTime> time = timeOfDay(parts.last());
    const QDate date = parts.size() == 2 ? QDate::fromString(parts.first(), Qt::ISODate) : QDate();
    if (!time || parts.size() > 2 || (parts.size() == 2 && !date.isValid()))
        return Failure(QStringLiteral("Go to a line (1234), a share of the log (50%) or a time "
                                      "(14:05:30, or 2026-12-08 14:05)"));
    if (!logStartMs)
        return Failure(QStringLiteral("This log has no capture times: go to a line or a share"));
    target.kind = GoToTarget::Kind::Time;
    if (date.isValid()) {
        target.ms = QDateTime(date, *time).toMSecsSinceEpoch();
    } else {
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(*logStartMs);
        target.ms = QDateTime(start.date(), *time).toMSecsSinceEpoch();
        if (target.ms < *logStartMs)
            target.ms = QDateTime(start.date().addDays(1), *time).toMSecsSinceEpoch();
    }
    if (logEndMs && (target.ms < *logStartMs || target.ms > *logEndMs))
        return Failure(QStringLiteral("%1 is outside the log, which was captured from %2")
                           .arg(text, spanText(*logStartMs, *logEndMs)));
    return target;
}

} // namespace vantrel

#include "timelinepainters.h"

#include "timelineview.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vantrel
{

using namespace timelinelane;

namespace
{
// A palette told apart with the common colour-vision deficiencies: blue, sky blue,
// orange and black; what they mark is also told by shape, hatching and text.
constexpr QRgb kBlue = 0x0072B2;
constexpr QRgb kSky = 0xBFE3F5;
constexpr QRgb kOrange = 0xE69F00;
constexpr QRgb kInk = 0x000000;
constexpr QRgb kLaneBack = 0xFFFFFF;
constexpr QRgb kAxisBack = 0xF0F0F0;
constexpr QRgb kRule = 0xC8C8C8;

void paintSteps(const TimelinePaint& lane, const TimelineSeries& series, quint32 top,
                const QString& topText, const QString& bottomText)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    const TimelineSeries::Columns cols = lane.columnsOf(series);
    const double high = r.top() + kLanePadPx;
    const double low = r.bottom() - kLanePadPx;
    const auto y = [&](quint32 v) { return low - (low - high) * std::min(1.0, double(v) / top); };
    const double end = std::min<double>(r.width(), lane.xAt(double(lane.summary().end())));
    // Each value holds until the next: a level, and where a column holds changes a
    // stroke over all the values it went through.
    std::vector<QLineF> lines;
    std::optional<quint32> held = cols.before;
    int runFrom = 0;
    for (int c = 0; c < r.width(); ++c) {
        const TimelineSeries::Column& col = cols.columns[size_t(c)];
        if (col.count == 0)
            continue;
        quint32 lo = col.min;
        quint32 hi = col.max;
        if (held) {
            lines.emplace_back(runFrom, y(*held), c, y(*held));
            lo = std::min(lo, *held);
            hi = std::max(hi, *held);
        }
        lines.emplace_back(c, y(lo), c, y(hi));
        held = col.last;
        runFrom = c;
    }
    if (held)
        lines.emplace_back(runFrom, y(*held), end, y(*held));
    p.setPen(QPen(QColor(kBlue), 2));
    p.drawLines(lines.data(), int(lines.size()));
    // The scale at the lane's left, on the lane's own background.
    const QFontMetrics metrics(p.font());
    const auto scale = [&](const QString& text, double baseline) {
        const QRectF box(0, baseline - metrics.ascent(),
                         metrics.horizontalAdvance(text) + 2 * kLanePadPx, metrics.height());
        p.fillRect(box, QColor(kLaneBack));
        p.setPen(QColor(kInk));
        p.drawText(QPointF(kLanePadPx, baseline), text);
    };
    scale(topText, high + metrics.ascent());
    if (!bottomText.isEmpty() && low - high >= 2 * metrics.height())
        scale(bottomText, low - metrics.descent());
}

void paintCursor(const TimelinePaint& lane)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    const std::optional<double> at = lane.view.cursorPosition();
    if (!at)
        return;
    const double x = lane.xAt(*at);
    if (x < 0 || x >= r.width())
        return;
    p.setPen(QPen(QColor(kInk), kCursorPx));
    p.drawLine(QLineF(x, r.top(), x, r.bottom() + 1));
}

} // namespace

const TimelineSummary& TimelinePaint::summary() const
{
    return view.summary();
}

double TimelinePaint::xAt(double position) const
{
    return view.xAt(position, width);
}

double TimelinePaint::positionAt(double x) const
{
    return view.positionAt(x, width);
}

TimelineSeries::Columns TimelinePaint::columnsOf(const TimelineSeries& series) const
{
    return series.columns(view.from(), view.span() / width, width);
}

void paintLaneBack(const TimelinePaint& lane, TimelineLaneKind kind)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    p.fillRect(r, QColor(kind == TimelineLaneKind::Axis ? kAxisBack : kLaneBack));
    // Past the log's end (a view never starts before its start) nothing is drawn.
    const double end = lane.xAt(double(lane.summary().end()));
    if (end < r.width())
        p.fillRect(QRectF(end, 0, r.width() - end, r.height()), QColor(kAxisBack));
}

void paintLaneEnd(const TimelinePaint& lane, TimelineLaneKind kind)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    p.setPen(QColor(kRule));
    p.drawLine(0, r.height() - 1, r.width(), r.height() - 1);
    // On the axis the cursor stays below the labels.
    const int labels = kind == TimelineLaneKind::Axis ? r.height() - 2 * kTickPx : 0;
    paintCursor(lane.within(r.adjusted(0, labels, 0, 0)));
}

void paintAxis(const TimelinePaint& lane, const QList<AxisTick>& ticks, const TimelineSeries& hits,
               bool focused)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    const QFontMetrics metrics(p.font());
    if (focused) {
        p.setPen(QPen(QColor(kInk), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    std::vector<QLineF> marks;
    p.setPen(QColor(kInk));
    for (const AxisTick& tick : ticks) {
        marks.emplace_back(tick.x, r.height() - kTickPx, tick.x, r.height());
        p.drawText(QPointF(tick.x + kTickPadPx, 2 + metrics.ascent()), tick.label);
    }
    p.drawLines(marks.data(), int(marks.size()));
    // Find hits: orange triangles pointing up at the axis.
    if (hits.size() == 0)
        return;
    const TimelineSeries::Columns shown = lane.columnsOf(hits);
    QPainterPath path;
    int last = -kMarkSpacingPx;
    for (int c = 0; c < r.width(); ++c) {
        if (shown.columns[size_t(c)].count == 0 || c - last < kMarkSpacingPx)
            continue;
        last = c;
        const double y = r.height() - 1;
        path.moveTo(c - kMarkPx, y);
        path.lineTo(c + kMarkPx, y);
        path.lineTo(c, y - 2 * kMarkPx);
        path.closeSubpath();
    }
    p.setPen(QColor(kInk));
    p.setBrush(QColor(kOrange));
    p.drawPath(path);
}

void paintSpeed(const TimelinePaint& lane, quint32 top)
{
    paintSteps(lane, lane.summary().speed(), top, QString::number(top), QString());
}

void paintLanding(const TimelinePaint& lane, quint32 top)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    // Where the car stood, from the bottom landing up, below its arrivals.
    const int marks = 2 * kMarkPx + 2;
    paintSteps(lane.within(QRect(0, marks, r.width(), r.height() - marks)),
               lane.summary().landing(), top, TimelineSummary::landingName(top),
               TimelineSummary::landingName(0));
    // Arrivals: blue triangles pointing down at the lane's top, the landing beside each
    // where there is room.
    const QFontMetrics metrics(p.font());
    const TimelineSeries::Columns cols = lane.columnsOf(lane.summary().arrivals());
    QPainterPath path;
    int last = -kMarkSpacingPx;
    for (int c = 0; c < r.width(); ++c) {
        if (cols.columns[size_t(c)].count == 0 || c - last < kMarkSpacingPx)
            continue;
        last = c;
        path.moveTo(c - kMarkPx, 1);
        path.lineTo(c + kMarkPx, 1);
        path.lineTo(c, 1 + 2 * kMarkPx);
        path.closeSubpath();
    }
    p.setPen(QColor(kInk));
    p.setBrush(QColor(kBlue));
    p.drawPath(path);
}

void paintFaults(const TimelinePaint& lane)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    const TimelineSeries::Columns cols = lane.columnsOf(lane.summary().faults());
    // Faults are orange diamonds.
    QPainterPath faults;
    const double mid = r.height() / 2.0;
    int last = -kMarkSpacingPx;
    for (int c = 0; c < r.width(); ++c) {
        const TimelineSeries::Column& col = cols.columns[size_t(c)];
        if (col.count == 0 || c - last < kMarkSpacingPx)
            continue;
        last = c;
        faults.moveTo(c, mid - kMarkPx - 1);
        faults.lineTo(c + kMarkPx + 1, mid);
        faults.lineTo(c, mid + kMarkPx + 1);
        faults.lineTo(c - kMarkPx - 1, mid);
        faults.closeSubpath();
    }
    p.setPen(QColor(kInk));
    p.setBrush(QColor(kOrange));
    p.drawPath(faults);
}

// Polls are a band whose shade grows with how many fall on a pixel, so a day of them
// is no forest of marks; every other piece sent is a mark of its own.
void paintSent(const TimelinePaint& lane, const std::vector<TimelineSentMark>& sent)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    const double mid = r.height() / 2.0;
    const auto first =
        std::lower_bound(sent.begin(), sent.end(), lane.positionAt(-kReachPx),
                         [](const TimelineSentMark& m, double at) { return m.at < at; });
    std::vector<QLineF> marks;
    std::vector<QLineF> noteMarks;
    p.setPen(Qt::NoPen);
    for (const TimelineSentMark& m : sent) {
        if (!m.poll || m.last < lane.view.from() || m.at > lane.view.from() + lane.view.span())
            continue;
        const double x0 = lane.xAt(m.at);
        const double w = std::max(1.0, lane.xAt(m.last) - x0);
        const int shade = int(std::clamp(40.0 + 40.0 * double(m.count) / w, 40.0, 200.0));
        QColor band(kInk);
        band.setAlpha(shade);
        p.fillRect(QRectF(x0, mid - kMarkPx / 2.0, w, double(kMarkPx)), band);
    }
    for (auto it = first; it != sent.end() && lane.xAt(it->at) <= r.width() + kReachPx; ++it)
        if (!it->poll)
            (it->note ? noteMarks : marks)
                .emplace_back(lane.xAt(it->at), mid - kMarkPx - 1, lane.xAt(it->at),
                              mid + kMarkPx + 1);
    p.setPen(QPen(QColor(kOrange), 2));
    p.drawLines(marks.data(), int(marks.size()));
    p.setPen(QPen(QColor(kBlue), 3));
    p.drawLines(noteMarks.data(), int(noteMarks.size()));
}

void paintSignal(const TimelinePaint& lane, const TimelineSeries& series)
{
    QPainter& p = lane.p;
    const QRect& r = lane.rect;
    const QFontMetrics metrics(p.font());
    const TimelineSeries::Columns cols = lane.columnsOf(series);
    const double high = r.top() + kLanePadPx;
    const double low = r.bottom() - kLanePadPx;
    const double end = std::min<double>(r.width(), lane.xAt(double(lane.summary().end())));
    std::vector<QLineF> lines;
    std::vector<QRectF> filled;
    std::vector<QRectF> busy;
    struct Label {
        QRectF box;
        QString text;
    };
    std::vector<Label> labels;
    const auto textOf = [&](quint32 v) { return TimelineSummary::cellShown(v); };
    const auto bitOf = [&](quint32 v) { return TimelineSummary::cellBit(v); };
    // A stretch [x0, x1) holding one value: a level for 0 and 1 (filled below when 1),
    // else a box with the value's text where it fits.
    const auto stretch = [&](double x0, double x1, quint32 v) {
        if (x1 <= x0)
            return;
        if (const std::optional<bool> bit = bitOf(v)) {
            lines.emplace_back(x0, *bit ? high : low, x1, *bit ? high : low);
            if (*bit)
                filled.emplace_back(x0, high, x1 - x0, low - high);
            return;
        }
        lines.emplace_back(x0, high, x1, high);
        lines.emplace_back(x0, low, x1, low);
        const QString text = textOf(v);
        if (metrics.horizontalAdvance(text) + 2 * kLanePadPx <= x1 - x0)
            labels.push_back({QRectF(x0, high, x1 - x0, low - high), text});
    };
    std::optional<quint32> value = cols.before;
    double from = 0;
    for (int c = 0; c < r.width(); ++c) {
        const TimelineSeries::Column& col = cols.columns[size_t(c)];
        if (col.count == 0)
            continue;
        if (value)
            stretch(from, c, *value);
        if (col.count >= 2) {
            // Changes too close to tell apart: a hatched column, merged with the last.
            if (!busy.empty() && busy.back().right() >= c)
                busy.back().setRight(c + 1);
            else
                busy.emplace_back(c, high, 1, low - high);
            from = c + 1;
        } else {
            from = c;
            if (value)
                lines.emplace_back(c, high, c, low);
        }
        value = col.last;
    }
    if (value)
        stretch(from, end, *value);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kSky));
    p.drawRects(filled.data(), int(filled.size()));
    p.setBrush(QBrush(QColor(kInk), Qt::BDiagPattern));
    p.drawRects(busy.data(), int(busy.size()));
    p.setPen(QPen(QColor(kBlue), 1));
    p.drawLines(lines.data(), int(lines.size()));
    p.setPen(QColor(kInk));
    for (const Label& l : labels)
        p.drawText(l.box, Qt::AlignCenter, l.text);
}

} // namespace vantrel

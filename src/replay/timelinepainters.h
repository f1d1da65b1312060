#pragma once

#include "core/timelinesummary.h"
#include "timelineticks.h"

#include <QRect>
#include <QString>

#include <vector>

class QPainter;

namespace vantrel
{

class TimelineView;

// The kinds of a timeline's lanes, each drawn by its painter below.
enum class TimelineLaneKind { Axis, Speed, Landing, Faults, Sent, Signal };

// A piece sent, a run of polls or a note, along the axis (the log's sent and notes files).
struct TimelineSentMark {
    double at = 0;
    double last = 0;
    qint64 count = 1;
    bool poll = false;
    bool note = false;
    QString text;
};

// The sizes the lanes are drawn and laid out with.
namespace timelinelane
{
constexpr int kMarkPx = 4;        // half a marker's width
constexpr int kReachPx = 5;       // a marker this near the pointer is under it
constexpr int kMarkSpacingPx = 3; // markers nearer than this to the last one drawn merge
constexpr int kTickPx = 5;        // a tick's length below the axis's labels
constexpr int kCursorPx = 2;      // the cursor line's width
constexpr int kLanePadPx = 3;     // between a trace and its lane's edges
} // namespace timelinelane

// What a lane's painter draws with: the painter (its font the lane's), the view, the
// lane's rectangle, and the width of the lanes in pixels that the view's positions are
// converted for (the lane's own width).
struct TimelinePaint {
    QPainter& p;
    const TimelineView& view;
    QRect rect;
    int width;

    const TimelineSummary& summary() const;
    double xAt(double position) const;
    double positionAt(double x) const;
    // The series summed up for the lane, one column a pixel.
    TimelineSeries::Columns columnsOf(const TimelineSeries& series) const;
    // The same lane, drawn within part of its rectangle.
    TimelinePaint within(const QRect& r) const { return {p, view, r, width}; }
};

// The lane's background, darker past the log's end (a view never starts before its start).
void paintLaneBack(const TimelinePaint& c, TimelineLaneKind kind);
// The axis's ticks and labels, the find hits as triangles, and a dotted frame while the
// keys move the view.
void paintAxis(const TimelinePaint& c, const QList<AxisTick>& ticks, const TimelineSeries& hits,
               bool focused);
// The speed as steps, `top` at the lane's top.
void paintSpeed(const TimelinePaint& c, quint32 top);
// The landing as steps up to the landing code `top`, below the arrivals.
void paintLanding(const TimelinePaint& c, quint32 top);
void paintFaults(const TimelinePaint& c);
// What was sent (marks, polls as a shaded band) and the notes, in the order of `at`.
void paintSent(const TimelinePaint& c, const std::vector<TimelineSentMark>& sent);
// A signal: a logic trace for 0 and 1, boxes with the value's text otherwise.
void paintSignal(const TimelinePaint& c, const TimelineSeries& series);
// The rule below the lane and the cursor on it (on the axis, below the labels).
void paintLaneEnd(const TimelinePaint& c, TimelineLaneKind kind);

} // namespace vantrel

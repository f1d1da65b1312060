#pragma once

#include "core/logindex.h"

#include <memory>
#include <optional>

namespace vantrel
{

// What a timeline shows of its log, without any widget: the stretch of the axis in view
// (capture time where the log has valid times, line numbers otherwise), the cursor's line
// and place, and the conversions between axis positions, lines and the x of a lane of a
// given width. The view keeps within the log and follows the cursor out of it.
class TimelineView final
{
public:
    // The shortest stretch a view shows: a second of times, or this many lines.
    static constexpr qint64 kMinSpanMs = 1000;
    static constexpr qint64 kMinSpanLines = 20;
    // A cursor that left the view comes back this much of the view in.
    static constexpr double kFollowViews = 0.1;

    // On the whole log, with no cursor.
    explicit TimelineView(std::shared_ptr<const LogIndex> index);

    const LogIndex& index() const { return *m_index; }
    const TimelineSummary& summary() const { return m_index->timeline(); }

    // The stretch shown: from from() over span() units.
    double from() const { return m_from; }
    double span() const { return m_span; }
    // Keeps the view within the log and no shorter than the shortest stretch.
    void setView(double from, double span);
    void showWhole();
    // A span as setView would keep it.
    double spanWithin(double span) const;
    // Closer by a factor above 1 (further below), the position `around` kept where it is
    // on the screen.
    void zoomBy(double factor, double around);
    // Along by a fraction of the view (negative: back).
    void panBy(double fraction);
    bool shows(double position) const { return position >= m_from && position < m_from + m_span; }
    // Where zooming by key or button centres: the cursor while in view, else the middle.
    double focus() const;

    // An x across a lane `width` pixels wide as an axis position, and back.
    double positionAt(double x, int width) const { return m_from + x / width * m_span; }
    double xAt(double position, int width) const { return (position - m_from) / m_span * width; }
    // The line a click at an axis position chooses: the last line at or before it.
    qint64 lineAt(double position) const;

    // The cursor's line, 0 until one is set, and its axis position (none where the line
    // has no valid time).
    qint64 cursorLine() const { return m_cursorLine; }
    std::optional<double> cursorPosition() const { return m_cursorAt; }
    // Moves the cursor to a line, and the view with it when the cursor leaves the view.
    void setCursorLine(qint64 line);

private:
    std::shared_ptr<const LogIndex> m_index;
    double m_from = 0;
    double m_span = 1;
    qint64 m_cursorLine = 0;
    std::optional<double> m_cursorAt;
};

} // namespace vantrel

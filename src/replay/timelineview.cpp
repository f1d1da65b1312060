#include "timelineview.h"

#include <algorithm>
#include <cmath>

namespace vantrel
{

TimelineView::TimelineView(std::shared_ptr<const LogIndex> index) : m_index(std::move(index))
{
    showWhole();
}

void TimelineView::setView(double from, double span)
{
    const TimelineSummary& s = summary();
    m_span = spanWithin(span);
    // A place that is no number (a zoom or move by one) puts the view at the log's start
    // rather than nowhere.
    m_from = std::isnan(from) ? double(s.start())
                              : std::clamp(from, double(s.start()), double(s.end()) - m_span);
}

void TimelineView::showWhole()
{
    setView(double(summary().start()), double(summary().end() - summary().start()));
}

double TimelineView::spanWithin(double span) const
{
    const TimelineSummary& s = summary();
    const double whole = double(s.end() - s.start());
    const double shortest =
        std::min(whole, double(s.unit() == TimelineSummary::Unit::Milliseconds ? kMinSpanMs
                                                                               : kMinSpanLines));
    return std::isnan(span) ? whole : std::clamp(span, shortest, whole);
}

void TimelineView::zoomBy(double factor, double around)
{
    const double span = spanWithin(m_span / factor);
    setView(around - (around - m_from) * span / m_span, span);
}

void TimelineView::panBy(double fraction)
{
    setView(m_from + fraction * m_span, m_span);
}

double TimelineView::focus() const
{
    return m_cursorAt && shows(*m_cursorAt) ? *m_cursorAt : m_from + m_span / 2;
}

qint64 TimelineView::lineAt(double position) const
{
    const qint64 lines = m_index->lines();
    if (lines <= 0)
        return 0;
    if (summary().unit() == TimelineSummary::Unit::Lines)
        return std::clamp<qint64>(qint64(std::floor(position)), 1, lines);
    const Result<qint64> line = m_index->lineUpTo(qint64(std::floor(position)));
    return line ? std::clamp<qint64>(*line, 1, lines) : 1;
}

void TimelineView::setCursorLine(qint64 line)
{
    m_cursorLine = std::clamp<qint64>(line, 0, m_index->lines());
    m_cursorAt.reset();
    if (m_cursorLine > 0) {
        if (summary().unit() == TimelineSummary::Unit::Lines) {
            m_cursorAt = double(m_cursorLine);
        } else if (const Result<std::optional<qint64>> ms = m_index->lineTime(m_cursorLine);
                   ms && *ms) {
            m_cursorAt = double(**ms);
        }
    }
    if (m_cursorAt && !shows(*m_cursorAt))
        setView(*m_cursorAt - kFollowViews * m_span, m_span);
}

} // namespace vantrel

#pragma once

#include "core/logindex.h"
#include "core/logsearch.h"
#include "timelinepainters.h"
#include "timelineview.h"

#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QListView;
class QMenu;
class QPainter;
class QPushButton;

namespace vantrel
{

class TimelinePlot;
class FaultListModel;

// A loaded log's timeline, a window of its own: along one axis (capture time where the
// log has valid times, line numbers otherwise) the speed, the landings and arrivals,
// the new faults and the chosen signals in lanes, drawn from the index's summary at any
// zoom, with find hits marked on the axis and a cursor. A click on a lane or a fault
// chooses that moment for the replay (lineChosen); the replay moves the cursor as it
// plays (setCursorLine), and the view follows the cursor out of it.
class TimelineWindow final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultWidthPx = 1000;
    // The shortest stretch a view shows: a second of times, or this many lines.
    static constexpr qint64 kMinSpanMs = TimelineView::kMinSpanMs;
    static constexpr qint64 kMinSpanLines = TimelineView::kMinSpanLines;
    // Where the chosen signals are remembered (QSettings of the program's names).
    static constexpr const char* kSignalsKey = "timeline/signals";

    // The window shows the index's log; with a parent it is still a window of its own,
    // taking the parent's font.
    explicit TimelineWindow(std::shared_ptr<const LogIndex> index, QWidget* parent = nullptr);
    ~TimelineWindow() override;

    const LogIndex& index() const { return *m_index; }
    const TimelineSummary& summary() const { return m_index->timeline(); }

    // The stretch of the axis shown: from viewFrom() over viewSpan() units. setView
    // keeps it within the log and no shorter than the shortest stretch.
    double viewFrom() const { return m_view.from(); }
    double viewSpan() const { return m_view.span(); }
    const TimelineView& view() const { return m_view; }
    void setView(double from, double span);
    void showWholeLog();
    // Closer by a factor above 1 (further below), the axis position `around` kept
    // where it is on the screen.
    void zoomBy(double factor, double around);
    // Along by a fraction of the view (negative: back).
    void panBy(double fraction);

    // The lanes' width in pixels, a lane's x as an axis position and back.
    int laneWidth() const;
    double positionAt(double x) const;
    double xAt(double position) const;
    // The line a click at an axis position chooses: the last line at or before it.
    qint64 lineAt(double position) const;

    // The cursor's line, 0 until one is set or chosen, and its axis position.
    qint64 cursorLine() const { return m_view.cursorLine(); }
    std::optional<double> cursorPosition() const { return m_view.cursorPosition(); }
    // What the cursor reads: time (with times), line, speed, landing, fault and the
    // shown signals' values after that line.
    QString cursorText() const;

    // The signal lanes, by the grid's names (signalName()); the choice is remembered.
    QStringList shownSignals() const { return m_signals; }
    void setShownSignals(const QStringList& names);
    // The doors' and the safety circuit's signals.
    static QStringList defaultSignals();

    // The ticks the axis shows now.
    QList<AxisTick> ticks() const;

public Q_SLOTS:
    // Moves the cursor to a line (the replay played or stepped to it); the view
    // follows when the cursor leaves it. Does not emit lineChosen.
    void setCursorLine(qint64 line);
    // Marks the hits of a find on the axis; an empty list takes them away.
    void setFindHits(const std::vector<vantrel::SearchHit>& hits);
    // Reads the log's sent and notes files again (a note was added, changed or deleted).
    void reloadSent();
    // Asks for a note at the cursor's line (the first line while none is chosen).
    void addNoteAtCursor();

Q_SIGNALS:
    // The technician chose the moment after this line (a click, a fault, a key).
    void lineChosen(qint64 line);
    // The technician wants a note at this line; the notes are written by the replay's
    // notes window, which asks for the text.
    void noteWanted(qint64 line);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    using LaneKind = TimelineLaneKind;

    void buildLayout();
    void buildSignalMenu();
    void rebuildSignalLanes();
    void nameForAssistiveTechnology();
    void updateReadout();
    void viewChanged();
    // Chooses a line: the cursor goes there and the replay is told.
    void choose(qint64 line);
    void chooseFaultNear(int step);
    // The fault marker nearest x in the fault lane, within reach; its number among the
    // summary's faults.
    std::optional<qsizetype> faultNear(double x) const;
    qint64 faultLine(qsizetype fault) const;
    QString faultRow(qsizetype fault) const;
    QString placeText(qint64 position, qint64 line) const;
    QString laneToolTip(LaneKind kind, int cell, double x) const;

    // A lane drawn by its kind's painter; a click on one at x.
    void paintLane(QPainter& p, LaneKind kind, int cell, const QRect& r) const;
    void laneClicked(LaneKind kind, double x);
    void loadSent();
    // The sent lane reads as what it marks: every piece sent but the polls, and the notes.
    void nameSentLane();
    QString sentTip(double x) const;

    std::shared_ptr<const LogIndex> m_index;
    TimelineView m_view;
    AxisFormat m_format;
    QStringList m_signals;
    TimelineSeries m_hits;
    std::vector<TimelineSentMark> m_sent; // in the order of their positions
    quint32 m_speedTop = 1;               // the speed at the speed lane's top
    quint32 m_landingTop = 1;             // the landing code at the landing lane's top

    QPushButton* m_signalsButton = nullptr;
    QMenu* m_signalMenu = nullptr;
    QPushButton* m_zoomIn = nullptr;
    QPushButton* m_zoomOut = nullptr;
    QPushButton* m_whole = nullptr;
    QLabel* m_readout = nullptr;
    QAction* m_addNote = nullptr;
    TimelinePlot* m_plot = nullptr;
    QListView* m_faultList = nullptr;
    FaultListModel* m_faultModel = nullptr;
};

} // namespace vantrel

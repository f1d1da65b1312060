#include "timelinewindow.h"

#include "core/notes.h"
#include "core/sentlog.h"
#include "core/signalnames.h"
#include "widgets/accessible.h"

#include <QAbstractListModel>
#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace vantrel
{

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

constexpr int kMarkPx = 4;        // half a marker's width
constexpr int kReachPx = 5;       // a marker this near the pointer is under it
constexpr int kMarkSpacingPx = 3; // markers nearer than this to the last one drawn merge
constexpr int kTickPx = 5;        // a tick's length below the axis's labels
constexpr int kCursorPx = 2;      // the cursor line's width
constexpr int kLanePadPx = 3;     // between a trace and its lane's edges
constexpr int kFaultsInTipRows = 6;
constexpr int kSentReadRows = 100;  // pieces and notes the sent lane's name lists at most
constexpr double kWheelNotch = 120; // a wheel's step, in its angle units
constexpr double kZoomPerNotch = 1.4142135623730951; // closer by this a step
constexpr double kKeyPanViews = 0.125;               // an arrow key moves this much of the view
constexpr double kKeyCursorViews = 0.02;             // Shift+arrow moves the cursor this much
constexpr double kFollowViews = 0.1; // a cursor that left the view comes back this far in
constexpr quint32 kTopLanding = 6;   // landings B and 1 to 6 at least
constexpr int kLanesStretch = 4;     // of the window's room, against the fault list's 1
constexpr int kFaultRowsAtLeast = 4;
constexpr int kFaultRowsAtFirst = 7;

// The least 1, 2 or 5 times a power of ten at or above v.
quint32 niceCeiling(quint32 v)
{
    for (quint64 power = 1;; power *= 10)
        for (quint64 m : {1, 2, 5})
            if (m * power >= v)
                return quint32(std::min<quint64>(m * power, 0xffffffffu));
}

// The grid's names of the dump cells, in their order.
const QStringList& cellNames()
{
    static const QStringList names = [] {
        QStringList all;
        for (int i = 0; i < kGridCells; ++i)
            all << signalName(i);
        return all;
    }();
    return names;
}

int cellNamed(const QString& name)
{
    return int(cellNames().indexOf(name));
}
} // namespace

// One lane of the timeline (or its axis): drawn by the window from the summary.
class TimelineLane final : public QWidget
{
public:
    TimelineLane(TimelineWindow* w, TimelineWindow::LaneKind kind, int cell, QWidget* parent)
        : QWidget(parent), m_w(w), m_kind(kind), m_cell(cell)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    TimelineWindow::LaneKind kind() const { return m_kind; }
    int cell() const { return m_cell; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        m_w->paintLane(p, m_kind, m_cell, rect());
    }
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(e);
            const QString tip = m_w->laneToolTip(m_kind, m_cell, help->pos().x());
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, this);
            return true;
        }
        return QWidget::event(e);
    }

private:
    TimelineWindow* m_w;
    TimelineWindow::LaneKind m_kind;
    int m_cell;
};

// The lanes with their names at their left, laid out alike so that one x is one axis
// position in every lane; the signal lanes scroll below the others when there are many.
// Takes the mouse: the wheel zooms around the pointer, a drag pans, a click chooses.
class TimelinePlot final : public QWidget
{
public:
    explicit TimelinePlot(TimelineWindow* w) : QWidget(w), m_w(w)
    {
        setObjectName(QStringLiteral("Lanes"));
        setFocusPolicy(Qt::StrongFocus);
        m_signalArea = new QWidget(this);
        m_signalArea->setObjectName(QStringLiteral("SignalLanes"));
        m_scroll = new QScrollBar(Qt::Vertical, this);
        m_scroll->setObjectName(QStringLiteral("SignalScroll"));
        connect(m_scroll, &QScrollBar::valueChanged, this, [this] { relayout(); });
        using K = TimelineWindow::LaneKind;
        const bool times = w->summary().unit() == TimelineSummary::Unit::Milliseconds;
        addRow(m_fixed, this, K::Axis, -1, QStringLiteral("Axis"),
               times ? QStringLiteral("Time") : QStringLiteral("Line"));
        addRow(m_fixed, this, K::Speed, -1, QStringLiteral("Speed"), QStringLiteral("Speed"));
        addRow(m_fixed, this, K::Landing, -1, QStringLiteral("Landing"), QStringLiteral("Landing"));
        addRow(m_fixed, this, K::Faults, -1, QStringLiteral("Fault"), QStringLiteral("Faults"));
        if (!w->m_sent.empty())
            addRow(m_fixed, this, K::Sent, -1, QStringLiteral("Sent"), QStringLiteral("Sent"));
    }

    void setSignals(const QList<int>& cells)
    {
        for (const Row& row : std::as_const(m_signals)) {
            delete row.label;
            delete row.lane;
        }
        m_signals.clear();
        for (int cell : cells) {
            const QString name = signalName(cell);
            addRow(m_signals, m_signalArea, TimelineWindow::LaneKind::Signal, cell,
                   QStringLiteral("Signal_") + name, name);
        }
        // Never taller than all its lanes.
        setMaximumHeight(fixedHeight() + int(m_signals.size()) * signalHeight());
        relayout();
        for (const Row& row : std::as_const(m_signals)) {
            row.label->show();
            row.lane->show();
        }
    }

    int laneWidth() const { return std::max(1, width() - m_gutter - scrollWidth()); }
    int gutter() const { return m_gutter; }
    TimelineLane* lane(TimelineWindow::LaneKind kind) const
    {
        for (const Row& row : m_fixed)
            if (row.lane->kind() == kind)
                return row.lane;
        return nullptr;
    }
    // The sent lane appears with its first mark (a note added while the window is open).
    void addSentLane()
    {
        if (lane(TimelineWindow::LaneKind::Sent) || m_w->m_sent.empty())
            return;
        addRow(m_fixed, this, TimelineWindow::LaneKind::Sent, -1, QStringLiteral("Sent"),
               QStringLiteral("Sent"));
        setMaximumHeight(fixedHeight() + int(m_signals.size()) * signalHeight());
        relayout();
        m_fixed.last().label->show();
        m_fixed.last().lane->show();
    }

    void updateLanes()
    {
        for (const QList<Row>* rows : {&m_fixed, &m_signals})
            for (const Row& row : *rows)
                row.lane->update();
    }

    QSize sizeHint() const override
    {
        const int shown = std::min<int>(int(m_signals.size()), kSignalsAtOnce);
        return QSize(TimelineWindow::kDefaultWidthPx, fixedHeight() + shown * signalHeight());
    }
    QSize minimumSizeHint() const override
    {
        return QSize(m_gutter + 200, fixedHeight() + signalHeight());
    }

protected:
    void resizeEvent(QResizeEvent*) override { relayout(); }
    // The axis shows whether the keys move the view.
    void focusInEvent(QFocusEvent*) override { updateLanes(); }
    void focusOutEvent(QFocusEvent*) override { updateLanes(); }
    void changeEvent(QEvent* e) override
    {
        if (e->type() == QEvent::FontChange) {
            setMaximumHeight(fixedHeight() + int(m_signals.size()) * signalHeight());
            relayout();
        }
        QWidget::changeEvent(e);
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        m_pressAt = e->position();
        m_pressFrom = m_w->viewFrom();
        m_dragging = false;
        m_pressedLane = dynamic_cast<TimelineLane*>(childAt(e->position().toPoint()));
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!m_pressAt)
            return;
        const double dx = e->position().x() - m_pressAt->x();
        if (!m_dragging && std::abs(dx) < kDragStartPx)
            return;
        m_dragging = true;
        m_w->setView(m_pressFrom - dx / m_w->laneWidth() * m_w->viewSpan(), m_w->viewSpan());
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton || !m_pressAt)
            return;
        const bool click = !m_dragging;
        m_pressAt.reset();
        m_dragging = false;
        if (!click || !m_pressedLane)
            return;
        const double x = e->position().x() - m_gutter;
        if (m_pressedLane->kind() == TimelineWindow::LaneKind::Faults)
            if (const std::optional<qsizetype> fault = m_w->faultNear(x)) {
                m_w->choose(m_w->faultLine(*fault));
                return;
            }
        m_w->choose(m_w->lineAt(m_w->positionAt(x)));
    }
    void wheelEvent(QWheelEvent* e) override
    {
        const QPoint delta = e->angleDelta();
        const double x = e->position().x() - m_gutter;
        const bool sideways = delta.x() != 0 || (e->modifiers() & Qt::ShiftModifier);
        const double notches = (delta.y() != 0 ? delta.y() : delta.x()) / kWheelNotch;
        if (sideways)
            m_w->panBy(-notches * kKeyPanViews);
        else
            m_w->zoomBy(std::pow(kZoomPerNotch, notches),
                        x >= 0 ? m_w->positionAt(x) : m_w->viewFrom() + m_w->viewSpan() / 2);
        e->accept();
    }

private:
    static constexpr int kSignalsAtOnce = 12;
    static constexpr int kDragStartPx = 4;
    struct Row {
        QLabel* label;
        TimelineLane* lane;
    };

    void addRow(QList<Row>& rows, QWidget* parent, TimelineWindow::LaneKind kind, int cell,
                const QString& name, const QString& caption)
    {
        auto* label = new QLabel(caption, parent);
        label->setObjectName(name + QStringLiteral("Name"));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* lane = new TimelineLane(m_w, kind, cell, parent);
        lane->setObjectName(name + QStringLiteral("Lane"));
        rows.append({label, lane});
    }

    int lineHeight() const { return fontMetrics().height(); }
    int heightOf(TimelineWindow::LaneKind kind) const
    {
        using K = TimelineWindow::LaneKind;
        switch (kind) {
        case K::Axis:
            return lineHeight() + 2 * kTickPx + 4;
        case K::Speed:
            return 4 * lineHeight();
        case K::Landing:
            return 3 * lineHeight() + 2 * kMarkPx + 8;
        case K::Faults:
        case K::Sent:
            return 2 * kMarkPx + 12;
        case K::Signal:
            break;
        }
        return signalHeight();
    }
    int signalHeight() const { return lineHeight() + 6; }
    int fixedHeight() const
    {
        int h = 0;
        for (const Row& row : m_fixed)
            h += heightOf(row.lane->kind());
        return h;
    }
    int scrollWidth() const { return m_scroll->isVisibleTo(this) ? m_scroll->width() : 0; }

    void relayout()
    {
        int gutter = 0;
        for (const QList<Row>* rows : {&m_fixed, &m_signals})
            for (const Row& row : *rows)
                gutter = std::max(gutter, row.label->sizeHint().width());
        m_gutter = gutter + 2 * kLanePadPx;
        const int content = int(m_signals.size()) * signalHeight();
        const int room = std::max(0, height() - fixedHeight());
        const bool scrolling = content > room;
        m_scroll->setVisible(scrolling);
        const int scrollW = scrolling ? m_scroll->sizeHint().width() : 0;
        const int laneW = std::max(1, width() - m_gutter - scrollW);
        int y = 0;
        for (const Row& row : std::as_const(m_fixed)) {
            const int h = heightOf(row.lane->kind());
            row.label->setGeometry(0, y, m_gutter - kLanePadPx, h);
            row.lane->setGeometry(m_gutter, y, laneW, h);
            y += h;
        }
        m_signalArea->setGeometry(0, y, m_gutter + laneW, room);
        m_scroll->setGeometry(m_gutter + laneW, y, scrollW, room);
        m_scroll->setRange(0, std::max(0, content - room));
        m_scroll->setPageStep(std::max(1, room));
        m_scroll->setSingleStep(signalHeight());
        int sy = -m_scroll->value();
        for (const Row& row : std::as_const(m_signals)) {
            row.label->setGeometry(0, sy, m_gutter - kLanePadPx, signalHeight());
            row.lane->setGeometry(m_gutter, sy, laneW, signalHeight());
            sy += signalHeight();
        }
        updateLanes();
    }

    TimelineWindow* m_w;
    QList<Row> m_fixed;
    QList<Row> m_signals;
    QWidget* m_signalArea;
    QScrollBar* m_scroll;
    int m_gutter = 0;
    std::optional<QPointF> m_pressAt;
    double m_pressFrom = 0;
    bool m_dragging = false;
    TimelineLane* m_pressedLane = nullptr;
};

// The new faults other than arrivals, one a row: time or line, and the text.
class FaultListModel final : public QAbstractListModel
{
public:
    FaultListModel(const TimelineWindow& w, QObject* parent) : QAbstractListModel(parent), m_w(w) {}
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(m_w.summary().faults().size());
    }
    QVariant data(const QModelIndex& i, int role) const override
    {
        if (!i.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        return m_w.faultRow(i.row());
    }

private:
    const TimelineWindow& m_w;
};

// The list of faults, a few rows high to begin with.
class FaultListView final : public QListView
{
public:
    using QListView::QListView;
    QSize sizeHint() const override
    {
        return QSize(QListView::sizeHint().width(),
                     kFaultRowsAtFirst * fontMetrics().height() + 2 * frameWidth());
    }
};

TimelineWindow::TimelineWindow(std::shared_ptr<const LogIndex> index, QWidget* parent)
    : QWidget(parent, Qt::Window), m_index(std::move(index))
{
    setObjectName(QStringLiteral("Timeline"));
    setAttribute(Qt::WA_WindowPropagation); // the replay screen's font
    setWindowTitle(QStringLiteral("Timeline - ") + QFileInfo(m_index->path()).fileName());
    const TimelineSummary& s = summary();
    m_format.unit = s.unit();
    if (s.unit() == TimelineSummary::Unit::Milliseconds)
        m_format.dates = QDateTime::fromMSecsSinceEpoch(s.start()).date() !=
                         QDateTime::fromMSecsSinceEpoch(s.end() - 1).date();
    m_speedTop = niceCeiling(std::max<quint32>(10, s.speed().maxValue()));
    m_landingTop = std::max<quint32>(kTopLanding, s.landing().maxValue());
    m_hits = TimelineSeries(s.scale());
    m_hits.finish();
    loadSent();

    QSettings settings;
    const QString key = QLatin1String(kSignalsKey);
    const QStringList remembered =
        settings.contains(key) ? settings.value(key).toStringList() : defaultSignals();
    for (const QString& name : remembered)
        if (cellNamed(name) >= 0 && !m_signals.contains(name))
            m_signals << name;

    buildLayout();
    buildSignalMenu();
    rebuildSignalLanes();
    resize(kDefaultWidthPx, sizeHint().height());
    showWholeLog();
    updateReadout();
    nameSentLane();
}

TimelineWindow::~TimelineWindow() = default;

QStringList TimelineWindow::defaultSignals()
{
    return {QStringLiteral("DOL"), QStringLiteral("DCL"), QStringLiteral("DOB"),
            QStringLiteral("DCB"), QStringLiteral("SE"),  QStringLiteral("GL"),
            QStringLiteral("GV"),  QStringLiteral("HS"),  QStringLiteral("CS"),
            QStringLiteral("ICS")};
}

void TimelineWindow::buildLayout()
{
    auto* top = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        bar->addWidget(b);
        return b;
    };
    m_signalsButton = button("SignalsButton", QStringLiteral("&Signals"));
    m_zoomIn = button("ZoomIn", QStringLiteral("Zoom &in"));
    m_zoomOut = button("ZoomOut", QStringLiteral("Zoom &out"));
    m_whole = button("WholeLog", QStringLiteral("&Whole log"));
    bar->addStretch(1);
    top->addLayout(bar);
    const auto around = [this] {
        return m_cursorAt && *m_cursorAt >= m_from && *m_cursorAt < m_from + m_span
                   ? *m_cursorAt
                   : m_from + m_span / 2;
    };
    connect(m_zoomIn, &QPushButton::clicked, this, [this, around] { zoomBy(2, around()); });
    connect(m_zoomOut, &QPushButton::clicked, this, [this, around] { zoomBy(0.5, around()); });
    connect(m_whole, &QPushButton::clicked, this, &TimelineWindow::showWholeLog);

    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("Cursor"));
    m_readout->setWordWrap(true);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    top->addWidget(m_readout);

    m_plot = new TimelinePlot(this);
    // Room goes to the lanes up to all of them, then to the list of faults.
    top->addWidget(m_plot, kLanesStretch);

    auto* faultsCaption = new QLabel(QStringLiteral("New &faults (click one to go there):"), this);
    faultsCaption->setObjectName(QStringLiteral("FaultListName"));
    top->addWidget(faultsCaption);
    m_faultList = new FaultListView(this);
    m_faultList->setObjectName(QStringLiteral("FaultList"));
    m_faultList->setUniformItemSizes(true);
    m_faultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_faultModel = new FaultListModel(*this, m_faultList);
    m_faultList->setModel(m_faultModel);
    m_faultList->setMinimumHeight(kFaultRowsAtLeast * fontMetrics().height());
    faultsCaption->setBuddy(m_faultList);
    top->addWidget(m_faultList, 1);
    const auto rowChosen = [this](const QModelIndex& i) {
        if (i.isValid())
            choose(faultLine(i.row()));
    };
    connect(m_faultList, &QListView::clicked, this, rowChosen);
    connect(m_faultList, &QListView::activated, this, rowChosen);

    // The same key as the replay screen's notes, here at the cursor; also on the lanes'
    // context menu.
    m_addNote = new QAction(QStringLiteral("Add &Note at Cursor"), this);
    m_addNote->setObjectName(QStringLiteral("AddNoteAtCursor"));
    m_addNote->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(m_addNote, &QAction::triggered, this, &TimelineWindow::addNoteAtCursor);
    addAction(m_addNote);
    m_plot->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_plot->addAction(m_addNote);
}

void TimelineWindow::addNoteAtCursor()
{
    Q_EMIT noteWanted(std::max<qint64>(1, m_cursorLine));
}

void TimelineWindow::buildSignalMenu()
{
    m_signalMenu = new QMenu(this);
    m_signalMenu->setObjectName(QStringLiteral("SignalMenu"));
    m_signalMenu->setTitle(QStringLiteral("Choose signals"));
    QAction* doors = m_signalMenu->addAction(QStringLiteral("&Doors and safety"));
    connect(doors, &QAction::triggered, this, [this] { setShownSignals(defaultSignals()); });
    QAction* none = m_signalMenu->addAction(QStringLiteral("&None"));
    connect(none, &QAction::triggered, this, [this] { setShownSignals({}); });
    m_signalMenu->addSeparator();
    // The grid's value columns, each signal by its name beside it.
    QMenu* column = nullptr;
    int columnNumber = 0;
    for (int i = 0; i < kGridCells; ++i) {
        const DumpCell& c = dumpCells()[size_t(i)];
        const int number = c.line <= 4 ? c.line : 5;
        if (number != columnNumber) {
            columnNumber = number;
            column = m_signalMenu->addMenu(QStringLiteral("Column &%1").arg(number));
        }
        QAction* a = column->addAction(signalName(i));
        a->setCheckable(true);
        a->setChecked(m_signals.contains(signalName(i)));
        connect(a, &QAction::toggled, this, [this, i](bool on) {
            QStringList names = m_signals;
            names.removeAll(signalName(i));
            if (on)
                names << signalName(i);
            setShownSignals(names);
        });
    }
    m_signalsButton->setMenu(m_signalMenu);
}

void TimelineWindow::setShownSignals(const QStringList& names)
{
    QStringList valid;
    for (const QString& name : names)
        if (cellNamed(name) >= 0 && !valid.contains(name))
            valid << name;
    QSettings().setValue(QLatin1String(kSignalsKey), valid);
    if (valid == m_signals)
        return;
    m_signals = valid;
    for (QAction* a : m_signalMenu->findChildren<QAction*>()) {
        if (!a->isCheckable())
            continue;
        const QSignalBlocker quiet(a);
        a->setChecked(m_signals.contains(a->text()));
    }
    rebuildSignalLanes();
    updateReadout();
}

void TimelineWindow::rebuildSignalLanes()
{
    QList<int> cells;
    for (const QString& name : std::as_const(m_signals))
        cells << cellNamed(name);
    m_plot->setSignals(cells);
    nameForAssistiveTechnology();
}

void TimelineWindow::nameForAssistiveTechnology()
{
    const bool times = summary().unit() == TimelineSummary::Unit::Milliseconds;
    QHash<QString, QString> words{
        {QStringLiteral("Lanes"), QStringLiteral("Timeline lanes")},
        {QStringLiteral("AxisLane"),
         times ? QStringLiteral("Time axis") : QStringLiteral("Line axis")},
        {QStringLiteral("SpeedLane"), QStringLiteral("Speed lane")},
        {QStringLiteral("LandingLane"), QStringLiteral("Landing lane")},
        {QStringLiteral("FaultLane"), QStringLiteral("Fault lane")},
        {QStringLiteral("SignalLanes"), QStringLiteral("Signal lanes")},
        {QStringLiteral("SignalScroll"), QStringLiteral("Signal lanes scroll bar")},
        {QStringLiteral("FaultList"), QStringLiteral("New faults")},
    };
    for (const QString& name : std::as_const(m_signals))
        words.insert(QStringLiteral("Signal_") + name + QStringLiteral("Lane"),
                     name + QStringLiteral(" signal lane"));
    nameControls(this, words);
    updateReadout();
}

void TimelineWindow::setView(double from, double span)
{
    const TimelineSummary& s = summary();
    m_span = spanWithin(span);
    m_from = std::clamp(from, double(s.start()), double(s.end()) - m_span);
    viewChanged();
}

void TimelineWindow::showWholeLog()
{
    setView(double(summary().start()), double(summary().end() - summary().start()));
}

double TimelineWindow::spanWithin(double span) const
{
    const TimelineSummary& s = summary();
    const double whole = double(s.end() - s.start());
    const double shortest =
        std::min(whole, double(s.unit() == TimelineSummary::Unit::Milliseconds ? kMinSpanMs
                                                                               : kMinSpanLines));
    return std::clamp(span, shortest, whole);
}

void TimelineWindow::zoomBy(double factor, double around)
{
    const double span = spanWithin(m_span / factor);
    setView(around - (around - m_from) * span / m_span, span);
}

void TimelineWindow::panBy(double fraction)
{
    setView(m_from + fraction * m_span, m_span);
}

int TimelineWindow::laneWidth() const
{
    return m_plot->laneWidth();
}

double TimelineWindow::positionAt(double x) const
{
    return m_from + x / laneWidth() * m_span;
}

double TimelineWindow::xAt(double position) const
{
    return (position - m_from) / m_span * laneWidth();
}

qint64 TimelineWindow::lineAt(double position) const
{
    const qint64 lines = m_index->lines();
    if (lines <= 0)
        return 0;
    if (summary().unit() == TimelineSummary::Unit::Lines)
        return std::clamp<qint64>(qint64(std::floor(position)), 1, lines);
    const Result<qint64> line = m_index->lineUpTo(qint64(std::floor(position)));
    return line ? std::clamp<qint64>(*line, 1, lines) : 1;
}

void TimelineWindow::viewChanged()
{
    m_plot->updateLanes();
}

void TimelineWindow::setCursorLine(qint64 line)
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
    if (m_cursorAt && (*m_cursorAt < m_from || *m_cursorAt >= m_from + m_span))
        setView(*m_cursorAt - kFollowViews * m_span, m_span);
    updateReadout();
    m_plot->updateLanes();
}

void TimelineWindow::choose(qint64 line)
{
    setCursorLine(line);
    if (m_cursorLine > 0)
        Q_EMIT lineChosen(m_cursorLine);
}

void TimelineWindow::loadSent()
{
    const TimelineSummary& s = summary();
    m_sent.clear();
    // What was sent, where the log has a record of it that matches.
    const SentLog sentLog = SentLog::forLog(m_index->path(), m_index->bytes());
    const auto place = [&](qint64 offset, qint64 ms) {
        if (s.unit() == TimelineSummary::Unit::Milliseconds)
            return double(ms);
        const Result<qint64> line = m_index->lineAt(offset);
        return line ? double(*line) : double(s.start());
    };
    for (const SentPiece& piece : sentLog.pieces())
        m_sent.push_back({place(piece.offset, piece.ms), place(piece.lastOffset, piece.lastMs),
                          piece.count, piece.source == sent::Source::Poll, false,
                          QString::fromLatin1(sent::sourceWord(piece.source) + ' ' +
                                              sent::escaped(piece.text))});
    // The technician's notes go in the same lane, marked apart.
    const Notes notes = Notes::forLog(m_index->path(), m_index->bytes());
    for (const Note& note : notes.notes()) {
        const Result<qint64> line = m_index->lineAt(note.offset);
        const Result<std::optional<qint64>> ms =
            line ? m_index->lineTime(*line) : Result<std::optional<qint64>>(Failure({}));
        double at = line ? double(*line) : double(s.start());
        if (s.unit() == TimelineSummary::Unit::Milliseconds)
            at = note.ms ? double(*note.ms) : ms && *ms ? double(**ms) : double(s.start());
        m_sent.push_back({at, at, 1, false, true, QStringLiteral("note ") + note.text});
    }
    std::stable_sort(m_sent.begin(), m_sent.end(),
                     [](const SentMark& a, const SentMark& b) { return a.at < b.at; });
}

void TimelineWindow::reloadSent()
{
    loadSent();
    m_plot->addSentLane();
    m_plot->updateLanes();
    nameSentLane();
}

void TimelineWindow::nameSentLane()
{
    TimelineLane* lane = m_plot->lane(LaneKind::Sent);
    if (!lane)
        return;
    qint64 pieces = 0;
    qint64 polls = 0;
    qint64 notes = 0;
    QStringList rows;
    for (const SentMark& m : m_sent) {
        (m.poll ? polls : m.note ? notes : pieces) += m.count;
        if (!m.poll && rows.size() < kSentReadRows)
            rows << m.text + QStringLiteral(" at ") + placeText(qint64(m.at), lineAt(m.at));
    }
    const qint64 listed = pieces + notes;
    if (listed > rows.size())
        rows << QStringLiteral("and %1 more").arg(listed - rows.size());
    QString name =
        QStringLiteral("Sent lane: %1 sent, %2 polls, %3 notes").arg(pieces).arg(polls).arg(notes);
    if (!rows.isEmpty())
        name += QStringLiteral("; ") + rows.join(QStringLiteral("; "));
    lane->setAccessibleName(name);
}

void TimelineWindow::setFindHits(const std::vector<SearchHit>& hits)
{
    std::vector<SearchHit> ordered = hits;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.offset < b.offset; });
    const TimelineSummary& s = summary();
    m_hits = TimelineSeries(s.scale());
    m_hits.reserve(qsizetype(ordered.size()));
    CaptureTimes::Walk walk(m_index->times());
    for (const SearchHit& hit : ordered)
        m_hits.add(s.unit() == TimelineSummary::Unit::Lines
                       ? hit.line
                       : walk.timeAt(hit.offset).value_or(s.start()),
                   quint32(hit.line));
    m_hits.finish();
    m_plot->updateLanes();
}

std::optional<qsizetype> TimelineWindow::faultNear(double x) const
{
    const TimelineSeries& faults = summary().faults();
    const qsizetype from = faults.firstFrom(qint64(std::floor(positionAt(x - kReachPx))));
    std::optional<qsizetype> best;
    double bestDistance = kReachPx + 1;
    for (qsizetype i = from; i < faults.size(); ++i) {
        const double d = std::abs(xAt(double(faults.position(i))) - x);
        if (xAt(double(faults.position(i))) > x + kReachPx)
            break;
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

qint64 TimelineWindow::faultLine(qsizetype fault) const
{
    return m_index->place(LogIndex::Event::NewFault, summary().faults().value(fault)).line;
}

QString TimelineWindow::placeText(qint64 position, qint64 line) const
{
    const QString where = QStringLiteral("line ") + timelineLine(line);
    if (summary().unit() == TimelineSummary::Unit::Lines)
        return where;
    return timelineTime(position, m_format.dates, 3) + QLatin1Char(' ') + where;
}

QString TimelineWindow::faultRow(qsizetype fault) const
{
    const TimelineSeries& faults = summary().faults();
    const quint32 number = faults.value(fault);
    return placeText(faults.position(fault), faultLine(fault)) + QStringLiteral(": ") +
           m_index->faultText(LogIndex::Event::NewFault, number);
}

void TimelineWindow::chooseFaultNear(int step)
{
    const TimelineSeries& faults = summary().faults();
    if (faults.size() == 0)
        return;
    // The faults' lines grow with their rows: the first row past the cursor's line.
    qsizetype lo = 0;
    qsizetype hi = faults.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (faultLine(mid) <= m_cursorLine)
            lo = mid + 1;
        else
            hi = mid;
    }
    qsizetype row = lo;
    if (step < 0) {
        row = lo - 1;
        if (row >= 0 && faultLine(row) == m_cursorLine)
            --row;
    }
    if (row < 0 || row >= faults.size())
        return;
    m_faultList->setCurrentIndex(m_faultModel->index(int(row)));
    choose(faultLine(row));
}

QString TimelineWindow::cursorText() const
{
    if (m_cursorLine <= 0)
        return QStringLiteral("No moment chosen: click a lane or a fault to go there in the "
                              "replay.");
    const LogIndex& x = *m_index;
    const qint64 next = m_cursorLine + 1;
    QString text = m_cursorAt ? placeText(qint64(*m_cursorAt), m_cursorLine)
                              : QStringLiteral("line ") + timelineLine(m_cursorLine);
    QStringList values;
    const std::optional<qsizetype> speed = x.previous(LogIndex::Event::Speed, next);
    values << QStringLiteral("speed ") +
                  (speed ? x.speedText(*speed).trimmed() : QStringLiteral("none"));
    const std::optional<qsizetype> dump = x.previous(LogIndex::Event::Dump, next);
    std::array<QString, kGridCells> cells;
    if (dump)
        cells = x.dumpCells(*dump);
    values << QStringLiteral("landing ") +
                  (dump ? TimelineSummary::landingName(TimelineSummary::landingCode(cells))
                        : QStringLiteral("none"));
    const std::optional<qsizetype> fault = x.previous(LogIndex::Event::NewFault, next);
    values << QStringLiteral("fault ") +
                  (fault ? x.faultText(LogIndex::Event::NewFault, *fault) : QStringLiteral("none"));
    for (const QString& name : m_signals) {
        const QString value = dump ? cells[size_t(cellNamed(name))].trimmed() : QString();
        values << name + QLatin1Char(' ') + (value.isEmpty() ? QStringLiteral("none") : value);
    }
    return text + QStringLiteral(": ") + values.join(QStringLiteral(", "));
}

void TimelineWindow::updateReadout()
{
    if (!m_readout)
        return;
    const QString text = cursorText();
    m_readout->setText(text);
    m_readout->setAccessibleName(QStringLiteral("Cursor: ") + text);
}

QList<AxisTick> TimelineWindow::ticks() const
{
    const QFontMetrics metrics(m_plot->lane(LaneKind::Axis)->font());
    return axisTicks(m_format, m_from, m_span, laneWidth(),
                     [&](const QString& t) { return metrics.horizontalAdvance(t); });
}

void TimelineWindow::keyPressEvent(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const double around = m_cursorAt && *m_cursorAt >= m_from && *m_cursorAt < m_from + m_span
                              ? *m_cursorAt
                              : m_from + m_span / 2;
    switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(2, around);
        break;
    case Qt::Key_Minus:
        zoomBy(0.5, around);
        break;
    case Qt::Key_0:
        showWholeLog();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int way = e->key() == Qt::Key_Left ? -1 : 1;
        if (ctrl)
            chooseFaultNear(way);
        else if (shift)
            choose(lineAt(around + way * kKeyCursorViews * m_span));
        else
            panBy(way * kKeyPanViews);
        break;
    }
    case Qt::Key_PageUp:
        panBy(-1);
        break;
    case Qt::Key_PageDown:
        panBy(1);
        break;
    case Qt::Key_Home:
        setView(double(summary().start()), m_span);
        break;
    case Qt::Key_End:
        setView(double(summary().end()) - m_span, m_span);
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    e->accept();
}

QString TimelineWindow::laneToolTip(LaneKind kind, int cell, double x) const
{
    const TimelineSummary& s = summary();
    const double at = positionAt(x);
    const auto when = [&](double position) {
        return s.unit() == TimelineSummary::Unit::Lines
                   ? QStringLiteral("line ") + timelineLine(qint64(position))
                   : timelineTime(qint64(position), m_format.dates, 3);
    };
    switch (kind) {
    case LaneKind::Axis:
        return when(at);
    case LaneKind::Speed: {
        const std::optional<quint32> v = s.speed().valueAt(qint64(at));
        return v ? QStringLiteral("Speed %1 at %2").arg(*v).arg(when(at)) : QString();
    }
    case LaneKind::Landing: {
        const TimelineSeries& arrivals = s.arrivals();
        const qsizetype from = arrivals.firstFrom(qint64(std::floor(positionAt(x - kReachPx))));
        if (from < arrivals.size() && xAt(double(arrivals.position(from))) <= x + kReachPx) {
            const quint32 number = arrivals.value(from);
            return m_index->faultText(LogIndex::Event::NewFault, number) + QStringLiteral(": ") +
                   placeText(arrivals.position(from),
                             m_index->place(LogIndex::Event::NewFault, number).line);
        }
        const std::optional<quint32> code = s.landing().valueAt(qint64(at));
        return code ? QStringLiteral("Landing %1 at %2")
                          .arg(TimelineSummary::landingName(*code), when(at))
                    : QString();
    }
    case LaneKind::Faults: {
        const TimelineSeries& faults = s.faults();
        QStringList rows;
        qsizetype i = faults.firstFrom(qint64(std::floor(positionAt(x - kReachPx))));
        qsizetype more = 0;
        for (; i < faults.size() && xAt(double(faults.position(i))) <= x + kReachPx; ++i) {
            if (rows.size() < kFaultsInTipRows)
                rows << faultRow(i);
            else
                ++more;
        }
        if (more > 0)
            rows << QStringLiteral("and %1 more").arg(more);
        return rows.join(QLatin1Char('\n'));
    }
    case LaneKind::Sent:
        return sentTip(x);
    case LaneKind::Signal: {
        const std::optional<quint32> v = s.cell(cell).valueAt(qint64(at));
        return v ? QStringLiteral("%1 %2 at %3")
                       .arg(signalName(cell), TimelineSummary::cellShown(*v), when(at))
                 : QString();
    }
    }
    return QString();
}

TimelineSeries::Columns TimelineWindow::columnsOf(const TimelineSeries& series, int width) const
{
    return series.columns(m_from, m_span / width, width);
}

void TimelineWindow::paintLane(QPainter& p, LaneKind kind, int cell, const QRect& r) const
{
    p.fillRect(r, QColor(kind == LaneKind::Axis ? kAxisBack : kLaneBack));
    // Past the log's end (a view never starts before its start) nothing is drawn.
    const double end = xAt(double(summary().end()));
    if (end < r.width())
        p.fillRect(QRectF(end, 0, r.width() - end, r.height()), QColor(kAxisBack));
    switch (kind) {
    case LaneKind::Axis:
        paintAxis(p, r);
        break;
    case LaneKind::Speed:
        paintSpeed(p, r);
        break;
    case LaneKind::Landing:
        paintLanding(p, r);
        break;
    case LaneKind::Faults:
        paintFaults(p, r);
        break;
    case LaneKind::Sent:
        paintSent(p, r);
        break;
    case LaneKind::Signal:
        paintSignal(p, summary().cell(cell), r, false);
        break;
    }
    p.setPen(QColor(kRule));
    p.drawLine(0, r.height() - 1, r.width(), r.height() - 1);
    // On the axis the cursor stays below the labels.
    const int labels = kind == LaneKind::Axis ? r.height() - 2 * kTickPx : 0;
    paintCursor(p, r.adjusted(0, labels, 0, 0));
}

void TimelineWindow::paintAxis(QPainter& p, const QRect& r) const
{
    const QFontMetrics metrics(p.font());
    if (m_plot->hasFocus()) {
        p.setPen(QPen(QColor(kInk), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    std::vector<QLineF> marks;
    p.setPen(QColor(kInk));
    for (const AxisTick& tick : ticks()) {
        marks.emplace_back(tick.x, r.height() - kTickPx, tick.x, r.height());
        p.drawText(QPointF(tick.x + kTickPadPx, 2 + metrics.ascent()), tick.label);
    }
    p.drawLines(marks.data(), int(marks.size()));
    // Find hits: orange triangles pointing up at the axis.
    if (m_hits.size() == 0)
        return;
    const TimelineSeries::Columns hits = columnsOf(m_hits, r.width());
    QPainterPath path;
    int last = -kMarkSpacingPx;
    for (int c = 0; c < r.width(); ++c) {
        if (hits.columns[size_t(c)].count == 0 || c - last < kMarkSpacingPx)
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

void TimelineWindow::paintSteps(QPainter& p, const TimelineSeries& series, const QRect& r,
                                quint32 top, const QString& topText,
                                const QString& bottomText) const
{
    const TimelineSeries::Columns cols = columnsOf(series, r.width());
    const double high = r.top() + kLanePadPx;
    const double low = r.bottom() - kLanePadPx;
    const auto y = [&](quint32 v) { return low - (low - high) * std::min(1.0, double(v) / top); };
    const double end = std::min<double>(r.width(), xAt(double(summary().end())));
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

void TimelineWindow::paintSpeed(QPainter& p, const QRect& r) const
{
    paintSteps(p, summary().speed(), r, m_speedTop, QString::number(m_speedTop), QString());
}

void TimelineWindow::paintLanding(QPainter& p, const QRect& r) const
{
    // Where the car stood, from the bottom landing up, below its arrivals.
    const int marks = 2 * kMarkPx + 2;
    paintSteps(p, summary().landing(), QRect(0, marks, r.width(), r.height() - marks), m_landingTop,
               TimelineSummary::landingName(m_landingTop), TimelineSummary::landingName(0));
    // Arrivals: blue triangles pointing down at the lane's top, the landing beside each
    // where there is room.
    const QFontMetrics metrics(p.font());
    const TimelineSeries::Columns cols = columnsOf(summary().arrivals(), r.width());
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

void TimelineWindow::paintFaults(QPainter& p, const QRect& r) const
{
    const TimelineSeries::Columns cols = columnsOf(summary().faults(), r.width());
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
void TimelineWindow::paintSent(QPainter& p, const QRect& r) const
{
    const double mid = r.height() / 2.0;
    const auto first = std::lower_bound(m_sent.begin(), m_sent.end(), positionAt(-kReachPx),
                                        [](const SentMark& m, double at) { return m.at < at; });
    std::vector<QLineF> marks;
    std::vector<QLineF> noteMarks;
    p.setPen(Qt::NoPen);
    for (const SentMark& m : m_sent) {
        if (!m.poll || m.last < m_from || m.at > m_from + m_span)
            continue;
        const double x0 = xAt(m.at);
        const double w = std::max(1.0, xAt(m.last) - x0);
        const int shade = int(std::clamp(40.0 + 40.0 * double(m.count) / w, 40.0, 200.0));
        QColor band(kInk);
        band.setAlpha(shade);
        p.fillRect(QRectF(x0, mid - kMarkPx / 2.0, w, double(kMarkPx)), band);
    }
    for (auto it = first; it != m_sent.end() && xAt(it->at) <= r.width() + kReachPx; ++it)
        if (!it->poll)
            (it->note ? noteMarks : marks)
                .emplace_back(xAt(it->at), mid - kMarkPx - 1, xAt(it->at), mid + kMarkPx + 1);
    p.setPen(QPen(QColor(kOrange), 2));
    p.drawLines(marks.data(), int(marks.size()));
    p.setPen(QPen(QColor(kBlue), 3));
    p.drawLines(noteMarks.data(), int(noteMarks.size()));
}

QString TimelineWindow::sentTip(double x) const
{
    QStringList rows;
    const SentMark* run = nullptr;
    const double from = positionAt(x - kReachPx);
    const double to = positionAt(x + kReachPx);
    for (const SentMark& m : m_sent) {
        if (m.at > to)
            break;
        if (!m.poll && m.at >= from && rows.size() < kFaultsInTipRows)
            rows << m.text + QStringLiteral(": ") + placeText(qint64(m.at), lineAt(m.at));
        if (m.poll && m.at <= to && m.last >= from)
            run = &m;
    }
    if (rows.isEmpty() && run)
        rows << QStringLiteral("%1 polls: %2").arg(run->count).arg(run->text);
    return rows.join(QLatin1Char('\n'));
}

void TimelineWindow::paintSignal(QPainter& p, const TimelineSeries& series, const QRect& r,
                                 bool landing) const
{
    const QFontMetrics metrics(p.font());
    const TimelineSeries::Columns cols = columnsOf(series, r.width());
    const double high = r.top() + kLanePadPx;
    const double low = r.bottom() - kLanePadPx;
    const double end = std::min<double>(r.width(), xAt(double(summary().end())));
    std::vector<QLineF> lines;
    std::vector<QRectF> filled;
    std::vector<QRectF> busy;
    struct Label {
        QRectF box;
        QString text;
    };
    std::vector<Label> labels;
    const auto textOf = [&](quint32 v) {
        return landing ? TimelineSummary::landingName(v) : TimelineSummary::cellShown(v);
    };
    const auto bitOf = [&](quint32 v) {
        return landing ? std::nullopt : TimelineSummary::cellBit(v);
    };
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

void TimelineWindow::paintCursor(QPainter& p, const QRect& r) const
{
    if (!m_cursorAt)
        return;
    const double x = xAt(*m_cursorAt);
    if (x < 0 || x >= r.width())
        return;
    p.setPen(QPen(QColor(kInk), kCursorPx));
    p.drawLine(QLineF(x, r.top(), x, r.bottom() + 1));
}

} // namespace vantrel

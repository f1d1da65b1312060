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
#include <functional>

namespace vantrel
{

using namespace timelinelane;

namespace
{
constexpr int kFaultsInTipRows = 6;
constexpr int kSentReadRows = 100;  // pieces and notes the sent lane's name lists at most
constexpr double kWheelNotch = 120; // a wheel's step, in its angle units
constexpr double kZoomPerNotch = 1.4142135623730951; // closer by this a step
constexpr double kKeyPanViews = 0.125;               // an arrow key moves this much of the view
constexpr double kKeyCursorViews = 0.02;             // Shift+arrow moves the cursor this much
constexpr quint32 kTopLanding = 6;                   // landings B and 1 to 6 at least
constexpr int kLanesStretch = 4; // of the window's room, against the fault list's 1
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

// What the lanes ask of the window that owns them: to be drawn, a tooltip at x, a click
// at x.
struct TimelineLaneHooks {
    std::function<void(QPainter&, TimelineLaneKind, int, const QRect&)> paint;
    std::function<QString(TimelineLaneKind, int, double)> tip;
    std::function<void(TimelineLaneKind, double)> click;
};

// One lane of the timeline (or its axis): drawn by the window from the summary.
class TimelineLane final : public QWidget
{
public:
    TimelineLane(const TimelineLaneHooks& hooks, TimelineLaneKind kind, int cell, QWidget* parent)
        : QWidget(parent), m_hooks(hooks), m_kind(kind), m_cell(cell)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    TimelineLaneKind kind() const { return m_kind; }
    int cell() const { return m_cell; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        m_hooks.paint(p, m_kind, m_cell, rect());
    }
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(e);
            const QString tip = m_hooks.tip(m_kind, m_cell, help->pos().x());
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, this);
            return true;
        }
        return QWidget::event(e);
    }

private:
    const TimelineLaneHooks& m_hooks;
    TimelineLaneKind m_kind;
    int m_cell;
};

// The lanes with their names at their left, laid out alike so that one x is one axis
// position in every lane; the signal lanes scroll below the others when there are many.
// Takes the mouse: the wheel zooms around the pointer, a drag pans, a click chooses.
class TimelinePlot final : public QWidget
{
public:
    // With the sent lane where the log has something sent or a note.
    TimelinePlot(TimelineWindow* w, TimelineLaneHooks hooks, bool sent)
        : QWidget(w), m_w(w), m_hooks(std::move(hooks))
    {
        setObjectName(QStringLiteral("Lanes"));
        setFocusPolicy(Qt::StrongFocus);
        m_signalArea = new QWidget(this);
        m_signalArea->setObjectName(QStringLiteral("SignalLanes"));
        m_scroll = new QScrollBar(Qt::Vertical, this);
        m_scroll->setObjectName(QStringLiteral("SignalScroll"));
        connect(m_scroll, &QScrollBar::valueChanged, this, [this] { relayout(); });
        using K = TimelineLaneKind;
        const bool times = w->summary().unit() == TimelineSummary::Unit::Milliseconds;
        addRow(m_fixed, this, K::Axis, -1, QStringLiteral("Axis"),
               times ? QStringLiteral("Time") : QStringLiteral("Line"));
        addRow(m_fixed, this, K::Speed, -1, QStringLiteral("Speed"), QStringLiteral("Speed"));
        addRow(m_fixed, this, K::Landing, -1, QStringLiteral("Landing"), QStringLiteral("Landing"));
        addRow(m_fixed, this, K::Faults, -1, QStringLiteral("Fault"), QStringLiteral("Faults"));
        if (sent)
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
            addRow(m_signals, m_signalArea, TimelineLaneKind::Signal, cell,
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
    TimelineLane* lane(TimelineLaneKind kind) const
    {
        for (const Row& row : m_fixed)
            if (row.lane->kind() == kind)
                return row.lane;
        return nullptr;
    }
    // The sent lane appears with its first mark (a note added while the window is open).
    void addSentLane()
    {
        if (lane(TimelineLaneKind::Sent))
            return;
        addRow(m_fixed, this, TimelineLaneKind::Sent, -1, QStringLiteral("Sent"),
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
        m_hooks.click(m_pressedLane->kind(), e->position().x() - m_gutter);
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

    void addRow(QList<Row>& rows, QWidget* parent, TimelineLaneKind kind, int cell,
                const QString& name, const QString& caption)
    {
        auto* label = new QLabel(caption, parent);
        label->setObjectName(name + QStringLiteral("Name"));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* lane = new TimelineLane(m_hooks, kind, cell, parent);
        lane->setObjectName(name + QStringLiteral("Lane"));
        rows.append({label, lane});
    }

    int lineHeight() const { return fontMetrics().height(); }
    int heightOf(TimelineLaneKind kind) const
    {
        using K = TimelineLaneKind;
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
    TimelineLaneHooks m_hooks;
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
    FaultListModel(const TimelineWindow& w, std::function<QString(qsizetype)> row, QObject* parent)
        : QAbstractListModel(parent), m_w(w), m_row(std::move(row))
    {
    }
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(m_w.summary().faults().size());
    }
    QVariant data(const QModelIndex& i, int role) const override
    {
        if (!i.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        return m_row(i.row());
    }

private:
    const TimelineWindow& m_w;
    std::function<QString(qsizetype)> m_row;
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
    : QWidget(parent, Qt::Window), m_index(std::move(index)), m_view(m_index)
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
    connect(m_zoomIn, &QPushButton::clicked, this, [this] { zoomBy(2, m_view.focus()); });
    connect(m_zoomOut, &QPushButton::clicked, this, [this] { zoomBy(0.5, m_view.focus()); });
    connect(m_whole, &QPushButton::clicked, this, &TimelineWindow::showWholeLog);

    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("Cursor"));
    m_readout->setWordWrap(true);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    top->addWidget(m_readout);

    TimelineLaneHooks hooks;
    hooks.paint = [this](QPainter& p, LaneKind kind, int cell, const QRect& r) {
        paintLane(p, kind, cell, r);
    };
    hooks.tip = [this](LaneKind kind, int cell, double x) { return laneToolTip(kind, cell, x); };
    hooks.click = [this](LaneKind kind, double x) { laneClicked(kind, x); };
    m_plot = new TimelinePlot(this, std::move(hooks), !m_sent.empty());
    // Room goes to the lanes up to all of them, then to the list of faults.
    top->addWidget(m_plot, kLanesStretch);

    auto* faultsCaption = new QLabel(QStringLiteral("New &faults (click one to go there):"), this);
    faultsCaption->setObjectName(QStringLiteral("FaultListName"));
    top->addWidget(faultsCaption);
    m_faultList = new FaultListView(this);
    m_faultList->setObjectName(QStringLiteral("FaultList"));
    m_faultList->setUniformItemSizes(true);
    m_faultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_faultModel = new FaultListModel(
        *this, [this](qsizetype fault) { return faultRow(fault); }, m_faultList);
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
    Q_EMIT noteWanted(std::max<qint64>(1, cursorLine()));
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
    m_view.setView(from, span);
    viewChanged();
}

void TimelineWindow::showWholeLog()
{
    m_view.showWhole();
    viewChanged();
}

void TimelineWindow::zoomBy(double factor, double around)
{
    m_view.zoomBy(factor, around);
    viewChanged();
}

void TimelineWindow::panBy(double fraction)
{
    m_view.panBy(fraction);
    viewChanged();
}

int TimelineWindow::laneWidth() const
{
    return m_plot->laneWidth();
}

double TimelineWindow::positionAt(double x) const
{
    return m_view.positionAt(x, laneWidth());
}

double TimelineWindow::xAt(double position) const
{
    return m_view.xAt(position, laneWidth());
}

qint64 TimelineWindow::lineAt(double position) const
{
    return m_view.lineAt(position);
}

void TimelineWindow::viewChanged()
{
    m_plot->updateLanes();
}

void TimelineWindow::setCursorLine(qint64 line)
{
    m_view.setCursorLine(line);
    updateReadout();
    m_plot->updateLanes();
}

void TimelineWindow::choose(qint64 line)
{
    setCursorLine(line);
    if (cursorLine() > 0)
        Q_EMIT lineChosen(cursorLine());
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
    std::stable_sort(
        m_sent.begin(), m_sent.end(),
        [](const TimelineSentMark& a, const TimelineSentMark& b) { return a.at < b.at; });
}

void TimelineWindow::reloadSent()
{
    loadSent();
    if (!m_sent.empty())
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
    for (const TimelineSentMark& m : m_sent) {
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
        if (faultLine(mid) <= cursorLine())
            lo = mid + 1;
        else
            hi = mid;
    }
    qsizetype row = lo;
    if (step < 0) {
        row = lo - 1;
        if (row >= 0 && faultLine(row) == cursorLine())
            --row;
    }
    if (row < 0 || row >= faults.size())
        return;
    m_faultList->setCurrentIndex(m_faultModel->index(int(row)));
    choose(faultLine(row));
}

QString TimelineWindow::cursorText() const
{
    const qint64 cursorLine = m_view.cursorLine();
    const std::optional<double> cursorAt = m_view.cursorPosition();
    if (cursorLine <= 0)
        return QStringLiteral("No moment chosen: click a lane or a fault to go there in the "
                              "replay.");
    const LogIndex& x = *m_index;
    const qint64 next = cursorLine + 1;
    QString text = cursorAt ? placeText(qint64(*cursorAt), cursorLine)
                            : QStringLiteral("line ") + timelineLine(cursorLine);
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
    return axisTicks(m_format, m_view.from(), m_view.span(), laneWidth(),
                     [&](const QString& t) { return metrics.horizontalAdvance(t); });
}

void TimelineWindow::keyPressEvent(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const double around = m_view.focus();
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
            choose(lineAt(around + way * kKeyCursorViews * m_view.span()));
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
        setView(double(summary().start()), m_view.span());
        break;
    case Qt::Key_End:
        setView(double(summary().end()) - m_view.span(), m_view.span());
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

void TimelineWindow::paintLane(QPainter& p, LaneKind kind, int cell, const QRect& r) const
{
    const TimelinePaint c{p, m_view, r, laneWidth()};
    paintLaneBack(c, kind);
    switch (kind) {
    case LaneKind::Axis:
        paintAxis(c, ticks(), m_hits, m_plot->hasFocus());
        break;
    case LaneKind::Speed:
        paintSpeed(c, m_speedTop);
        break;
    case LaneKind::Landing:
        paintLanding(c, m_landingTop);
        break;
    case LaneKind::Faults:
        paintFaults(c);
        break;
    case LaneKind::Sent:
        paintSent(c, m_sent);
        break;
    case LaneKind::Signal:
        paintSignal(c, summary().cell(cell));
        break;
    }
    paintLaneEnd(c, kind);
}

void TimelineWindow::laneClicked(LaneKind kind, double x)
{
    if (kind == LaneKind::Faults)
        if (const std::optional<qsizetype> fault = faultNear(x)) {
            choose(faultLine(*fault));
            return;
        }
    choose(lineAt(positionAt(x)));
}

QString TimelineWindow::sentTip(double x) const
{
    QStringList rows;
    const TimelineSentMark* run = nullptr;
    const double from = positionAt(x - kReachPx);
    const double to = positionAt(x + kReachPx);
    for (const TimelineSentMark& m : m_sent) {
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

} // namespace vantrel

#include "replayscreen.h"

#include "application.h"

#include "carscreen/texts.h"
#include "replay/lognavigator.h"
#include "replay/logreplay.h"
#include "replay/noteswindow.h"
#include "replay/pacebar.h"
#include "replay/timelinewindow.h"
#include "widgets/accessible.h"
#include "widgets/crlfedit.h"
#include "widgets/frameclock.h"
#include "widgets/readout.h"
#include "widgets/textbox.h"
#include "widgets/twips.h"
#include "widgets/vtimer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>

namespace vantrel
{

namespace
{
// Paints a control in the system's own window colour rather than the screen's grey.
void useSystemWindowColour(QWidget* w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}
} // namespace

replay::replay(const Services& services, QWidget* parent) : QMainWindow(parent), m_s(services)
{
    setObjectName(QStringLiteral("replay"));
    setWindowTitle(QLatin1String(text::kCarCaption));
    setFont(windowFont());
    buildLayout();
    FrameClock::instance().pace(this);
    buildFoot();
    buildMenu();
    Timer1 = new VTimer("Timer1", 250, false, this);
    Timer7 = new VTimer("Timer7", 100, false, this);

    QHash<QString, QString> words = carScreenWords();
    words.insert(QStringLiteral("client"), QStringLiteral("Replay screen"));
    words.insert(QStringLiteral("Text5"), QStringLiteral("Playback interval"));
    words.insert(QStringLiteral("HScroll1"), QStringLiteral("Playback pace"));
    words.insert(QStringLiteral("SerialComm1"), QStringLiteral("Port square, unused"));
    words.insert(QStringLiteral("foot"), QStringLiteral("Finding in the log"));
    words.insert(QStringLiteral("IndexProgress"), QStringLiteral("Reading the log"));
    words.insert(QStringLiteral("GoToText"), QStringLiteral("Go to line, share or time"));
    words.insert(QStringLiteral("FindText"), QStringLiteral("Find"));
    words.insert(QStringLiteral("FindCase"), QStringLiteral("Match case"));
    words.insert(QStringLiteral("FindPrevious"), QStringLiteral("Find previous"));
    words.insert(QStringLiteral("FindNext"), QStringLiteral("Find next"));

    nameControls(this, words);
    Command1->setAccessibleName(QStringLiteral("Next line")); // its caption is an arrow
    m_playback = std::make_unique<LogReplay>(*this, m_s);
    connect(MRplayLog, &QAction::triggered, m_playback.get(), &LogReplay::MRplayLog_Click);
    connect(MFileExit, &QAction::triggered, m_playback.get(), &LogReplay::MFileExit_Click);
    connect(MSaveBundle, &QAction::triggered, m_playback.get(), &LogReplay::MSaveBundle_Click);
    m_navigator = std::make_unique<LogNavigator>(*this, *m_playback, m_s);
    connect(MNotes, &QAction::triggered, this, &replay::MNotes_Click);
    // The timeline is made when first asked for, by the navigator's handler before this.
    connect(MTimeline, &QAction::triggered, this, [this] {
        if (TimelineWindow* t = m_navigator->timeline())
            connect(t, &TimelineWindow::noteWanted, this, &replay::noteAt, Qt::UniqueConnection);
    });
    // The notes shown are those of the loaded log.
    connect(m_playback.get(), &LogReplay::logLoaded, this, [this] {
        delete m_notes;
        MNotes->setEnabled(true);
    });
    connect(m_playback.get(), &LogReplay::logClosed, this, [this] {
        delete m_notes;
        MNotes->setEnabled(false);
    });
}

void replay::MNotes_Click()
{
    if (!m_notes) {
        const std::shared_ptr<const LogIndex>& index = m_navigator->index();
        if (!index) {
            m_s.boxes->show(QStringLiteral("The log is still being read: its notes open once "
                                           "it has been read."),
                            mb::OkWarning);
            return;
        }
        m_notes = new NotesWindow(
            index, [this] { return m_playback->shownLines(); }, this);
        connect(m_notes, &NotesWindow::lineChosen, this,
                [this](qint64 line) { m_navigator->goToLine(line); });
        connect(m_notes, &NotesWindow::notesChanged, m_navigator.get(),
                &LogNavigator::notesChanged);
    }
    m_notes->show();
    m_notes->raise();
    m_notes->activateWindow();
}

void replay::noteAt(qint64 line)
{
    MNotes_Click();
    if (m_notes)
        m_notes->startNoteAt(line);
}

replay::~replay() = default;

void replay::buildLayout()
{
    buildCarScreenCommon(this, *this);
    const Twips t(client);

    Text5 = new CrLfEdit(QStringLiteral("Text5"), client);
    t.place(Text5, 1200, 4920, 1335, 495);
    Text5->setWrapping(true);

    const auto option = [&](const char* name, const char* caption, int l, int w) {
        auto* b = new QRadioButton(QLatin1String(caption), client);
        b->setObjectName(QLatin1String(name));
        t.place(b, l, 5400, w, 375);
        useSystemWindowColour(b);
        return b;
    };
    Option1 = option("Option1", "Fast", 240, 615);
    Option2 = option("Option2", "Med", 840, 615);
    Option3 = option("Option3", "Slow", 1440, 735);
    Option4 = option("Option4", "Pause", 2160, 975);
    Option3->setChecked(true);
    // The group is one Tab stop, at its selected button.
    for (QRadioButton* b : {Option1, Option2, Option3, Option4}) {
        const auto tabStop = [b](bool on) {
            b->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
        };
        tabStop(b->isChecked());
        connect(b, &QRadioButton::toggled, b, tabStop);
    }

    Command1 = new QPushButton(QStringLiteral("-->"), client);
    Command1->setObjectName(QStringLiteral("Command1"));
    t.place(Command1, 3120, 5400, 495, 495);
    Command1->setAutoDefault(false);
    Command1->setEnabled(false);

    HScroll1 = new PaceBar(client);
    t.place(HScroll1, 240, 5760, 2895, 255);

    SerialComm1 = new QFrame(client);
    SerialComm1->setObjectName(QStringLiteral("SerialComm1"));
    t.place(SerialComm1, 720, 5280, 15, 15);
    useSystemWindowColour(SerialComm1);
    SerialComm1->setFocusPolicy(Qt::StrongFocus);

    Picture1->raise();

    vantrel::setTabOrder({Term, txtvel, txtpos, Text2, txtbbt, txtdpc, HScroll1, Option1, Option2,
                          Option3, Option4, Command1, Picture1, Text5, SerialComm1});
}

void replay::buildMenu()
{
    MFile = addMenu(menuBar(), "MFile", "&File");
    MCloseLog = addItem(MFile, "MCloseLog", "&Close Log File", false);
    MRplayLog = addItem(MFile, "MRplayLog", "Replay Log File");
    // Finding the moment: each needs the loaded log's index, and waits for it.
    addItem(MFile, "Bar1", nullptr);
    MGoTo = addItem(MFile, "MGoTo", "&Go To...", false);
    MGoTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    MNextDump = addItem(MFile, "MNextDump", "Next &Dump", false);
    MPrevDump = addItem(MFile, "MPrevDump", "Previous D&ump", false);
    MNextFault = addItem(MFile, "MNextFault", "Next F&ault", false);
    MPrevFault = addItem(MFile, "MPrevFault", "Previous Fau&lt", false);
    MNextArrival = addItem(MFile, "MNextArrival", "Next A&rrival", false);
    MPrevArrival = addItem(MFile, "MPrevArrival", "Previous Arri&val", false);
    MNextSent = addItem(MFile, "MNextSent", "Next &Sent Command", false);
    MPrevSent = addItem(MFile, "MPrevSent", "Previous Sent Co&mmand", false);
    MNextNote = addItem(MFile, "MNextNote", "Next Note", false);
    MPrevNote = addItem(MFile, "MPrevNote", "Prev&ious Note", false);
    addItem(MFile, "Bar2", nullptr);
    MFind = addItem(MFile, "MFind", "&Find...", false);
    MFind->setShortcut(QKeySequence::Find);
    MFindNext = addItem(MFile, "MFindNext", "Find &Next");
    MFindNext->setShortcut(QKeySequence(Qt::Key_F3));
    MFindPrev = addItem(MFile, "MFindPrev", "Find &Previous");
    MFindPrev->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    MExportSignals = addItem(MFile, "MExportSignals", "&Export Signals...", false);
    MSaveBundle = addItem(MFile, "MSaveBundle", "Save Capture As &Bundle...", false);
    MNotes = addItem(MFile, "MNotes", "N&otes...", false);
    MNotes->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    MTimeline = addItem(MFile, "MTimeline", "&Timeline...", false);
    MTimeline->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    addItem(MFile, "Bar3", nullptr);
    MFileExit = addItem(MFile, "MFileExit", "E&xit");
    fitCarScreen(this, client);
}

void replay::buildFoot()
{
    QStatusBar* foot = statusBar();
    foot->setObjectName(QStringLiteral("foot"));
    foot->setSizeGripEnabled(false);
    // Both read as what they say now, and as their words while they say nothing.
    LogPosition = new Readout(QStringLiteral("LogPosition"), QStringLiteral("Position in the log"),
                              foot, Readout::Reads::ValueElseWords);
    foot->addWidget(LogPosition, 1);
    IndexProgress = new QProgressBar(foot);
    IndexProgress->setObjectName(QStringLiteral("IndexProgress"));
    IndexProgress->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    foot->addPermanentWidget(IndexProgress);
    const auto box = [&](const char* name, const char* hint, int chars) {
        auto* e = makeLineEdit(foot, name);
        e->setPlaceholderText(QLatin1String(hint));
        e->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars);
        foot->addPermanentWidget(e);
        return e;
    };
    GoToText = box("GoToText", "Go to line, % or time", 17);
    FindText = box("FindText", "Find", 17);
    FindCase = new QCheckBox(QStringLiteral("Case"), foot);
    FindCase->setObjectName(QStringLiteral("FindCase"));
    FindCase->setToolTip(QStringLiteral("Match case"));
    foot->addPermanentWidget(FindCase);
    const auto button = [&](const char* name, Qt::ArrowType arrow, const char* tip) {
        auto* b = new QToolButton(foot);
        b->setObjectName(QLatin1String(name));
        b->setArrowType(arrow);
        b->setToolTip(QLatin1String(tip));
        b->setAutoRaise(true);
        foot->addPermanentWidget(b);
        return b;
    };
    FindPrevious = button("FindPrevious", Qt::LeftArrow, "Find previous (Shift+F3)");
    FindNext = button("FindNext", Qt::RightArrow, "Find next (F3)");
    FindCount = new Readout(QStringLiteral("FindCount"), QStringLiteral("Hits"), foot,
                            Readout::Reads::ValueElseWords);
    FindCount->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("8,888,888 hits")));
    foot->addPermanentWidget(FindCount);
}

void replay::Form_Load()
{
    m_playback->Form_Load();
}

void replay::closeEvent(QCloseEvent* e)
{
    e->accept();
    m_playback->Form_Unload();
}

} // namespace vantrel

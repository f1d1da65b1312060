#include "replayscreen.h"

#include "application.h"

#include "carscreen/texts.h"
#include "replay/logreplay.h"
#include "replay/pacebar.h"
#include "widgets/accessible.h"
#include "widgets/crlfedit.h"
#include "widgets/frameclock.h"
#include "widgets/textbox.h"
#include "widgets/twips.h"
#include "widgets/vtimer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

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
    buildMenu();
    Timer1 = new VTimer("Timer1", 250, false, this);
    Timer7 = new VTimer("Timer7", 100, false, this);

    QHash<QString, QString> words = carScreenWords();
    words.insert(QStringLiteral("client"), QStringLiteral("Replay screen"));
    words.insert(QStringLiteral("Text5"), QStringLiteral("Playback interval"));
    words.insert(QStringLiteral("HScroll1"), QStringLiteral("Playback pace"));
    words.insert(QStringLiteral("SerialComm1"), QStringLiteral("Port square, unused"));
    nameControls(this, words);
    Command1->setAccessibleName(QStringLiteral("Next line")); // its caption is an arrow
    m_playback = std::make_unique<LogReplay>(*this, m_s);
    connect(MRplayLog, &QAction::triggered, m_playback.get(), &LogReplay::MRplayLog_Click);
    connect(MFileExit, &QAction::triggered, m_playback.get(), &LogReplay::MFileExit_Click);
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
    MFileExit = addItem(MFile, "MFileExit", "E&xit");
    fitCarScreen(this, client);
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

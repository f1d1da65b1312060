#include "form1.h"

#include "application.h"
#include "carscreen/texts.h"
#include "diagnostics/carcommands.h"
#include "diagnostics/commandsender.h"
#include "diagnostics/statusscanner.h"
#include "terminal/configscrn.h"
#include "terminal/serialterminal.h"
#include "widgets/accessible.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/frameclock.h"
#include "widgets/textbox.h"
#include "widgets/twips.h"
#include "widgets/vtimer.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

namespace vantrel
{

Form1::Form1(const Services& services, QWidget* parent) : QMainWindow(parent), m_s(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(text::kCarCaption));
    setWindowIcon(appIcon());
    setFont(windowFont());
    buildLayout();
    FrameClock::instance().pace(this);
    buildMenus();
    Timer1 = new VTimer("Timer1", 250, false, this);
    Timer2 = new VTimer("Timer2", 250, false, this);
    Timer3 = new VTimer("Timer3", 8000, false, this);
    Timer4 = new VTimer("Timer4", 1, true, this);
    Timer5 = new VTimer("Timer5", 1000, false, this);
    Timer7 = new VTimer("Timer7", 100, false, this);

    m_sink = std::make_unique<PortCommands>(*m_s.serial);
    m_model = std::make_unique<CarModel>(*m_sink);
    m_terminal = std::make_unique<SerialTerminal>(*this, m_s, *m_model);
    m_scanner = std::make_unique<StatusScanner>(*this, *m_model);
    m_commands = std::make_unique<CarCommands>(*this, *m_model);
    QHash<QString, QString> words = carScreenWords();
    words.insert(QStringLiteral("Text3"), QStringLiteral("Command entry"));
    words.insert(QStringLiteral("Text4"), QStringLiteral("Stress target"));
    words.insert(QStringLiteral("Text5"), QStringLiteral("Fault text"));
    nameControls(this, words);
    connect(MFileExit, &QAction::triggered, this, [this] { m_terminal->MFileExit_Click(); });
    connect(MSettings, &QAction::triggered, this, &Form1::MSettings_Click);
}

Form1::~Form1()
{
    delete m_config; // a window of its own, working on this screen's port
}

void Form1::buildLayout()
{
    buildCarScreenCommon(this, *this);
    const Twips t(client);

    const auto button = [&](const char* name, const char* caption, int l, int tp, int w, int h) {
        auto* b = new QPushButton(QLatin1String(caption), client);
        b->setObjectName(QLatin1String(name));
        t.place(b, l, tp, w, h);
        b->setAutoDefault(false);
        return b;
    };
    Command4 = button("Command4", "ST&U", 8040, 4440, 615, 495);
    Command2 = button("Command2", "reset", 8760, 4440, 615, 495);
    Command3 = button("Command3", "DOB", 600, 4800, 615, 495);
    Command1 = button("Command1", "pmi 1", 120, 4800, 615, 495);
    Command1->raise(); // lies over the left edge of "DOB"
    Command6 = button("Command6", "stress", 2880, 4920, 615, 375);
    Command5 = button("Command5", "ST&D", 8040, 5040, 615, 615);

    Text5 = new CrLfEdit(QStringLiteral("Text5"), client);
    t.place(Text5, 4080, 4800, 2295, 855);
    Text5->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text5->setWrapping(true);
    Text4 = makeLineEdit(client, "Text4");
    t.place(Text4, 2880, 5400, 615, 285);
    Text4->setText(QStringLiteral("5"));
    Text3 = makeLineEdit(client, "Text3");
    t.place(Text3, 240, 5760, 9615, 975);
    Text3->hide();
    Picture1->raise();

    vantrel::setTabOrder({Term, Command1, Command2, txtvel, txtpos, Command3, Text2, Command4,
                          Command5, txtbbt, Text3, Command6, Text4, txtdpc, Picture1, Text5});
}

void Form1::buildMenus()
{
    MFile = addMenu(menuBar(), "MFile", "&File");
    MOpenLog = addItem(MFile, "MOpenLog", "&Open Log File...");
    MCloseLog = addItem(MFile, "MCloseLog", "&Close Log File", false);
    MRplayLog = addItem(MFile, "MRplayLog", "Replay Log File");
    M3 = addItem(MFile, "M3", nullptr);
    MSendText = addItem(MFile, "MSendText", "&Transmit Text File...", false);
    Bar2 = addItem(MFile, "Bar2", nullptr);
    MFileExit = addItem(MFile, "MFileExit", "E&xit");
    MPort = addMenu(menuBar(), "MPort", "&CommPort");
    MOpen = addItem(MPort, "MOpen", "Port &Open");
    MOpen->setCheckable(true);
    MSettings = addItem(MPort, "MSettings", "&Settings...");
    fitCarScreen(this, client);
}

void Form1::Form_Load()
{
    m_terminal->Form_Load();
}

void Form1::MSettings_Click()
{
    if (!m_config) {
        m_config = new ConfigScrn(m_s, [this] { m_terminal->portStateChanged(); });
        m_config->setFont(windowFont());
    }
    m_config->show();
    m_config->raise();
    m_config->activateWindow();
}

void Form1::closeEvent(QCloseEvent* e)
{
    int cancel = 0;
    m_terminal->Form_Unload(cancel);
    if (cancel)
        e->ignore();
    else
        e->accept();
}

} // namespace vantrel

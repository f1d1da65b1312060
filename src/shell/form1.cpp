#include "form1.h"

#include "appicon.h"
#include "diagnostics/cardiagnostics.h"
#include "platform/colors.h"
#include "platform/crlfedit.h"
#include "platform/textbox.h"
#include "platform/twips.h"
#include "platform/vtimer.h"
#include "terminal/configscrn.h"
#include "terminal/serialterminal.h"

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
    setWindowTitle(QLatin1String(CarDiagnostics::kCaption));
    setWindowIcon(appIcon());
    setFont(carScreenFont());
    buildLayout();
    buildMenus();

    Timer1 = new VTimer(250, false, this);
    Timer2 = new VTimer(250, false, this);
    Timer3 = new VTimer(8000, false, this);
    Timer4 = new VTimer(1, true, this);
    Timer5 = new VTimer(1000, false, this);
    Timer7 = new VTimer(100, false, this);
    for (auto [t, name] : {std::pair{Timer1, "Timer1"},
                           {Timer2, "Timer2"},
                           {Timer3, "Timer3"},
                           {Timer4, "Timer4"},
                           {Timer5, "Timer5"},
                           {Timer7, "Timer7"}})
        t->setObjectName(QLatin1String(name));

    m_terminal = std::make_unique<SerialTerminal>(
        SerialTerminal::Controls{this, Term, Text1, Label1, Label4, Label5, MOpen, MOpenLog,
                                 MCloseLog, Timer2, Timer4, Timer5},
        m_s);
    m_diagnostics = std::make_unique<CarDiagnostics>(
        CarDiagnostics::Controls{this,     Term,     Text1,    txtvel,   txtbbt,   txtpos,   Text2,
                                 Text3,    Text4,    Text5,    Picture1, Label3,   Label4,   Label5,
                                 Command1, Command2, Command3, Command4, Command5, Command6, Timer1,
                                 Timer2,   Timer3,   Timer4,   Timer5,   grid},
        *m_s.serial);

    connect(MFileExit, &QAction::triggered, this, [this] { m_terminal->MFileExit_Click(); });
    connect(MSettings, &QAction::triggered, this, &Form1::MSettings_Click);
    connect(MRplayLog, &QAction::triggered, this, [this] {
        if (showReplay)
            showReplay();
    });
}

Form1::~Form1()
{
    delete m_config; // a window of its own, working on this screen's port
}

void Form1::buildLayout()
{
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    buildCarScreenCommon(client, *this);
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
    Text5->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Text5->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text4 = makeLineEdit(client, "Text4");
    t.place(Text4, 2880, 5400, 615, 285);
    Text4->setText(QStringLiteral("5"));
    Text3 = makeLineEdit(client, "Text3");
    t.place(Text3, 240, 5760, 9615, 975);
    Text3->hide();
    Picture1->raise();

    QWidget* order[] = {Term,  Command1, Command2, txtvel, txtpos, Command3,
                        Text2, Command4, Command5, txtbbt, Text3,  Command6,
                        Text4, txtdpc,   Picture1, Text5};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void Form1::buildMenus()
{
    const auto item = [](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(QLatin1String(caption));
        a->setObjectName(QLatin1String(name));
        return a;
    };
    const auto separator = [](QMenu* menu, const char* name) {
        QAction* a = menu->addSeparator();
        a->setObjectName(QLatin1String(name));
        return a;
    };
    MFile = menuBar()->addMenu(QStringLiteral("&File"));
    MFile->setObjectName(QStringLiteral("MFile"));
    MOpenLog = item(MFile, "MOpenLog", "&Open Log File...");
    MCloseLog = item(MFile, "MCloseLog", "&Close Log File");
    MCloseLog->setEnabled(false);
    MRplayLog = item(MFile, "MRplayLog", "Replay Log File");
    M3 = separator(MFile, "M3");
    MSendText = item(MFile, "MSendText", "&Transmit Text File...");
    MSendText->setEnabled(false);
    Bar2 = separator(MFile, "Bar2");
    MFileExit = item(MFile, "MFileExit", "E&xit");
    MPort = menuBar()->addMenu(QStringLiteral("&CommPort"));
    MPort->setObjectName(QStringLiteral("MPort"));
    MOpen = item(MPort, "MOpen", "Port &Open");
    MOpen->setCheckable(true);
    MSettings = item(MPort, "MSettings", "&Settings...");
    const Twips t(client);
    fitClientArea(this, client, QSize(t(11070), t(7125)));
}

void Form1::Form_Load()
{
    m_terminal->Form_Load();
}

void Form1::MSettings_Click()
{
    if (!m_config) {
        m_config = new ConfigScrn(m_s, [this] { MOpen->setChecked(m_s.serial->portOpen()); });
        m_config->setFont(carScreenFont());
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

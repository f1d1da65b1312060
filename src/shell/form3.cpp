#include "form3.h"

#include "application.h"

#include "carscreen.h"
#include "platform/accessible.h"
#include "platform/twips.h"
#include "windows.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>

namespace vantrel
{

Form3::Form3(Windows& windows, QWidget* parent) : QMainWindow(parent), m_windows(windows)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Vantrel Menu"));
    setFont(windowFont());
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    const auto item = [this](const char* name, const char* caption) {
        QAction* a = menuBar()->addAction(QLatin1String(caption));
        a->setObjectName(QLatin1String(name));
        return a;
    };
    mnuCar = item("mnuCar", "&Car diagnostics");
    mnuDispatch = item("mnuDispatch", "&dispatcher diagnostics");
    mnuDispatch->setEnabled(false);
    mnuReplay = item("mnuReplay", "&Replay");
    mnuReplay->setEnabled(false);
    connect(mnuCar, &QAction::triggered, this, &Form3::mnuCar_Click);
    connect(mnuDispatch, &QAction::triggered, this, &Form3::mnuDispatch_Click);
    connect(mnuReplay, &QAction::triggered, this, &Form3::mnuReplay_Click);

    const Twips t(this);
    fitClientArea(this, client, QSize(t(7365), t(6120)));
    nameControls(this, {{QStringLiteral("client"), QStringLiteral("Main menu")}});
}

void Form3::mnuCar_Click()
{
    m_windows.showForm1();
}

void Form3::Form_Unload()
{
    m_windows.services().exit->endProgram(0);
}

void Form3::closeEvent(QCloseEvent* e)
{
    e->accept();
    Form_Unload();
}

} // namespace vantrel

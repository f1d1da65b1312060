#include "form3.h"

#include "application.h"

#include "carscreen.h"
#include "widgets/accessible.h"
#include "widgets/twips.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>

namespace vantrel
{

Form3::Form3(const Services& services, QWidget* parent) : QMainWindow(parent), m_s(services)
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
    Q_EMIT carChosen();
}

void Form3::Form_Unload()
{
    m_s.exit->endProgram(0);
}

void Form3::closeEvent(QCloseEvent* e)
{
    e->accept();
    Form_Unload();
}

} // namespace vantrel

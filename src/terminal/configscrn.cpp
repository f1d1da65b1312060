#include "configscrn.h"

#include "platform/linesettings.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

namespace vantrel
{

ConfigScrn::ConfigScrn(const Services& services, std::function<void()> portStateChanged,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_s(services), m_portStateChanged(std::move(portStateChanged))
{
    setObjectName(QStringLiteral("ConfigScrn"));
    setWindowTitle(QStringLiteral("Configure Comm Port"));
    setAttribute(Qt::WA_DeleteOnClose);
    const Twips t(this);
    setFixedSize(t(7365), t(5550));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    t.place(Text1, 240, 960, 1335, 375);
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    t.place(Text2, 1920, 960, 975, 375);
    Label1 = new QLabel(QStringLiteral("Settings"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    t.place(Label1, 240, 720, 1335, 255);
    Label2 = new QLabel(QStringLiteral("Comm Port"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    t.place(Label2, 1920, 720, 1335, 255);
    setTabOrder(Text1, Text2);
    Form_Load();
}

void ConfigScrn::Form_Load()
{
    Text1->setText(m_s.serial->settings());
    Text2->setText(QString::number(m_s.serial->commPort()));
}

void ConfigScrn::Form_Unload()
{
    SerialComm& port = *m_s.serial;
    QStringList failures;
    const auto note = [&](const QString& why) {
        if (!why.isEmpty())
            failures << why;
    };
    const auto apply = [&] {
        note(port.setSettings(Text1->text()));
        int number = 0;
        QString why;
        if (parsePortNumber(Text2->text(), &number, &why))
            note(port.setCommPort(number));
        else
            note(why);
    };
    if (port.portOpen()) {
        note(port.setPortOpen(false));
        apply();
        note(port.setPortOpen(true));
    } else {
        apply();
    }
    if (m_portStateChanged)
        m_portStateChanged();
    if (!failures.isEmpty())
        m_s.boxes->show(failures.join(QLatin1Char('\n')), mb::OkExclamation);
}

void ConfigScrn::closeEvent(QCloseEvent* e)
{
    Form_Unload();
    e->accept();
}

} // namespace vantrel

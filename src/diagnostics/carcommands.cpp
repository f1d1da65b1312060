#include "carcommands.h"

#include "commandsender.h"
#include "statusscanner.h"

#include "carscreen/texts.h"
#include "core/pmidump.h"
#include "signalgrid.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/lamp.h"
#include "widgets/textbox.h"
#include "widgets/vtimer.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vantrel
{

namespace
{
// Enter in the command entry box: the box keeps its text, so Enter sends it again.
class EnterFilter final : public QObject
{
public:
    EnterFilter(CarCommands* d, QObject* parent) : QObject(parent), m_d(d) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                const auto mods = k->modifiers();
                const int shift = (mods & Qt::ShiftModifier ? 1 : 0) |
                                  (mods & Qt::ControlModifier ? 2 : 0) |
                                  (mods & Qt::AltModifier ? 4 : 0);
                m_d->Text3_KeyDown(13, shift);
                return true;
            }
        }
        return false;
    }

private:
    CarCommands* m_d;
};

// A click on the grey panel.
class ClickFilter final : public QObject
{
public:
    ClickFilter(CarCommands* d, QObject* parent) : QObject(parent), m_d(d) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonRelease) {
            m_d->Picture1_Click();
            return true;
        }
        return false;
    }

private:
    CarCommands* m_d;
};
} // namespace

CarCommands::CarCommands(const Form1Controls& controls, SerialComm& serial, StatusScanner& scanner,
                         QObject* parent)
    : QObject(parent), m_c(controls), m_serial(serial), m_scanner(scanner)
{
    connect(m_c.Timer1, &VTimer::Timer, this, &CarCommands::Timer1_Timer);
    connect(m_c.Timer2, &VTimer::Timer, this, &CarCommands::Timer2_Timer);
    connect(m_c.Timer3, &VTimer::Timer, this, &CarCommands::Timer3_Timer);
    connect(m_c.Timer4, &VTimer::Timer, this, &CarCommands::Timer4_Timer);
    connect(m_c.Timer5, &VTimer::Timer, this, &CarCommands::Timer5_Timer);
    connect(m_c.Command1, &QPushButton::clicked, this, &CarCommands::Command1_Click);
    connect(m_c.Command2, &QPushButton::clicked, this, &CarCommands::Command2_Click);
    connect(m_c.Command3, &QPushButton::clicked, this, &CarCommands::Command3_Click);
    connect(m_c.Command4, &QPushButton::clicked, this, &CarCommands::Command4_Click);
    connect(m_c.Command5, &QPushButton::clicked, this, &CarCommands::Command5_Click);
    connect(m_c.Command6, &QPushButton::clicked, this, &CarCommands::Command6_Click);
    m_c.Text3->installEventFilter(new EnterFilter(this, this));
    m_c.Picture1->installEventFilter(new ClickFilter(this, this));
}

bool CarCommands::isStressRunning() const
{
    return m_c.form->windowTitle() == QLatin1String(text::kStressCaption);
}

void CarCommands::focusCommandOrTerminal()
{
    if (!m_c.Text3->isHidden())
        m_c.Text3->setFocus();
    else
        m_c.Term->setFocus();
}

void CarCommands::Timer1_Timer()
{
    m_c.Timer2->setEnabled(false);
    m_c.Label3->setColor(color::LightGrey);
    if (!FillSignalGrid(*m_c.grid, m_c.Text1->text()))
        return;
    const double v = leadingNumber(m_c.grid->label(QStringLiteral("lbl514"))->text());
    if ((v == 0 && m_c.txtvel->text() != QLatin1String("  0")) || v == 1)
        sendCommand(m_serial, QStringLiteral("vel"), sent::Source::Poll).skip();
    m_c.Timer3->setEnabled(true);
    m_c.Timer1->setEnabled(false);
}

void CarCommands::Timer2_Timer()
{
    if (!m_serial.portOpen())
        return;
    sendCommand(m_serial, QStringLiteral("pmii"), sent::Source::Poll).skip();
    m_c.Label5->setColor(color::Green);
    m_c.Timer1->setEnabled(true);
}

void CarCommands::Timer3_Timer()
{
    if (isStressRunning()) {
        if (m_stressPhase == 1) {
            sendCommand(m_serial, QStringLiteral("scc") + m_c.Text4->text(), sent::Source::Stress)
                .skip();
            m_c.Label5->setColor(color::Green);
        }
        if (m_stressPhase == 2) {
            sendCommand(m_serial, QStringLiteral("scc1"), sent::Source::Stress).skip();
            m_c.Label5->setColor(color::Green);
            m_stressPhase = 0;
        }
        ++m_stressPhase;
    }
    m_c.Timer2->setEnabled(true);
}

void CarCommands::Timer4_Timer()
{
    if (m_c.Label4->color() != color::LightGrey) {
        m_c.Label4->setColor(color::LightGrey);
        if (!m_c.Text3->isHidden())
            m_c.Timer5->setEnabled(true);
    }
    if (m_c.Label5->color() != color::LightGrey)
        m_c.Label5->setColor(color::LightGrey);
    m_c.Timer4->setEnabled(false);
}

void CarCommands::Timer5_Timer()
{
    if (!m_serial.portOpen())
        return;
    sendCommand(m_serial, QStringLiteral("pmii"), sent::Source::Poll).skip();
    m_c.Label5->setColor(color::Green);
    m_c.Timer5->setEnabled(false);
    m_c.Timer1->setEnabled(true);
}

void CarCommands::Command1_Click()
{
    sendCommand(m_serial, QStringLiteral("pmii")).skip();
    m_c.Text3->show();
    m_c.Label3->setColor(color::DarkGreen);
    m_c.Timer2->setEnabled(true);
    m_c.Text4->show();
    m_c.Picture1->show();
    m_c.Text3->setFocus();
}

void CarCommands::Command2_Click()
{
    m_c.Timer3->setEnabled(false);
    m_c.Timer2->setEnabled(false);
    m_c.Timer1->setEnabled(false);
    m_c.Text3->hide();
    m_c.Picture1->hide();
    m_c.Label3->setColor(color::LightGrey);
    m_c.form->setWindowTitle(QLatin1String(text::kCarCaption));
    m_c.Term->setFocus();
    m_scanner.resetStopCount();
}

void CarCommands::Command3_Click()
{
    static const QString positions[] = {
        QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
        QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    const QString pos = m_c.txtpos->text();
    for (int i = 0; i < 7; ++i)
        if (pos == positions[i]) {
            sendCommand(m_serial, QStringLiteral("scc%1").arg(i + 1)).skip();
            return;
        }
}

void CarCommands::stepButton(const char* command)
{
    sendCommand(m_serial, QLatin1String(command)).skip();
    m_c.Label5->setColor(color::Green);
    focusCommandOrTerminal();
}

void CarCommands::Command4_Click()
{
    stepButton("stu");
}

void CarCommands::Command5_Click()
{
    stepButton("std");
}

void CarCommands::Command6_Click()
{
    if (m_c.Timer3->enabled()) {
        m_c.Timer3->setEnabled(false);
        m_c.Timer2->setEnabled(false);
        m_c.Label3->setColor(color::LightGrey);
        m_c.form->setWindowTitle(QLatin1String(text::kCarCaption));
    } else {
        m_c.Timer3->setEnabled(true);
        m_c.Text4->show();
        m_c.form->setWindowTitle(QLatin1String(text::kStressCaption));
    }
    focusCommandOrTerminal();
}

void CarCommands::Text3_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode == 13)
        sendCommand(m_serial, m_c.Text3->text(), sent::Source::Box).skip();
}

void CarCommands::Picture1_Click()
{
    m_c.Picture1->hide();
    m_c.Text3->setFocus();
}

} // namespace vantrel

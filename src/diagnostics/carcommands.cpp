// Controller commands, the polling timers and the stress test.
#include "cardiagnostics.h"

#include "platform/colors.h"
#include "platform/crlfedit.h"
#include "platform/textbox.h"
#include "platform/vtimer.h"
#include "pmidump.h"
#include "signalgrid.h"

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
    EnterFilter(CarDiagnostics* d, QObject* parent) : QObject(parent), m_d(d) {}
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
    CarDiagnostics* m_d;
};

// A click on the grey panel.
class ClickFilter final : public QObject
{
public:
    ClickFilter(CarDiagnostics* d, QObject* parent) : QObject(parent), m_d(d) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonRelease) {
            m_d->Picture1_Click();
            return true;
        }
        return false;
    }

private:
    CarDiagnostics* m_d;
};
} // namespace

CarDiagnostics::CarDiagnostics(const Controls& controls, SerialComm& serial, QObject* parent)
    : QObject(parent), m_c(controls), m_serial(serial)
{
    connect(m_c.Timer1, &VTimer::Timer, this, &CarDiagnostics::Timer1_Timer);
    connect(m_c.Timer2, &VTimer::Timer, this, &CarDiagnostics::Timer2_Timer);
    connect(m_c.Timer3, &VTimer::Timer, this, &CarDiagnostics::Timer3_Timer);
    connect(m_c.Timer4, &VTimer::Timer, this, &CarDiagnostics::Timer4_Timer);
    connect(m_c.Timer5, &VTimer::Timer, this, &CarDiagnostics::Timer5_Timer);
    connect(m_c.Command1, &QPushButton::clicked, this, &CarDiagnostics::Command1_Click);
    connect(m_c.Command2, &QPushButton::clicked, this, &CarDiagnostics::Command2_Click);
    connect(m_c.Command3, &QPushButton::clicked, this, &CarDiagnostics::Command3_Click);
    connect(m_c.Command4, &QPushButton::clicked, this, &CarDiagnostics::Command4_Click);
    connect(m_c.Command5, &QPushButton::clicked, this, &CarDiagnostics::Command5_Click);
    connect(m_c.Command6, &QPushButton::clicked, this, &CarDiagnostics::Command6_Click);
    connect(m_c.Text1, &TextBox::Change, this, &CarDiagnostics::Text1_Change);
    connect(m_c.txtvel, &QLineEdit::textChanged, this, &CarDiagnostics::txtvel_Change);
    connect(m_c.Text2, &QLineEdit::textChanged, this, &CarDiagnostics::Text2_Change);
    connect(m_c.txtbbt, &QLineEdit::textChanged, this, &CarDiagnostics::txtbbt_Change);
    connect(m_c.txtpos, &QLineEdit::textChanged, this, &CarDiagnostics::txtpos_Change);
    m_c.Text3->installEventFilter(new EnterFilter(this, this));
    m_c.Picture1->installEventFilter(new ClickFilter(this, this));
}

bool CarDiagnostics::sendCommand(const QString& command)
{
    if (!m_serial.portOpen())
        return false;
    return m_serial.output(command + QLatin1Char('\r')).ok();
}

bool CarDiagnostics::isStressRunning() const
{
    return m_c.form->windowTitle() == QLatin1String(kStressCaption);
}

void CarDiagnostics::focusCommandOrTerminal()
{
    if (!m_c.Text3->isHidden())
        m_c.Text3->setFocus();
    else
        m_c.Term->setFocus();
}

void CarDiagnostics::Timer1_Timer()
{
    m_c.Timer2->setEnabled(false);
    setBackColor(m_c.Label3, color::LightGrey);
    if (!FillSignalGrid(*m_c.grid, m_c.Text1->text()))
        return;
    const double v = leadingNumber(m_c.grid->label(QStringLiteral("lbl514"))->text());
    if ((v == 0 && m_c.txtvel->text() != QLatin1String("  0")) || v == 1)
        sendCommand(QStringLiteral("vel"));
    m_c.Timer3->setEnabled(true);
    m_c.Timer1->setEnabled(false);
}

void CarDiagnostics::Timer2_Timer()
{
    if (!m_serial.portOpen())
        return;
    sendCommand(QStringLiteral("pmii"));
    setBackColor(m_c.Label5, color::Green);
    m_c.Timer1->setEnabled(true);
}

void CarDiagnostics::Timer3_Timer()
{
    if (isStressRunning()) {
        if (m_stressPhase == 1) {
            sendCommand(QStringLiteral("scc") + m_c.Text4->text());
            setBackColor(m_c.Label5, color::Green);
        }
        if (m_stressPhase == 2) {
            sendCommand(QStringLiteral("scc1"));
            setBackColor(m_c.Label5, color::Green);
            m_stressPhase = 0;
        }
        ++m_stressPhase;
    }
    m_c.Timer2->setEnabled(true);
}

void CarDiagnostics::Timer4_Timer()
{
    if (backColor(m_c.Label4) != color::LightGrey) {
        setBackColor(m_c.Label4, color::LightGrey);
        if (!m_c.Text3->isHidden())
            m_c.Timer5->setEnabled(true);
    }
    if (backColor(m_c.Label5) != color::LightGrey)
        setBackColor(m_c.Label5, color::LightGrey);
    m_c.Timer4->setEnabled(false);
}

void CarDiagnostics::Timer5_Timer()
{
    if (!m_serial.portOpen())
        return;
    sendCommand(QStringLiteral("pmii"));
    setBackColor(m_c.Label5, color::Green);
    m_c.Timer5->setEnabled(false);
    m_c.Timer1->setEnabled(true);
}

void CarDiagnostics::Command1_Click()
{
    sendCommand(QStringLiteral("pmii"));
    m_c.Text3->show();
    setBackColor(m_c.Label3, color::DarkGreen);
    m_c.Timer2->setEnabled(true);
    m_c.Text4->show();
    m_c.Picture1->show();
    m_c.Text3->setFocus();
}

void CarDiagnostics::Command2_Click()
{
    m_c.Timer3->setEnabled(false);
    m_c.Timer2->setEnabled(false);
    m_c.Timer1->setEnabled(false);
    m_c.Text3->hide();
    m_c.Picture1->hide();
    setBackColor(m_c.Label3, color::LightGrey);
    m_c.form->setWindowTitle(QLatin1String(kCaption));
    m_c.Term->setFocus();
    m_stopCount = 0;
}

void CarDiagnostics::Command3_Click()
{
    static const QString positions[] = {
        QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
        QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    const QString pos = m_c.txtpos->text();
    for (int i = 0; i < 7; ++i)
        if (pos == positions[i]) {
            sendCommand(QStringLiteral("scc%1").arg(i + 1));
            return;
        }
}

void CarDiagnostics::stepButton(const char* command)
{
    sendCommand(QLatin1String(command));
    setBackColor(m_c.Label5, color::Green);
    focusCommandOrTerminal();
}

void CarDiagnostics::Command4_Click()
{
    stepButton("stu");
}

void CarDiagnostics::Command5_Click()
{
    stepButton("std");
}

void CarDiagnostics::Command6_Click()
{
    if (m_c.Timer3->enabled()) {
        m_c.Timer3->setEnabled(false);
        m_c.Timer2->setEnabled(false);
        setBackColor(m_c.Label3, color::LightGrey);
        m_c.form->setWindowTitle(QLatin1String(kCaption));
    } else {
        m_c.Timer3->setEnabled(true);
        m_c.Text4->show();
        m_c.form->setWindowTitle(QLatin1String(kStressCaption));
    }
    focusCommandOrTerminal();
}

void CarDiagnostics::Text3_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode == 13)
        sendCommand(m_c.Text3->text());
}

void CarDiagnostics::Picture1_Click()
{
    m_c.Picture1->hide();
    m_c.Text3->setFocus();
}

} // namespace vantrel

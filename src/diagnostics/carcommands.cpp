#include "carcommands.h"

#include "signalgrid.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/lamp.h"
#include "widgets/textbox.h"
#include "widgets/vtimer.h"

#include <QAbstractEventDispatcher>
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

CarCommands::CarCommands(const Form1Controls& controls, CarModel& model, QObject* parent)
    : QObject(parent), m_c(controls), m_model(model)
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

    connect(&m_model, &CarModel::timerChanged, this, &CarCommands::showTimer);
    // Timer4 puts the lamps out a millisecond after each received piece. Its tick is
    // taken as the program goes idle after the piece instead, within that millisecond
    // (the timer's own precision): the lamps are drawn at frames anyway, the quiet poll
    // still waits its whole second, and a stream of pieces costs one wake-up each
    // rather than two.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] {
                if (m_lampTickWhenIdle && m_model.timer(CarModel::LampTimer))
                    Timer4_Timer();
            });
    connect(&m_model, &CarModel::lampChanged, this, &CarCommands::showLamp);
    connect(&m_model, &CarModel::cellsChanged, this,
            [this] { showCells(*m_c.grid, m_model.cells()); });
    connect(&m_model, &CarModel::valueChanged, this,
            [this](CarModel::Value v, const QString& text) {
                if (v == CarModel::Caption)
                    m_c.form->setWindowTitle(text);
            });
    // Whatever else names the window (the capture log) names it in the model too: the
    // stress steps run only under the stress test's caption.
    connect(m_c.form, &QWidget::windowTitleChanged, this,
            [this](const QString& title) { m_model.setValue(CarModel::Caption, title); });
}

void CarCommands::showTimer(CarModel::Timer t, bool on)
{
    VTimer* const timers[] = {m_c.Timer1, m_c.Timer2, m_c.Timer3, m_c.Timer4, m_c.Timer5};
    timers[t]->setEnabled(on);
}

void CarCommands::showLamp(CarModel::Lamp l, bool lit)
{
    switch (l) {
    case CarModel::PollLamp:
        m_c.Label3->setColor(lit ? color::DarkGreen : color::LightGrey);
        break;
    case CarModel::ReceiveLamp:
        m_c.Label4->setColor(lit ? color::DarkRed : color::LightGrey);
        break;
    default:
        m_c.Label5->setColor(lit ? color::Green : color::LightGrey);
        break;
    }
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
    m_model.gridTick();
}

void CarCommands::Timer2_Timer()
{
    m_model.pollTick(CarModel::PollTimer);
}

void CarCommands::Timer3_Timer()
{
    m_model.stressTick(m_c.Text4->text());
}

void CarCommands::Timer4_Timer()
{
    m_model.lampTick(!m_c.Text3->isHidden());
}

void CarCommands::Timer5_Timer()
{
    m_model.pollTick(CarModel::QuietTimer);
}

void CarCommands::Command1_Click()
{
    m_model.startPolling();
    m_c.Text3->show();
    m_c.Text4->show();
    m_c.Picture1->show();
    m_c.Text3->setFocus();
}

void CarCommands::Command2_Click()
{
    m_model.stopPolling();
    m_c.Text3->hide();
    m_c.Picture1->hide();
    m_c.Term->setFocus();
}

void CarCommands::Command3_Click()
{
    static const QString positions[] = {
        QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
        QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    const QString pos = m_c.txtpos->text();
    for (int i = 0; i < 7; ++i)
        if (pos == positions[i]) {
            m_model.send(QStringLiteral("scc%1").arg(i + 1));
            return;
        }
}

void CarCommands::stepButton(const char* command)
{
    m_model.sendLit(QLatin1String(command));
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
    m_model.toggleStress();
    if (m_model.timer(CarModel::StressTimer))
        m_c.Text4->show();
    focusCommandOrTerminal();
}

void CarCommands::Text3_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode == 13)
        m_model.send(m_c.Text3->text(), sent::Source::Box);
}

void CarCommands::Picture1_Click()
{
    m_c.Picture1->hide();
    m_c.Text3->setFocus();
}

} // namespace vantrel

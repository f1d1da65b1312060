#include "serialterminal.h"

#include "carscreen/texts.h"

#include "core/carmodel.h"
#include "core/crlftext.h"
#include "core/receivedtext.h"
#include "diagnostics/commandsender.h"
#include "widgets/crlfedit.h"

#include <QAction>
#include <QLabel>

#include <cmath>

namespace vantrel
{

SerialTerminal::SerialTerminal(const Form1Controls& controls, const Services& services,
                               CarModel& model, QObject* parent)
    : QObject(parent), m_c(controls), m_s(services), m_model(model), m_log(controls, services),
      m_term(std::make_shared<CrLfText>())
{
    m_c.Term->setModel(m_term);
    connect(m_s.serial, &SerialComm::OnComm, this, &SerialTerminal::SerialComm1_OnComm);
    connect(m_s.serial, &SerialComm::received, this, &SerialTerminal::SerialComm1_Received);
    connect(m_s.serial, &SerialComm::deviceLost, this, &SerialTerminal::deviceLost);
    connect(m_s.serial, &SerialComm::deviceBack, this, &SerialTerminal::deviceBack);
    connect(m_c.MOpen, &QAction::triggered, this, &SerialTerminal::MOpen_Click);
    connect(m_c.MOpenLog, &QAction::triggered, this, [this] { m_log.MOpenLog_Click(); });
    connect(m_c.MCloseLog, &QAction::triggered, this, [this] { m_log.MCloseLog_Click(); });
    m_c.Term->onKeyPress = [this](int& key) { Term_KeyPress(key); };
    m_c.Term->takesAllKeys = [this] { return m_s.serial->portOpen(); };
    if (m_c.form)
        connect(m_c.form, &QWidget::windowTitleChanged, this, &SerialTerminal::markWatching);
}

// Watching only shows in the caption, whichever caption the screen has.
void SerialTerminal::markWatching()
{
    static const QString mark = QStringLiteral(" - watching only");
    const QString caption = m_c.form->windowTitle();
    const bool watching = m_s.serial->watchOnly();
    if (watching && !caption.endsWith(mark))
        m_c.form->setWindowTitle(caption + mark);
    else if (!watching && caption.endsWith(mark))
        m_c.form->setWindowTitle(caption.chopped(mark.size()));
}

void SerialTerminal::togglePort()
{
    if (const Result<> toggled = m_s.serial->setPortOpen(!m_s.serial->portOpen()); !toggled)
        m_s.boxes->show(toggled.why(), mb::OkExclamation);
    portStateChanged();
}

void SerialTerminal::portStateChanged()
{
    m_c.MOpen->setChecked(m_s.serial->portOpen());
    if (m_c.form)
        markWatching();
    if (m_s.serial->portOpen() && m_s.serial->watchOnly())
        m_c.Label1->setText(
            QStringLiteral("Port %1 watched only: nothing is sent").arg(m_s.serial->commPort()));
}

void SerialTerminal::Form_Load()
{
    togglePort();
    if (m_s.serial->portOpen())
        sendText(*m_s.serial, QStringLiteral("\r"), sent::Source::Program).skip();
}

void SerialTerminal::MOpen_Click()
{
    togglePort();
}

void SerialTerminal::MFileExit_Click()
{
    int cancel = 0;
    Form_Unload(cancel);
}

void SerialTerminal::Form_Unload(int& cancel)
{
    if (m_unloading) { // a second close while the output drains
        cancel = 1;
        return;
    }
    m_unloading = true;
    if (m_s.serial->portOpen()) {
        double deadline = std::round(m_s.clock->nowSeconds() + kDrainWaitSeconds);
        while (m_s.serial->outBufferCount() != 0) {
            m_s.clock->doEvents();
            if (m_s.clock->nowSeconds() <= deadline)
                continue;
            const int answer = m_s.boxes->show(QStringLiteral("Data cannot be sent"),
                                               mb::AbortRetryIgnoreQuestion);
            if (answer == mb::Abort) {
                cancel = 1;
                m_unloading = false;
                return;
            }
            if (answer == mb::Ignore)
                break;
            deadline = std::round(m_s.clock->nowSeconds() + kDrainWaitSeconds);
        }
        m_s.serial->setPortOpen(false).skip();
    }
    if (m_log.handle() != 0)
        m_log.MCloseLog_Click();
    m_s.exit->endProgram();
}

void SerialTerminal::SerialComm1_OnComm()
{
    act(commAction(m_s.serial->commEvent()));
    messageStep();
}

void SerialTerminal::act(const CommAction& action)
{
    switch (action.kind) {
    case CommAction::Kind::Nothing:
    case CommAction::Kind::Receive: // the bytes come with received()
        break;
    case CommAction::Kind::Restart:
        portRestart();
        break;
    case CommAction::Kind::Status:
        m_pendingStatus = action.text;
        break;
    case CommAction::Kind::Alert:
        m_pendingAlert = action.text;
        break;
    }
}

void SerialTerminal::SerialComm1_Received(const QByteArray& bytes)
{
    m_model.pieceArrived();
    const QByteArray entered = AppendToTerminal(*m_term, bytes);
    if (m_log.handle() != 0)
        m_log.write(entered);
}

void SerialTerminal::portRestart()
{
    m_model.setTimer(CarModel::PollTimer, false);
    Result<> step = m_s.serial->setPortOpen(!m_s.serial->portOpen());
    if (step)
        step = m_s.serial->setPortOpen(!m_s.serial->portOpen());
    if (step)
        step = sendText(*m_s.serial, QStringLiteral("install\r"), sent::Source::Program);
    m_model.setTimer(CarModel::PollTimer, true);
    if (!step)
        reportServiceFailure(step.why());
}

// A failure of the port inside a notification is shown in the status line; the
// check mark keeps showing the port's real state.
void SerialTerminal::reportServiceFailure(const QString& why)
{
    m_pendingStatus = why;
    m_c.MOpen->setChecked(m_s.serial->portOpen());
}

void SerialTerminal::messageStep()
{
    if (!m_pendingStatus.isEmpty()) {
        m_c.Label1->setText(m_pendingStatus);
        m_c.Label1->setToolTip({});
        m_c.Label1->setAccessibleDescription(m_c.Label1->objectName());
        m_pendingStatus.clear();
        return;
    }
    if (m_pendingAlert.isEmpty())
        return;
    // One alert box at a time: an alert raised while one is open is shown after it,
    // unless it says the same as the open box or one already waiting.
    if (m_alertShowing) {
        if (m_pendingAlert != m_alertShown && !m_alertsAfter.contains(m_pendingAlert))
            m_alertsAfter << m_pendingAlert;
        m_pendingAlert.clear();
        return;
    }
    while (!m_pendingAlert.isEmpty()) {
        m_alertShowing = true;
        m_alertShown = m_pendingAlert;
        m_s.boxes->beep();
        const int answer = m_s.boxes->show(m_pendingAlert, mb::OkCancel,
                                           QStringLiteral("Press Cancel to Quit, Ok to ignore."));
        m_alertShowing = false;
        m_pendingAlert.clear();
        if (answer == mb::Cancel) {
            m_s.serial->setPortOpen(false).skip();
            m_c.MOpen->setChecked(m_s.serial->portOpen());
        }
        if (!m_alertsAfter.isEmpty())
            m_pendingAlert = m_alertsAfter.takeFirst();
    }
}

void SerialTerminal::deviceLost(const QString& device, const QString& shortName)
{
    showPortMessage(portLostText(m_s.serial->commPort(), shortName), device);
}

void SerialTerminal::deviceBack(const QString& device, const QString& shortName)
{
    showPortMessage(portBackText(m_s.serial->commPort(), shortName), device);
}

// A message about the device in the status line, which has room for its short name
// only: the whole path is its tooltip and what assistive technology reads beside it.
void SerialTerminal::showPortMessage(const QString& text, const QString& device)
{
    m_c.Label1->setText(text);
    m_c.Label1->setToolTip(device);
    m_c.Label1->setAccessibleDescription(m_c.Label1->objectName() + QStringLiteral(": ") + device);
    m_c.MOpen->setChecked(m_s.serial->portOpen());
}

void SerialTerminal::Term_KeyPress(int& key)
{
    if (!m_s.serial->portOpen())
        return;
    sendText(*m_s.serial, QString(QChar(key)), sent::Source::Key).skip();
    m_model.setLamp(CarModel::SendLamp, true);
    key = 0;
}

QByteArray SerialTerminal::AppendToTerminal(CrLfText& box, const QByteArray& bytes)
{
    return appendReceived(box, m_model.parseBuffer(), bytes);
}

} // namespace vantrel

#include "statusscanner.h"

#include "commandsender.h"

#include "core/statusscan.h"
#include "widgets/crlfedit.h"
#include "widgets/textbox.h"
#include "widgets/vtimer.h"

#include <QLineEdit>

#include <limits>

namespace vantrel
{

StatusScanner::StatusScanner(const Form1Controls& controls, SerialComm& serial, QObject* parent)
    : QObject(parent), m_c(controls), m_serial(serial)
{
    connect(m_c.Text1, &TextBox::Change, this, &StatusScanner::Text1_Change);
    connect(m_c.txtvel, &QLineEdit::textChanged, this, &StatusScanner::txtvel_Change);
    connect(m_c.Text2, &QLineEdit::textChanged, this, &StatusScanner::Text2_Change);
    connect(m_c.txtbbt, &QLineEdit::textChanged, this, &StatusScanner::txtbbt_Change);
    connect(m_c.txtpos, &QLineEdit::textChanged, this, &StatusScanner::txtpos_Change);
}

void StatusScanner::Text1_Change()
{
    // The boxes' own change handlers only send, so one look at the buffer serves all
    // three values.
    const StatusScan found = scanStatus(m_c.Text1->text());
    if (!found.pmi)
        return;
    m_c.Timer1->setEnabled(true);
    // Every piece while a reply is in the buffer finds the same values again. A box
    // given its own text again would only be laid out and drawn anew, and would lose
    // the technician's selection.
    const auto show = [](QLineEdit* box, const QString& value) {
        if (box->text() != value)
            box->setText(value);
    };
    if (found.speed)
        show(m_c.txtvel, *found.speed);
    if (found.bbt)
        show(m_c.txtbbt, *found.bbt);
    if (found.fault)
        m_c.Text5->setText(*found.fault);
}

void StatusScanner::txtvel_Change()
{
    if (m_c.txtvel->text() != QLatin1String("  0"))
        return;
    // Past the 16-bit limit the count rolls over to 0, so it never goes negative and
    // the display still changes, which keeps the follow-up request going.
    m_stopCount = m_stopCount == std::numeric_limits<qint16>::max() ? 0 : qint16(m_stopCount + 1);
    m_c.Text2->setText(QString::number(m_stopCount));
}

void StatusScanner::Text2_Change()
{
    sendCommand(m_serial, QStringLiteral("bbt"), sent::Source::Poll).skip();
}

void StatusScanner::txtbbt_Change()
{
    m_c.Timer5->setEnabled(false);
    sendCommand(m_serial, QStringLiteral("flt0"), sent::Source::Poll).skip();
}

void StatusScanner::txtpos_Change()
{
    m_c.Timer5->setEnabled(false);
}

} // namespace vantrel

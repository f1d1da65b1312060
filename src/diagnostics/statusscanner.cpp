// The status text scanner: values after the markers in the parse buffer, the stop
// counter and the follow-up requests.
#include "cardiagnostics.h"

#include "platform/crlfedit.h"
#include "platform/textbox.h"
#include "platform/vtimer.h"
#include "statusscan.h"

#include <QLineEdit>

#include <limits>

namespace vantrel
{

void CarDiagnostics::Text1_Change()
{
    // The boxes' own change handlers only send, so one look at the buffer serves all
    // three values.
    const StatusScan found = scanStatus(m_c.Text1->text());
    if (!found.pmi)
        return;
    m_c.Timer1->setEnabled(true);
    if (found.speed)
        m_c.txtvel->setText(*found.speed);
    if (found.bbt)
        m_c.txtbbt->setText(*found.bbt);
    if (found.fault)
        m_c.Text5->setText(*found.fault);
}

void CarDiagnostics::txtvel_Change()
{
    if (m_c.txtvel->text() != QLatin1String("  0"))
        return;
    // Past the 16-bit limit the count rolls over to 0, so it never goes negative and
    // the display still changes, which keeps the follow-up request going.
    m_stopCount = m_stopCount == std::numeric_limits<qint16>::max() ? 0 : qint16(m_stopCount + 1);
    m_c.Text2->setText(QString::number(m_stopCount));
}

void CarDiagnostics::Text2_Change()
{
    sendCommand(QStringLiteral("bbt"));
}

void CarDiagnostics::txtbbt_Change()
{
    m_c.Timer5->setEnabled(false);
    sendCommand(QStringLiteral("flt0"));
}

void CarDiagnostics::txtpos_Change()
{
    m_c.Timer5->setEnabled(false);
}

} // namespace vantrel

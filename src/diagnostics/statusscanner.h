#pragma once

#include "carscreen/controls.h"
#include "platform/serialcomm.h"

#include <QObject>

namespace vantrel
{

// The car diagnostics screen's status text scanner: while "> PMII" is in the parse
// buffer it starts the grid fill and picks out the speed, the BBT value and the fault
// text; a speed of "  0" counts a stop and asks for "bbt", a new BBT value asks for
// "flt0".
class StatusScanner final : public QObject
{
    Q_OBJECT
public:
    StatusScanner(const Form1Controls& controls, SerialComm& serial, QObject* parent = nullptr);

    qint16 StopCount() const { return m_stopCount; }
    // "reset" sets the count back without showing it.
    void resetStopCount() { m_stopCount = 0; }

    void Text1_Change();
    void txtvel_Change();
    void Text2_Change();
    void txtbbt_Change();
    void txtpos_Change();

private:
    const Form1Controls& m_c;
    SerialComm& m_serial;
    qint16 m_stopCount = 0;
};

} // namespace vantrel

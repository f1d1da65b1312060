#pragma once

#include <QString>

namespace vantrel
{

// The port's event codes, as CommEvent reports them.
namespace comm
{
constexpr int EvSend = 1;
constexpr int EvReceive = 2;
constexpr int EvCTS = 3;
constexpr int EvDSR = 4;
constexpr int EvCD = 5;
constexpr int EvRing = 6;
constexpr int EvEOF = 7;
constexpr int ErBreak = 1001;
constexpr int ErCTSTO = 1002;
constexpr int ErDSRTO = 1003;
constexpr int ErFrame = 1004;
constexpr int ErOverrun = 1006;
constexpr int ErCDTO = 1007;
constexpr int ErRxOver = 1008;
constexpr int ErRxParity = 1009;
constexpr int ErTxFull = 1010;
} // namespace comm

// What the car screen does with one port notification before its message step: read
// the line, restart the port, or put words in the status line or an alert.
struct CommAction {
    enum class Kind { Nothing, Receive, Restart, Status, Alert };
    Kind kind = Kind::Nothing;
    QString text;
};

CommAction commAction(int event);

} // namespace vantrel

#include "commevents.h"

namespace vantrel
{

CommAction commAction(int event)
{
    using Kind = CommAction::Kind;
    const auto status = [](const char* text) {
        return CommAction{Kind::Status, QLatin1String(text)};
    };
    const auto alert = [](const char* text) {
        return CommAction{Kind::Alert, QLatin1String(text)};
    };
    switch (event) {
    case comm::EvSend:
    case comm::EvRing:
        return {};
    case comm::EvReceive:
        return {Kind::Receive, {}};
    case comm::EvCTS:
        return status("Change in CTS Detected");
    case comm::EvDSR:
        return status("Change in DSR Detected");
    case comm::EvCD:
        return status("Change in CD Detected");
    case comm::EvEOF:
        return status("End of File Detected");
    case comm::ErBreak:
        return status("Break Received");
    case comm::ErCTSTO:
        return alert("CTS Timeout");
    case comm::ErDSRTO:
        return alert("DSR Timeout");
    case comm::ErFrame:
        return status("Framing Error"); // line errors go to the status line, not a box
    case comm::ErOverrun:
        return {Kind::Restart, {}};
    case comm::ErCDTO:
        return alert("Carrier Detect Timeout");
    case comm::ErRxOver:
        return alert("Receive Buffer Overflow");
    case comm::ErRxParity:
        return status("Parity Error");
    case comm::ErTxFull:
        return alert("Transmit Buffer Full");
    default:
        return alert("Unknown error or event");
    }
}

} // namespace vantrel

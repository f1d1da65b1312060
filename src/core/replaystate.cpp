#include "replaystate.h"

#include "statusscan.h"

namespace vantrel
{

int ReplayState::play(QStringView line)
{
    term.reserve(term.size() + 2 + line.size());
    term += QLatin1String("\r\n");
    term += line;
    if (term.size() > kReplayWindow)
        term.remove(0, term.size() - kReplayWindow);
    return (takeSpeed(term) ? SpeedFound : Nothing) | (takeCells(term) ? CellsFound : Nothing);
}

bool ReplayState::takeSpeed(const QString& window)
{
    const auto found = valueAfter(window, marker::Speed, marker::kSpeedLength);
    if (found)
        speed = *found;
    return bool(found);
}

bool ReplayState::takeCells(const QString& window)
{
    const auto found = readPmiDump(window);
    if (found)
        cells = *found;
    return bool(found);
}

} // namespace vantrel

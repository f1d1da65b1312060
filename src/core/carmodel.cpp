#include "carmodel.h"

#include "statusscan.h"

#include <limits>

namespace vantrel
{

namespace
{
const QString kAtRest = QStringLiteral("  0");

// The grid cell that shows the car's speed mode.
int speedModeCell()
{
    const auto& cells = dumpCells();
    for (int i = 0; i < kGridCells; ++i)
        if (qstrcmp(cells[size_t(i)].label, "lbl514") == 0)
            return i;
    return 0;
}
} // namespace

CarModel::CarModel(CommandSink& sink, QObject* parent) : QObject(parent), m_sink(sink)
{
    m_values[Caption] = QLatin1String(text::kCarCaption);
}

bool CarModel::stressRunning() const
{
    return m_values[Caption] == QLatin1String(text::kStressCaption);
}

void CarModel::ParseBuffer::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_firstMarker = m_model.scan();
}

// The same two changes, each looked at, except that the cut of the oldest text is not
// looked at again when the look before it found every marker after the part cut off:
// it would find the same values at the same places.
void CarModel::ParseBuffer::appendKeeping(const QString& more, int keep)
{
    if (!more.isEmpty()) {
        m_text += more;
        m_firstMarker = m_model.scan();
    }
    const qsizetype cut = m_text.size() - keep;
    if (cut <= 0)
        return;
    m_text.remove(0, cut);
    m_firstMarker = m_firstMarker >= cut ? m_firstMarker - cut : m_model.scan();
}

void CarModel::pieceArrived()
{
    setLamp(ReceiveLamp, true);
    setTimer(LampTimer, true);
    setTimer(QuietTimer, false);
}

void CarModel::setTimer(Timer t, bool on)
{
    if (m_timers[t] == on)
        return;
    m_timers[t] = on;
    Q_EMIT timerChanged(t, on);
}

void CarModel::setLamp(Lamp l, bool lit)
{
    if (m_lamps[l] == lit)
        return;
    m_lamps[l] = lit;
    Q_EMIT lampChanged(l, lit);
}

void CarModel::setValue(Value v, const QString& text)
{
    if (m_values[v] == text)
        return;
    m_values[v] = text;
    Q_EMIT valueChanged(v, text);
    switch (v) {
    case Speed:
        if (text != kAtRest)
            break;
        // Past the 16-bit limit the count rolls over to 0, so it never goes negative
        // and the count shown still changes, which keeps the follow-up request going.
        m_stopCount =
            m_stopCount == std::numeric_limits<qint16>::max() ? 0 : qint16(m_stopCount + 1);
        setValue(StopText, QString::number(m_stopCount));
        break;
    case StopText:
        send(QStringLiteral("bbt"), sent::Source::Poll);
        break;
    case Bbt:
        setTimer(QuietTimer, false);
        send(QStringLiteral("flt0"), sent::Source::Poll);
        break;
    default:
        break;
    }
}

// While "> PMII" is in the buffer the grid fill starts and the values are picked out;
// a value found again as it is changes nothing.
qsizetype CarModel::scan()
{
    const StatusScan found = scanStatus(m_buffer.text());
    if (!found.pmi)
        return found.firstMarker;
    setTimer(GridTimer, true);
    if (found.speed)
        setValue(Speed, *found.speed);
    if (found.bbt)
        setValue(Bbt, *found.bbt);
    if (found.fault)
        setValue(Fault, *found.fault);
    return found.firstMarker;
}

void CarModel::gridTick()
{
    setTimer(PollTimer, false);
    setLamp(PollLamp, false);
    const auto values = readPmiDump(m_buffer.text());
    if (!values)
        return;
    if (*values != m_cells) {
        m_cells = *values;
        Q_EMIT cellsChanged();
    }
    static const int speedMode = speedModeCell();
    const double v = leadingNumber(m_cells[size_t(speedMode)]);
    if ((v == 0 && m_values[Speed] != kAtRest) || v == 1)
        send(QStringLiteral("vel"), sent::Source::Poll);
    setTimer(StressTimer, true);
    setTimer(GridTimer, false);
}

void CarModel::pollTick(Timer which)
{
    if (!m_sink.portOpen())
        return;
    sendLit(QStringLiteral("pmii"), sent::Source::Poll);
    if (which == QuietTimer)
        setTimer(QuietTimer, false);
    setTimer(GridTimer, true);
}

void CarModel::stressTick(const QString& target)
{
    if (stressRunning()) {
        if (m_stressPhase == 1)
            sendLit(QStringLiteral("scc") + target, sent::Source::Stress);
        if (m_stressPhase == 2) {
            sendLit(QStringLiteral("scc1"), sent::Source::Stress);
            m_stressPhase = 0;
        }
        ++m_stressPhase;
    }
    setTimer(PollTimer, true);
}

void CarModel::lampTick(bool commandEntryShown)
{
    if (m_lamps[ReceiveLamp]) {
        setLamp(ReceiveLamp, false);
        if (commandEntryShown)
            setTimer(QuietTimer, true);
    }
    setLamp(SendLamp, false);
    setTimer(LampTimer, false);
}

void CarModel::sendLit(const QString& command, sent::Source source)
{
    send(command, source);
    setLamp(SendLamp, true);
}

void CarModel::startPolling()
{
    send(QStringLiteral("pmii"));
    setLamp(PollLamp, true);
    setTimer(PollTimer, true);
}

void CarModel::stopPolling()
{
    setTimer(StressTimer, false);
    setTimer(PollTimer, false);
    setTimer(GridTimer, false);
    setLamp(PollLamp, false);
    setValue(Caption, QLatin1String(text::kCarCaption));
    m_stopCount = 0; // the count shown stays until the next stop
}

void CarModel::toggleStress()
{
    if (m_timers[StressTimer]) {
        setTimer(StressTimer, false);
        setTimer(PollTimer, false);
        setLamp(PollLamp, false);
        setValue(Caption, QLatin1String(text::kCarCaption));
    } else {
        setTimer(StressTimer, true);
        setValue(Caption, QLatin1String(text::kStressCaption));
    }
}

} // namespace vantrel

#pragma once

#include "pmidump.h"
#include "receivedtext.h"
#include "sentlog.h"

#include <QObject>
#include <QString>

#include <array>

namespace vantrel
{

namespace text
{
// Both large screens' caption when they are made, and the car screen's while the
// stress test runs.
constexpr const char* kCarCaption = "Vantrel Car";
constexpr const char* kStressCaption = "Stress Test";
} // namespace text

// Where the car's commands go: a command is sent with its CR, and only while the port
// is open (a command given while it is closed is dropped).
class CommandSink
{
public:
    virtual ~CommandSink() = default;
    virtual bool portOpen() const = 0;
    // Why it goes out is kept with what the capture log records of it.
    virtual void send(const QString& command, sent::Source source) = 0;
};

// What the car screen knows of the car, without a widget: the parse buffer and what
// its scan found (speed, stop count, BBT, fault text), the grid's 75 values, the polling
// and stress state (which of the screen's timers run, the stress phase, the caption),
// and the lamps. Received text is pushed into the parse buffer; commands go out through
// one sink; every change is told once, as it happens, so a view only shows it.
class CarModel final : public QObject
{
    Q_OBJECT
public:
    // The screen's timers by what a tick does: fill the grid (Timer1), poll (Timer2),
    // the stress step (Timer3), put the lamps out (Timer4), poll after a quiet second
    // (Timer5).
    enum Timer { GridTimer, PollTimer, StressTimer, LampTimer, QuietTimer, kTimers };
    // The poll request lamp (Label3), the receive lamp (Label4), the send lamp (Label5).
    enum Lamp { PollLamp, ReceiveLamp, SendLamp, kLamps };
    // The values the screen's boxes show (txtvel, Text2, txtbbt, Text5) and its caption.
    enum Value { Speed, StopText, Bbt, Fault, Caption, kValues };
    Q_ENUM(Timer)
    Q_ENUM(Lamp)
    Q_ENUM(Value)

    explicit CarModel(CommandSink& sink, QObject* parent = nullptr);

    // The newest kParseBufferSize characters received; every real change of it is
    // scanned at once.
    TextField& parseBuffer() { return m_buffer; }
    // A received piece is about to enter the parse buffer.
    void pieceArrived();

    bool timer(Timer t) const { return m_timers[t]; }
    bool lamp(Lamp l) const { return m_lamps[l]; }
    const QString& value(Value v) const { return m_values[v]; }
    const std::array<QString, kGridCells>& cells() const { return m_cells; }
    qint16 stopCount() const { return m_stopCount; }
    qint16 stressPhase() const { return m_stressPhase; }
    bool stressRunning() const;

    void setTimer(Timer t, bool on);
    void setLamp(Lamp l, bool lit);
    // A value changed, here or in its box; the speed, the stop count's text and the BBT
    // value each ask for their follow-up when they really change.
    void setValue(Value v, const QString& text);
    // The technician chose another position: a pending quiet poll is dropped.
    void positionChanged() { setTimer(QuietTimer, false); }

    // What each timer's tick does.
    void gridTick();
    void pollTick(Timer which);
    void stressTick(const QString& target);
    void lampTick(bool commandEntryShown);

    // The screen's commands.
    void send(const QString& command, sent::Source source = sent::Source::Button)
    {
        m_sink.send(command, source);
    }
    void sendLit(const QString& command, sent::Source source = sent::Source::Button);
    void startPolling();
    void stopPolling();
    void toggleStress();

Q_SIGNALS:
    void timerChanged(vantrel::CarModel::Timer t, bool on);
    void lampChanged(vantrel::CarModel::Lamp l, bool lit);
    void valueChanged(vantrel::CarModel::Value v, const QString& text);
    void cellsChanged();

private:
    class ParseBuffer final : public TextField
    {
    public:
        explicit ParseBuffer(CarModel& model) : m_model(model) {}
        const QString& text() const override { return m_text; }
        void setText(const QString& text) override;
        void appendKeeping(const QString& more, int keep) override;

    private:
        CarModel& m_model;
        QString m_text;
        qsizetype m_firstMarker = 0; // where the last look found its first marker
    };

    // Looks at the parse buffer; hands back where the first marker found starts.
    qsizetype scan();

    CommandSink& m_sink;
    ParseBuffer m_buffer{*this};
    std::array<bool, kTimers> m_timers{false, false, false, true, false};
    std::array<bool, kLamps> m_lamps{};
    std::array<QString, kValues> m_values;
    std::array<QString, kGridCells> m_cells;
    qint16 m_stopCount = 0;
    qint16 m_stressPhase = 0;
};

} // namespace vantrel

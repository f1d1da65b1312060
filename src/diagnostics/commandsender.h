#pragma once

#include "core/carmodel.h"
#include "platform/serialcomm.h"

#include <QString>

namespace vantrel
{

// Tells the port's recorder (the open capture log's) what went out and why.
inline void recordSent(SerialComm& port, sent::Source source, const QString& text)
{
    if (SentRecorder* recorder = port.sentRecorder())
        recorder->sent(source, text.toLatin1());
}

// Everything the program sends goes out here, and is recorded with its source once the
// port took it.
inline Result<> sendText(SerialComm& port, const QString& text, sent::Source source)
{
    Result<> written = port.output(text);
    if (written)
        recordSent(port, source, text);
    return written;
}

// The command sender: a controller command is its text and one CR, in a single write;
// while the port is closed it is dropped. What the port made of it: callers that report
// nothing (ticks and buttons) skip a failure.
inline Result<> sendCommand(SerialComm& port, const QString& command,
                            sent::Source source = sent::Source::Button)
{
    if (!port.portOpen())
        return Failure(QStringLiteral("The port is closed"));
    return sendText(port, command + QLatin1Char('\r'), source);
}

// The car model's commands go to the port through the command sender.
class PortCommands final : public CommandSink
{
public:
    explicit PortCommands(SerialComm& port) : m_port(port) {}
    bool portOpen() const override { return m_port.portOpen(); }
    void send(const QString& command, sent::Source source) override
    {
        sendCommand(m_port, command, source).skip();
    }

private:
    SerialComm& m_port;
};

} // namespace vantrel

#pragma once

#include "platform/serialports.h"
#include "platform/services.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace vantrel
{
class SignalGrid;
}

namespace vantrel::test
{

// The captions of a grid's 75 value cells, in the order the dump fills them.
QStringList gridCells(const SignalGrid& grid);
// Whether the grid shows a dump read whole: each of the 75 cells holds its two
// characters. A dump read while it is still coming in leaves the cells beyond the text
// received empty, and the one the text ends in short, until the next read.
bool showsWholeDump(const SignalGrid& grid);

// Runs the event loop until a timer of this interval has ticked `periods` times: the
// window for something that must not happen, counted in the chances a program timer of
// that interval had, which a loaded machine delays alike, rather than in wall time.
void letPeriodsPass(int intervalMs, int periods);

// The wire: records what is sent and lets a test raise notifications.
class FakeSerialComm final : public SerialComm
{
    Q_OBJECT
public:
    bool open = false;
    QString openFailure;   // when set, opening fails with this text
    QString reopenFailure; // when set, opening fails after the first open
    QByteArray sent;       // every byte written, in order
    QStringList writes;    // each write
    int outQueue = 0;
    int event = 0;
    int port = 1;
    QString lineSettings = QStringLiteral("9600,n,8,1");
    int opens = 0;
    int closes = 0;
    QStringList history; // "open", "close", "settings=..", "port=.."

    bool portOpen() const override { return open; }
    Result<> setPortOpen(bool o) override;
    Result<> output(const QString& text) override;
    int commEvent() const override { return event; }
    int outBufferCount() const override { return open ? outQueue : 0; }
    int commPort() const override { return port; }
    Result<> setCommPort(int p) override;
    QString settings() const override { return lineSettings; }
    Result<> setSettings(const QString& s) override;
    QString deviceName() const override { return QStringLiteral("/dev/fake%1").arg(port); }
    QList<NumberedPort> portList;
    QList<NumberedPort> ports() override { return portList; }
    void release() override { open = false; }

    // Raises one notification with this event code.
    void raise(int code);
    // Hands this text over as received bytes.
    void receive(const QString& text);
};

// The person at the message boxes: answers from a script, records every box.
class ScriptedBoxes final : public MessageBoxes
{
public:
    struct Shown {
        QString text;
        int buttons;
        QString title;
    };
    std::deque<int> answers;
    QList<Shown> shown;
    int beeps = 0;
    std::function<void()> whileShown; // runs inside the box, as other events would

    int show(const QString& text, int buttons, const QString& title = {}) override;
    void beep() override { ++beeps; }
};

// The person at the file dialog: each entry is a path to choose, or empty to cancel.
class ScriptedFileDialog final : public FileDialog
{
public:
    explicit ScriptedFileDialog(std::shared_ptr<std::deque<QString>> script)
        : m_script(std::move(script))
    {
    }
    bool ShowOpen() override;
    bool ShowSave() override { return ShowOpen(); }
    int shows = 0;

private:
    std::shared_ptr<std::deque<QString>> m_script;
};

class FakeClock final : public Clock
{
public:
    double now = 1000.0;
    double stepPerDoEvents = 1.0;
    int doEventsCalls = 0;
    std::function<void()> onDoEvents;
    qint64 wallMs = 1767225600000; // 2026-01-01 00:00 UTC
    double nowSeconds() override { return now; }
    qint64 wallMilliseconds() override { return wallMs; }
    void doEvents() override
    {
        ++doEventsCalls;
        now += stepPerDoEvents;
        if (onDoEvents)
            onDoEvents();
    }
};

class RecordingExit final : public AppExit
{
public:
    int calls = 0;
    void endProgram(int = 0) override
    {
        ++calls;
        runClosers();
    }
};

// The real file system, but the next `failures` writes fail as a full disk would, after
// half of the piece reached the file; with `onlyEnding` set, only writes to files whose
// path ends so.
class FailingFiles final : public FileSystem
{
public:
    PosixFileSystem real;
    int failures = 0;
    QString onlyEnding;
    Result<bool> exists(const QString& p) override { return real.exists(p); }
    Result<> remove(const QString& p) override { return real.remove(p); }
    int freeFile() override { return real.freeFile(); }
    Result<> openAppend(int n, const QString& p) override;
    Result<> openRead(int n, const QString& p) override { return real.openRead(n, p); }
    std::shared_ptr<LineFile> lines(int n) override { return real.lines(n); }
    Result<> write(int n, const QByteArray& b) override;
    qint64 writePosition(int n) const override { return real.writePosition(n); }
    void close(int n) override { real.close(n); }
    void closeAll() override { real.closeAll(); }
    bool isOpen(int n) const override { return real.isOpen(n); }

private:
    std::map<int, QString> m_paths;
};

// The machine's serial ports as a test plugs and pulls them.
class FakePorts final : public PortEnumerator
{
public:
    QList<PortInfo> plugged;
    QList<PortInfo> ports() override { return plugged; }
};

// A driver's error counts as a test sets them; none means a device without counts.
// `reads` says how often the port looked, so a test can wait until it has seen a value.
class FakeCounters final : public LineCounterSource
{
public:
    std::optional<LineCounts> counts = LineCounts{};
    int reads = 0;
    std::optional<LineCounts> read(int) override
    {
        ++reads;
        return counts;
    }
};

// The notifications a port raised, by code, in order, receive notifications left out.
struct CommEvents {
    QList<int> codes;
    explicit CommEvents(SerialComm& serial)
    {
        QObject::connect(&serial, &SerialComm::OnComm, [this, &serial] {
            if (serial.commEvent() != comm::EvReceive)
                codes << serial.commEvent();
        });
    }
};

// Services wired with fakes for the person and the wire and the real file system.
struct FakeWorld {
    // Ending the program closes every open file, as the real program's end does.
    FakeWorld()
    {
        exit.addCloser([this] { files.closeAll(); });
    }
    FakeSerialComm serial;
    ScriptedBoxes boxes;
    PosixFileSystem files;
    FakeClock clock;
    RecordingExit exit;
    std::shared_ptr<std::deque<QString>> dialogScript = std::make_shared<std::deque<QString>>();
    Services services();
};

} // namespace vantrel::test

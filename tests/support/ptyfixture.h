#pragma once

#include "fakes.h"
#include "platform/qtserialcomm.h"

#include <QByteArray>
#include <QLockFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vantrel::test
{

// A serial port of another program that lost its pseudo-terminal opens the path again
// as soon as a new terminal takes the number (as other test runs on the machine do), and
// then reads and writes on that line. A test's terminal is held under the lock every
// serial port takes on the terminal's own path, so the program opens it through a link
// (whose lock is another). Null when the lock is held elsewhere.
std::unique_ptr<QLockFile> lockTerminal(const QString& path);

// A pseudo-terminal whose far side the test plays: the program opens a link to path().
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return m_master >= 0; }
    QString path() const { return m_path; }
    void write(const QByteArray& bytes);
    // Writes what the line takes now, without waiting: the bytes accepted.
    qint64 offer(const QByteArray& bytes);
    // Everything that arrived so far, waiting up to ms for the first byte.
    QByteArray readAvailable(int ms = 0);
    // Runs the event loop and reads until `bytes` arrived or ms passed.
    QByteArray collect(int bytes, int ms = 3000);
    // Closing the far side is how a device vanishes.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace vantrel::test

namespace vantrel
{
class Form1;
}

namespace vantrel::test
{

// The car screen on the real port service with port 1 a device the test names: what
// the end-to-end tests share, whoever plays the controller.
struct PortScreen {
    explicit PortScreen(std::unique_ptr<LineCounterSource> counters = nullptr);
    ~PortScreen();
    // Makes `device` port 1 and loads the screen, which opens the port and sends a CR.
    void load(const QString& device, FileSystem* files = nullptr);
    // Unloads the screen and closes the port, before the far side goes.
    void close();

    FakeWorld w;
    QtSerialComm serial;
    std::unique_ptr<Form1> form;
};

// The car screen, wired through a link (as udev makes them) to a pseudo-terminal whose
// far side the test plays; the device can be pulled and plugged in again at the same path.
struct PtySession : PortScreen {
    explicit PtySession(std::unique_ptr<LineCounterSource> counters = nullptr,
                        FileSystem* files = nullptr);
    ~PtySession() { close(); }

    // The path the program opens.
    QString device() const { return folder.filePath(QStringLiteral("ttyV0")); }
    void unplug();
    void plugIn();

    QTemporaryDir folder;
    std::unique_ptr<Pty> pty;
};

// The simulated controller, a vantrel-sim process with these options on a
// pseudo-terminal of its own (held as Pty's is), ended with this object. `device` is
// the link to open; it stays empty when the controller did not start, and `why` says why.
struct SimController {
    explicit SimController(const QStringList& options = {});
    ~SimController();
    QTemporaryDir folder;
    QProcess process;
    std::unique_ptr<QLockFile> lock;
    QString device;
    QString why;
};

// The car screen on the real port to the simulated controller.
struct SimSession : PortScreen {
    explicit SimSession(const QStringList& options) : controller(options)
    {
        if (!controller.device.isEmpty())
            load(controller.device);
    }
    ~SimSession() { close(); }
    SimController controller;
};

// A fresh simulated controller and car screen for each test function: init() calls
// openSim(), cleanup() closeSim(), and nothing is left over for the next function.
struct SimFixture {
    std::unique_ptr<SimSession> sim;
    void openSim(const QStringList& options = {QStringLiteral("--chunks")});
    void closeSim() { sim.reset(); }
};

// The grid is read whenever a reply arrives, also while a dump is still coming in; a
// dump read in part is read again at the next poll, which comes within Timer3's 8 s.
// A wait for a whole dump allows this long.
constexpr int kWholeDumpMs = 20000;

// Whether this build runs under AddressSanitizer, whose shadow memory makes resident
// memory figures meaningless.
bool underAddressSanitizer();

// Resident memory of this process, now and at its peak, in megabytes.
double residentMegabytes();
double peakResidentMegabytes();

// Process CPU time in seconds.
double processCpuSeconds();

} // namespace vantrel::test

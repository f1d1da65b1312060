#pragma once

#include "fakes.h"
#include "platform/qtserialcomm.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace vantrel::test
{

// A pseudo-terminal whose far side the test plays: the program opens path().
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
};

} // namespace vantrel::test

namespace vantrel
{
class Form1;
}

namespace vantrel::test
{

// The car screen on the real port service, wired through a link (as udev makes them)
// to a pseudo-terminal whose far side the test plays; the device can be pulled and
// plugged in again at the same path.
struct PtySession {
    explicit PtySession(std::unique_ptr<LineCounterSource> counters = nullptr,
                        FileSystem* files = nullptr);
    ~PtySession();
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    // The path the program opens.
    QString device() const { return folder.filePath(QStringLiteral("ttyV0")); }
    void unplug();
    void plugIn();

    QTemporaryDir folder;
    std::unique_ptr<Pty> pty;
    FakeWorld w;
    QtSerialComm serial;
    std::unique_ptr<Form1> form;
};

// Whether this build runs under AddressSanitizer, whose shadow memory makes resident
// memory figures meaningless.
bool underAddressSanitizer();

// Resident memory of this process, now and at its peak, in megabytes.
double residentMegabytes();
double peakResidentMegabytes();

// Process CPU time in seconds.
double processCpuSeconds();

} // namespace vantrel::test

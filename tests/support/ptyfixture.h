#pragma once

#include <QByteArray>
#include <QString>

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

// Process CPU time in seconds.
double processCpuSeconds();

} // namespace vantrel::test

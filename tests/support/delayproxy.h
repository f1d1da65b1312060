#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <list>
#include <memory>

namespace vantrel::test
{

// A slow link on 127.0.0.1: forwards each connection to `target` with every piece held
// back `delayMs` each way, and can stall (hold everything) until told to go on. Stalled
// for good, it is a link that went silent without closing.
class DelayProxy : public QObject
{
public:
    DelayProxy(quint16 target, int delayMs);
    quint16 port() const { return m_server.serverPort(); }
    void setStalled(bool stalled) { m_stalled = stalled; }
    int connections() const { return m_connections; }

private:
    struct Piece {
        qint64 due;
        QByteArray bytes;
    };
    struct Pipe {
        std::unique_ptr<QTcpSocket> near, far;
        std::deque<Piece> toFar, toNear;
    };
    void accept();
    void pump();

    QTcpServer m_server;
    quint16 m_target;
    int m_delayMs;
    bool m_stalled = false;
    int m_connections = 0;
    QElapsedTimer m_clock;
    QTimer m_tick;
    std::list<Pipe> m_pipes;
};

} // namespace vantrel::test

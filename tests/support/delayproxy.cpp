#include "delayproxy.h"

namespace vantrel::test
{

DelayProxy::DelayProxy(quint16 target, int delayMs) : m_target(target), m_delayMs(delayMs)
{
    m_clock.start();
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &DelayProxy::accept);
    m_tick.setInterval(10);
    connect(&m_tick, &QTimer::timeout, this, &DelayProxy::pump);
    m_tick.start();
}

void DelayProxy::accept()
{
    while (QTcpSocket* s = m_server.nextPendingConnection()) {
        ++m_connections;
        Pipe& p = m_pipes.emplace_back();
        p.near.reset(s);
        p.far = std::make_unique<QTcpSocket>();
        p.far->connectToHost(QHostAddress::LocalHost, m_target);
        QTcpSocket* near = p.near.get();
        QTcpSocket* far = p.far.get();
        const auto take = [this](QTcpSocket* from, std::deque<Piece>& to) {
            connect(from, &QTcpSocket::readyRead, this, [this, from, &to] {
                to.push_back(Piece{m_clock.elapsed() + m_delayMs, from->readAll()});
            });
        };
        take(near, p.toFar);
        take(far, p.toNear);
        // Either end closing closes the other once what it sent has been passed on.
        connect(near, &QTcpSocket::disconnected, far, &QTcpSocket::disconnectFromHost);
        connect(far, &QTcpSocket::disconnected, near, &QTcpSocket::disconnectFromHost);
    }
}

void DelayProxy::pump()
{
    if (m_stalled)
        return;
    const qint64 now = m_clock.elapsed();
    for (Pipe& p : m_pipes) {
        const auto pass = [now](std::deque<Piece>& queue, QTcpSocket& to) {
            while (!queue.empty() && queue.front().due <= now &&
                   to.state() == QAbstractSocket::ConnectedState) {
                to.write(queue.front().bytes);
                queue.pop_front();
            }
        };
        pass(p.toFar, *p.far);
        pass(p.toNear, *p.near);
    }
}

} // namespace vantrel::test

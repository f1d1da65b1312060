#include "portrouter.h"

#include "core/netaddress.h"

#include <QSettings>

namespace vantrel
{

namespace
{
constexpr const char* kAddressesKey = "networkPorts";
}

PortRouter::PortRouter(QObject* parent, std::unique_ptr<QtSerialComm> local)
    : SerialComm(parent), m_local(local ? std::move(local) : std::make_unique<QtSerialComm>()),
      m_active(m_local.get()), m_watchOnly(qgetenv("VANTREL_WATCH") == "1")
{
    const QStringList saved = QSettings().value(QLatin1String(kAddressesKey)).toStringList();
    for (const QString& entry : saved) {
        const qsizetype space = entry.indexOf(QLatin1Char(' '));
        const int number = entry.left(space).toInt();
        if (space > 0 && number > PortMap::kBuiltIn && number <= PortMap::kMaxPort &&
            isNetAddress(entry.mid(space + 1)))
            m_addresses[number] = entry.mid(space + 1);
    }
    m_local->setNetworkPorts(m_addresses);
    for (SerialComm* port :
         {static_cast<SerialComm*>(m_local.get()), static_cast<SerialComm*>(&m_net)}) {
        connect(port, &SerialComm::OnComm, this, [this, port] {
            if (port == m_active)
                Q_EMIT OnComm();
        });
        connect(port, &SerialComm::received, this, [this, port](const QByteArray& bytes) {
            if (port == m_active)
                Q_EMIT received(bytes);
        });
        connect(port, &SerialComm::deviceLost, this, &SerialComm::deviceLost);
        connect(port, &SerialComm::deviceBack, this, &SerialComm::deviceBack);
    }
}

Result<> PortRouter::setPortOpen(bool open)
{
    if (!open) {
        // Either may be waiting for its device or host to come back: neither will.
        const Result<> closed = m_active->setPortOpen(false);
        (m_active == &m_net ? static_cast<SerialComm&>(*m_local) : m_net).setPortOpen(false).skip();
        return closed;
    }
    if (m_active->portOpen())
        return Failure(QStringLiteral("Port already open"));
    const QString device = m_local->deviceName();
    if (isNetAddress(device)) {
        m_active = &m_net;
        m_net.setAddress(device);
        m_net.setCommPort(m_local->commPort()).skip();
        m_net.setWatchOnly(m_watchOnly).skip();
        if (const Result<> s = m_net.setSettings(m_local->settings()); !s)
            return s;
    } else {
        m_active = m_local.get();
    }
    return m_active->setPortOpen(true);
}

// The guard of watching only: whatever a screen asks, nothing reaches the line.
Result<> PortRouter::output(const QString& text)
{
    if (m_watchOnly) {
        ++m_refused;
        return Failure(QStringLiteral("Watching only: nothing is sent to port %1").arg(commPort()));
    }
    return m_active->output(text);
}

Result<> PortRouter::setCommPort(int port)
{
    if (m_active->portOpen())
        return Failure(QStringLiteral("Port already open"));
    m_net.setPortOpen(false).skip(); // a host awaited under the old number is not
    return m_local->setCommPort(port);
}

Result<> PortRouter::setSettings(const QString& settings)
{
    if (const Result<> r = m_active->setSettings(settings); !r)
        return r;
    // The other keeps them too (closed, it only stores them), for the next open.
    (m_active == &m_net ? static_cast<SerialComm&>(*m_local) : m_net).setSettings(settings).skip();
    return done();
}

void PortRouter::release()
{
    m_net.release();
    m_local->release();
}

Result<> PortRouter::setWatchOnly(bool on)
{
    if (on != m_watchOnly && m_active->portOpen())
        return Failure(QStringLiteral("Close the port to change watching only"));
    m_watchOnly = on;
    return done();
}

Result<int> PortRouter::addAddress(const QString& address)
{
    const Result<NetAddress> parsed = parseNetAddress(address);
    if (!parsed)
        return Failure(parsed.why());
    const QList<NumberedPort> rows = m_local->ports();
    for (const NumberedPort& row : rows)
        if (row.info.device == address)
            return row.number;
    int number = PortMap::kBuiltIn + 1;
    for (const NumberedPort& row : rows)
        if (row.number >= number)
            number = row.number + 1;
    if (number > PortMap::kMaxPort)
        return Failure(QStringLiteral("No port number left for %1").arg(parsed->place()));
    m_addresses[number] = address;
    remember();
    return number;
}

void PortRouter::remember()
{
    QStringList saved;
    for (const auto& [number, address] : m_addresses)
        saved << QStringLiteral("%1 %2").arg(number).arg(address);
    QSettings().setValue(QLatin1String(kAddressesKey), saved);
    m_local->setNetworkPorts(m_addresses);
}

} // namespace vantrel

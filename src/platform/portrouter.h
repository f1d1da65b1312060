#pragma once

#include "netserialcomm.h"
#include "qtserialcomm.h"

#include <map>
#include <memory>

namespace vantrel
{

// The port the program uses: a number names a device on this machine or a network
// address, and the port behind it opens accordingly. Addresses typed in the settings
// window take numbers beside the adapters' and are remembered between runs. Watching
// only (VANTREL_WATCH=1, or the settings window) holds for either kind: nothing written.
class PortRouter final : public SerialComm
{
    Q_OBJECT
public:
    explicit PortRouter(QObject* parent = nullptr, std::unique_ptr<QtSerialComm> local = nullptr);

    bool portOpen() const override { return m_active->portOpen(); }
    Result<> setPortOpen(bool open) override;
    Result<> output(const QString& text) override;
    int commEvent() const override { return m_active->commEvent(); }
    int outBufferCount() const override { return m_active->outBufferCount(); }
    int commPort() const override { return m_local->commPort(); }
    Result<> setCommPort(int port) override;
    QString settings() const override { return m_local->settings(); }
    Result<> setSettings(const QString& settings) override;
    QString deviceName() const override { return m_local->deviceName(); }
    QList<NumberedPort> ports() override { return m_local->ports(); }
    void release() override;
    bool watchOnly() const override { return m_watchOnly; }
    Result<> setWatchOnly(bool on) override;
    Result<int> addAddress(const QString& address) override;

    NetSerialComm& network() { return m_net; }
    // Writes refused because the port is watched only.
    int refusedWrites() const { return m_refused; }

private:
    void remember();

    std::unique_ptr<QtSerialComm> m_local;
    NetSerialComm m_net;
    SerialComm* m_active;
    std::map<int, QString> m_addresses; // typed in the settings window, by number
    bool m_watchOnly = false;
    int m_refused = 0;
};

} // namespace vantrel

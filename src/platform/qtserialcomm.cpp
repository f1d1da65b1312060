#include "qtserialcomm.h"

#include <QFileInfo>
#include <QtGlobal>

namespace vantrel
{

QtSerialComm::QtSerialComm(QObject* parent, std::unique_ptr<PortEnumerator> enumerator,
                           std::unique_ptr<LineCounterSource> counters)
    : SerialComm(parent),
      m_enumerator(enumerator ? std::move(enumerator) : std::make_unique<SystemPorts>()),
      m_counters(counters ? std::move(counters) : std::make_unique<DriverCounters>())
{
    m_port.setReadBufferSize(kReadAheadBytes);
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialComm::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialComm::onError);
    m_watch.setInterval(kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &QtSerialComm::watchLine);
    m_holdWatch.setInterval(kHoldWatchMs);
    connect(&m_holdWatch, &QTimer::timeout, this, &QtSerialComm::watchHold);
    m_reconnect.setInterval(kReconnectMs);
    connect(&m_reconnect, &QTimer::timeout, this, &QtSerialComm::tryReconnect);
}

QtSerialComm::~QtSerialComm()
{
    release();
}

void QtSerialComm::release()
{
    m_reconnect.stop();
    close();
}

PortMap& QtSerialComm::map() const
{
    std::map<int, QString> overrides = PortMap::environmentOverrides();
    overrides.insert(m_network.begin(), m_network.end()); // the environment's win
    m_map.setOverrides(std::move(overrides));
    // Numbers beyond the built-in ports mean nothing until the machine was looked at.
    if (!m_map.updated() && m_portNumber > PortMap::kBuiltIn)
        m_map.update(m_enumerator->ports());
    return m_map;
}

QString QtSerialComm::deviceName() const
{
    return map().deviceFor(m_portNumber);
}

QList<NumberedPort> QtSerialComm::ports()
{
    map().update(m_enumerator->ports());
    return m_map.rows();
}

Result<> QtSerialComm::setPortOpen(bool open)
{
    const bool waitingForDevice = m_reconnect.isActive();
    m_reconnect.stop(); // the user decides from now on
    if (!open) {
        close();
        return done();
    }
    if (m_port.isOpen())
        return Failure(QStringLiteral("Port already open"));
    Result<> opened = this->open();
    // Asked to open while the adapter is still out: it opens when it comes back.
    if (!opened && waitingForDevice)
        m_reconnect.start();
    return opened;
}

Result<> QtSerialComm::open()
{
    const QString device = deviceName();
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString why = QStringLiteral("Cannot open %1: %2").arg(device, m_port.errorString());
        m_port.clearError();
        return Failure(why);
    }
    if (const Result<> applied = applySettings(m_settings); !applied) {
        m_port.close();
        m_port.clearError();
        return Failure(QStringLiteral("Cannot open %1: %2").arg(device, applied.why()));
    }
    // udev's stable names lead to the kernel's short one; once the device is gone the
    // link is too, so it is looked up now.
    m_shortName = PortMap::shortName(device, device.startsWith(QLatin1String("/dev/serial/"))
                                                 ? QFileInfo(device).canonicalFilePath()
                                                 : QString());
    // Modem lines and error counts are watched only where the device reports them;
    // a pseudo-terminal has neither and costs nothing.
    m_lastPins = m_port.pinoutSignals();
    m_watchPins = m_port.error() == QSerialPort::NoError;
    m_port.clearError();
    m_counts = m_counters->read(int(m_port.handle()));
    if (m_watchPins || m_counts)
        m_watch.start();
    m_holdFullReported = false;
    if (m_port.bytesAvailable() > 0)
        scheduleDelivery();
    return done();
}

void QtSerialComm::close()
{
    m_watch.stop();
    if (m_port.isOpen())
        m_port.close();
}

Result<> QtSerialComm::applySettings(const LineSettings& s)
{
    bool ok = m_port.setBaudRate(s.baud);
    switch (s.parity) {
    case 'e':
        ok = ok && m_port.setParity(QSerialPort::EvenParity);
        break;
    case 'o':
        ok = ok && m_port.setParity(QSerialPort::OddParity);
        break;
    case 'm':
        ok = ok && m_port.setParity(QSerialPort::MarkParity);
        break;
    case 's':
        ok = ok && m_port.setParity(QSerialPort::SpaceParity);
        break;
    default:
        ok = ok && m_port.setParity(QSerialPort::NoParity);
        break;
    }
    ok = ok && m_port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits));
    const auto stop = s.stopBits == 20   ? QSerialPort::TwoStop
                      : s.stopBits == 15 ? QSerialPort::OneAndHalfStop
                                         : QSerialPort::OneStop;
    ok = ok && m_port.setStopBits(stop);
    ok = ok && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (ok)
        return done();
    const QString why = QStringLiteral("the device does not accept the settings \"%1\" (%2)")
                            .arg(s.toString(), m_port.errorString());
    m_port.clearError();
    return Failure(why);
}

Result<> QtSerialComm::output(const QString& text)
{
    if (!m_port.isOpen())
        return Failure(QStringLiteral("Operation valid only when the port is open"));
    const QByteArray bytes = text.toLatin1();
    if (m_port.write(bytes) != bytes.size())
        return Failure(
            QStringLiteral("Cannot send to %1: %2").arg(deviceName(), m_port.errorString()));
    return done();
}

int QtSerialComm::outBufferCount() const
{
    if (!m_port.isOpen())
        return 0;
    return static_cast<int>(qMin<qint64>(m_port.bytesToWrite(), 32767));
}

Result<> QtSerialComm::setCommPort(int port)
{
    if (m_port.isOpen())
        return Failure(QStringLiteral("Port already open"));
    if (port < 1 || port > PortMap::kMaxPort)
        return Failure(QStringLiteral("Invalid port number %1: must be 1 to 255").arg(port));
    m_reconnect.stop();
    m_portNumber = port;
    return done();
}

Result<> QtSerialComm::setSettings(const QString& settings)
{
    const Result<LineSettings> parsed = parseLineSettings(settings);
    if (!parsed)
        return Failure(parsed.why());
    if (m_port.isOpen()) {
        if (const Result<> applied = applySettings(*parsed); !applied) {
            applySettings(m_settings).skip(); // back to what worked
            return Failure(
                QStringLiteral("Invalid port settings \"%1\": %2").arg(settings, applied.why()));
        }
    }
    m_settings = *parsed;
    return done();
}

void QtSerialComm::raise(int event)
{
    m_event = event;
    Q_EMIT OnComm();
}

void QtSerialComm::onReadyRead()
{
    // Straight from the port's notification: no second wake-up per piece. The port does
    // not raise it again while a handler holds it in a box, but goes on reading into
    // its buffer meanwhile, which the hold watch keeps an eye on.
    deliverReceived();
}

void QtSerialComm::scheduleDelivery()
{
    if (m_deliveryQueued)
        return;
    m_deliveryQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_deliveryQueued = false;
        deliverReceived();
    });
}

// One notification per batch of waiting bytes. A receive handler that is still running
// (it shows a message box) gets no second one nested inside it: the bytes are held
// until it returns, and then handed over in order, a batch per turn of the event loop.
void QtSerialComm::deliverReceived()
{
    if (m_inReceive || !m_port.isOpen() || m_port.bytesAvailable() <= 0)
        return;
    m_inReceive = true;
    // Only a handler that lets events run (a box) gives the port time to read ahead.
    m_port.setReadBufferSize(kHoldBytes);
    m_holdWatch.start();
    const QByteArray bytes = m_port.read(qMin<qint64>(m_port.bytesAvailable(), kMaxRead));
    if (m_port.bytesAvailable() < kHoldBytes / 2)
        m_holdFullReported = false;
    m_event = comm::EvReceive;
    Q_EMIT received(bytes);
    m_holdWatch.stop();
    m_port.setReadBufferSize(kReadAheadBytes);
    m_inReceive = false;
    if (m_port.isOpen() && m_port.bytesAvailable() > 0)
        scheduleDelivery();
}

// The holding queue is full while a box is open: the device now waits (on a real line
// without flow control, what follows is lost), which is said once.
void QtSerialComm::watchHold()
{
    if (m_port.bytesAvailable() >= kHoldBytes && !m_holdFullReported) {
        m_holdFullReported = true;
        raise(comm::ErRxOver);
    }
}

void QtSerialComm::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        if (m_port.isOpen()) {
            // A vanished device reports read errors in a busy loop while it still
            // claims to be open: close it once, say so once, and wait for it.
            m_lostDevice = deviceName();
            close();
            m_port.clearError();
            m_reconnect.start();
            Q_EMIT deviceLost(m_lostDevice, m_shortName);
        }
        break;
    default:
        break;
    }
}

void QtSerialComm::tryReconnect()
{
    if (m_port.isOpen() || !QFileInfo::exists(m_lostDevice))
        return;
    if (!open())
        return; // still settling (permissions, a lock): try again shortly
    m_reconnect.stop();
    Q_EMIT deviceBack(m_lostDevice, m_shortName);
}

void QtSerialComm::watchLine()
{
    if (!m_port.isOpen())
        return;
    QList<int> events;
    if (m_watchPins) {
        const QSerialPort::PinoutSignals pins = m_port.pinoutSignals();
        // Asking a vanished adapter may be what finds it gone: the port is closed and
        // the loss said by then, and its lines reading all off is no change to report.
        if (!m_port.isOpen())
            return;
        if (m_port.error() != QSerialPort::NoError) {
            m_port.clearError();
            m_watchPins = false;
        } else {
            const auto changed = pins ^ m_lastPins;
            m_lastPins = pins;
            if (changed & QSerialPort::ClearToSendSignal)
                events << comm::EvCTS;
            if (changed & QSerialPort::DataSetReadySignal)
                events << comm::EvDSR;
            if (changed & QSerialPort::DataCarrierDetectSignal)
                events << comm::EvCD;
            if ((changed & QSerialPort::RingIndicatorSignal) &&
                (pins & QSerialPort::RingIndicatorSignal))
                events << comm::EvRing;
        }
    }
    if (m_counts) {
        if (const auto now = m_counters->read(int(m_port.handle()))) {
            events << lineErrorEvents(*m_counts, *now);
            m_counts = now;
        }
    }
    if (!m_watchPins && !m_counts)
        m_watch.stop();
    // Taken before any is raised: a handler may close and reopen the port meanwhile.
    for (int e : events)
        raise(e);
}

} // namespace vantrel

#include "qtserialcomm.h"

#include <QtGlobal>

namespace vantrel
{

namespace
{
constexpr int kReadBufferBytes = 64 * 1024; // Qt stops reading the device past this
constexpr int kLinePollMs = 100;

QString errorText(const QSerialPort& port, const QString& device)
{
    return QStringLiteral("Cannot open %1: %2").arg(device, port.errorString());
}
} // namespace

QString deviceForPort(int port)
{
    const QByteArray name = "VANTREL_COM" + QByteArray::number(port);
    const QString mapped = qEnvironmentVariable(name.constData());
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

QtSerialComm::QtSerialComm(QObject* parent) : SerialComm(parent)
{
    m_port.setReadBufferSize(kReadBufferBytes);
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialComm::scheduleDelivery);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialComm::onError);
    m_linePoll.setInterval(kLinePollMs);
    connect(&m_linePoll, &QTimer::timeout, this, &QtSerialComm::pollLines);
}

QtSerialComm::~QtSerialComm()
{
    release();
}

void QtSerialComm::release()
{
    m_linePoll.stop();
    if (m_port.isOpen())
        m_port.close();
}

QString QtSerialComm::setPortOpen(bool open)
{
    if (!open) {
        m_linePoll.stop();
        if (m_port.isOpen())
            m_port.close();
        return {};
    }
    if (m_port.isOpen())
        return QStringLiteral("Port already open");
    const QString device = deviceName();
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString why = errorText(m_port, device);
        m_port.clearError();
        return why;
    }
    const QString why = applySettings(m_settings);
    if (!why.isEmpty()) {
        m_port.close();
        m_port.clearError();
        return QStringLiteral("Cannot open %1: %2").arg(device, why);
    }
    // Modem lines are only watched where the device can report them.
    m_lastPins = m_port.pinoutSignals();
    if (m_port.error() == QSerialPort::NoError)
        m_linePoll.start();
    m_port.clearError();
    if (m_port.bytesAvailable() > 0)
        scheduleDelivery();
    return {};
}

QString QtSerialComm::applySettings(const LineSettings& s)
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
        return {};
    const QString why = QStringLiteral("the device does not accept the settings \"%1\" (%2)")
                            .arg(s.toString(), m_port.errorString());
    m_port.clearError();
    return why;
}

QString QtSerialComm::output(const QString& text)
{
    if (!m_port.isOpen())
        return QStringLiteral("Operation valid only when the port is open");
    const QByteArray bytes = text.toLatin1();
    if (m_port.write(bytes) != bytes.size())
        return QStringLiteral("Cannot send to %1: %2").arg(deviceName(), m_port.errorString());
    return {};
}

QString QtSerialComm::input()
{
    if (!m_port.isOpen())
        return {};
    const qint64 n = qMin<qint64>(m_port.bytesAvailable(), kMaxRead);
    const QByteArray bytes = m_port.read(n);
    if (m_port.bytesAvailable() > 0)
        scheduleDelivery();
    return QString::fromLatin1(bytes);
}

int QtSerialComm::outBufferCount() const
{
    if (!m_port.isOpen())
        return 0;
    return static_cast<int>(qMin<qint64>(m_port.bytesToWrite(), 32767));
}

QString QtSerialComm::setCommPort(int port)
{
    if (m_port.isOpen())
        return QStringLiteral("Port already open");
    if (port < 1 || port > 255)
        return QStringLiteral("Invalid port number %1: must be 1 to 255").arg(port);
    m_portNumber = port;
    return {};
}

QString QtSerialComm::setSettings(const QString& settings)
{
    LineSettings parsed;
    QString why;
    if (!parseLineSettings(settings, &parsed, &why))
        return why;
    if (m_port.isOpen()) {
        why = applySettings(parsed);
        if (!why.isEmpty()) {
            applySettings(m_settings);
            return QStringLiteral("Invalid port settings \"%1\": %2").arg(settings, why);
        }
    }
    m_settings = parsed;
    return {};
}

void QtSerialComm::raise(int event)
{
    m_event = event;
    Q_EMIT OnComm();
}

void QtSerialComm::scheduleDelivery()
{
    if (m_deliveryQueued)
        return;
    m_deliveryQueued = true;
    QTimer::singleShot(0, this, &QtSerialComm::deliverReceived);
}

// One notification per batch of waiting bytes. A receive handler that is still
// running (it may show a message box) gets no second one nested inside it: the
// bytes wait in the buffer until it returns.
void QtSerialComm::deliverReceived()
{
    m_deliveryQueued = false;
    if (m_inReceive || !m_port.isOpen() || m_port.bytesAvailable() <= 0)
        return;
    m_inReceive = true;
    raise(comm::EvReceive);
    m_inReceive = false;
    if (m_port.isOpen() && m_port.bytesAvailable() > 0)
        scheduleDelivery();
}

void QtSerialComm::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        if (m_port.isOpen()) {
            // A vanished device reports read errors in a busy loop while it still
            // claims to be open: close it once and say so once.
            m_linePoll.stop();
            m_port.close();
            m_port.clearError();
            Q_EMIT deviceLost(deviceName());
        }
        break;
    default:
        break;
    }
}

void QtSerialComm::pollLines()
{
    if (!m_port.isOpen())
        return;
    const QSerialPort::PinoutSignals pins = m_port.pinoutSignals();
    if (m_port.error() != QSerialPort::NoError) {
        m_port.clearError();
        m_linePoll.stop();
        return;
    }
    const auto changed = pins ^ m_lastPins;
    m_lastPins = pins;
    if (changed & QSerialPort::ClearToSendSignal)
        raise(comm::EvCTS);
    if (changed & QSerialPort::DataSetReadySignal)
        raise(comm::EvDSR);
    if (changed & QSerialPort::DataCarrierDetectSignal)
        raise(comm::EvCD);
    if ((changed & QSerialPort::RingIndicatorSignal) && (pins & QSerialPort::RingIndicatorSignal))
        raise(comm::EvRing);
}

} // namespace vantrel

#include "telnetcodec.h"

#include "commevents.h"

#include <QtEndian>

namespace vantrel
{

using namespace telnet;

namespace
{
QByteArray command(unsigned char verb, unsigned char option)
{
    const char bytes[] = {char(kIac), char(verb), char(option)};
    return QByteArray(bytes, 3);
}

QByteArray comPort(unsigned char code, QByteArrayView value)
{
    const char head[] = {char(kIac), char(kSb), char(kComPort), char(code)};
    QByteArray out(head, 4);
    out += TelnetCodec::escape(value);
    out += char(kIac);
    out += char(kSe);
    return out;
}

unsigned char parityCode(char parity)
{
    switch (parity) {
    case 'o':
        return 2;
    case 'e':
        return 3;
    case 'm':
        return 4;
    case 's':
        return 5;
    default:
        return 1;
    }
}

QString parityWord(unsigned char code)
{
    static const char* const words[] = {"?", "none", "odd", "even", "mark", "space"};
    return QString::fromLatin1(code <= 5 ? words[code] : "?");
}

QString stopWord(unsigned char code)
{
    return code == 3 ? QStringLiteral("1.5") : QString::number(code);
}

unsigned char stopCode(int tenths)
{
    return tenths == 20 ? 2 : tenths == 15 ? 3 : 1;
}
} // namespace

QByteArray TelnetCodec::greeting()
{
    return command(kWill, kBinary) + command(kDo, kBinary) + command(kWill, kSga) +
           command(kDo, kSga) + command(kWill, kComPort);
}

QByteArray TelnetCodec::escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() + data.size() / 64 + 1);
    for (char c : data) {
        out += c;
        if (static_cast<unsigned char>(c) == kIac)
            out += c;
    }
    return out;
}

QByteArray TelnetCodec::setSettings(const LineSettings& s)
{
    m_asked = s;
    m_haveAsked = true;
    m_pending = 4;
    char baud[4];
    qToBigEndian(quint32(s.baud), baud);
    return comPort(kSetBaud, QByteArrayView(baud, 4)) +
           comPort(kSetDataSize, QByteArray(1, char(s.dataBits))) +
           comPort(kSetParity, QByteArray(1, char(parityCode(s.parity)))) +
           comPort(kSetStopSize, QByteArray(1, char(stopCode(s.stopBits)))) +
           comPort(kSetControl, QByteArray(1, char(kNoFlowControl)));
}

QByteArray TelnetCodec::breakCommand(bool on)
{
    return comPort(kSetControl, QByteArray(1, char(on ? kBreakOn : kBreakOff)));
}

QByteArray TelnetCodec::signatureRequest()
{
    return comPort(kSignature, {});
}

QByteArray TelnetCodec::notifyMasks()
{
    // Break, framing, parity and overrun; every modem line and its change.
    return comPort(kSetLineStateMask, QByteArray(1, char(0x1e))) +
           comPort(kSetModemStateMask, QByteArray(1, char(0xff)));
}

void TelnetCodec::feed(QByteArrayView in)
{
    for (qsizetype i = 0; i < in.size(); ++i) {
        const auto b = static_cast<unsigned char>(in[i]);
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Iac;
            else
                m_data += char(b);
            break;
        case State::Iac:
            if (b == kIac) {
                m_data += char(b);
                m_state = State::Data;
            } else if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == kSb) {
                m_sub.clear();
                m_subTooLong = false;
                m_state = State::Sub;
            } else {
                m_state = State::Data; // NOP, go-ahead and the like say nothing here
            }
            break;
        case State::Verb:
            verb(m_verb, b);
            m_state = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                m_state = State::SubIac;
            else if (m_sub.size() < kMaxSub)
                m_sub += char(b);
            else
                m_subTooLong = true;
            break;
        case State::SubIac:
            if (b == kIac) {
                m_state = State::Sub;
                if (m_sub.size() < kMaxSub)
                    m_sub += char(b);
                else
                    m_subTooLong = true;
            } else if (b == kSe) {
                m_state = State::Data;
                if (!m_subTooLong)
                    subnegotiation();
            } else {
                // An unfinished subnegotiation: dropped, and the command read as one.
                m_state = State::Iac;
                --i;
            }
            break;
        }
    }
}

// Each request is answered at most once and only when it changes what was agreed, so
// two sides never talk in a loop.
void TelnetCodec::verb(unsigned char v, unsigned char option)
{
    bool* local = option == kBinary    ? &m_localBinary
                  : option == kSga     ? &m_localSga
                  : option == kComPort ? &m_comPortOffered
                                       : nullptr;
    bool* remote = option == kBinary ? &m_remoteBinary : option == kSga ? &m_remoteSga : nullptr;
    switch (v) {
    case kDo:
        if (!local) {
            m_replies += command(kWont, option);
            break;
        }
        if (!*local)
            m_replies += command(kWill, option);
        *local = true;
        if (option == kComPort)
            m_comPort = true;
        break;
    case kDont:
        if (local && *local)
            m_replies += command(kWont, option);
        if (local)
            *local = false;
        if (option == kComPort)
            m_comPort = false;
        break;
    case kWill:
        if (!remote)
            m_replies += command(kDont, option);
        else if (!*remote)
            m_replies += command(kDo, option);
        if (remote)
            *remote = true;
        break;
    case kWont:
        if (remote && *remote) {
            m_replies += command(kDont, option);
            *remote = false;
        }
        break;
    }
}

void TelnetCodec::subnegotiation()
{
    if (m_sub.size() < 3 || static_cast<unsigned char>(m_sub[0]) != kComPort)
        return;
    const auto code = static_cast<unsigned char>(m_sub[1]);
    const QByteArray value = m_sub.mid(2);
    const auto first = static_cast<unsigned char>(value[0]);
    switch (code) {
    case kServerOffset + kNotifyLineState:
        if (first & 0x10)
            m_events << comm::ErBreak;
        if (first & 0x08)
            m_events << comm::ErFrame;
        if (first & 0x04)
            m_events << comm::ErRxParity;
        if (first & 0x02)
            m_events << comm::ErOverrun;
        break;
    case kServerOffset + kNotifyModemState: {
        // The lines as they stand and what changed since the last report; the first
        // report only says where they stand.
        const unsigned char changed = m_haveModem ? (first ^ m_modem) : 0;
        if ((changed & 0x10) || (first & 0x01))
            m_events << comm::EvCTS;
        if ((changed & 0x20) || (first & 0x02))
            m_events << comm::EvDSR;
        if ((changed & 0x80) || (first & 0x08))
            m_events << comm::EvCD;
        if ((changed & first & 0x40) || (first & 0x04))
            m_events << comm::EvRing;
        m_modem = first;
        m_haveModem = true;
        break;
    }
    default:
        if (code > kServerOffset && code <= kServerOffset + kSetStopSize)
            answer(code - kServerOffset, value);
        break;
    }
}

// The server answers each setting with the one in force; one that differs from what was
// asked was refused.
void TelnetCodec::answer(unsigned char code, const QByteArray& value)
{
    if (!m_haveAsked)
        return;
    if (m_pending > 0)
        --m_pending;
    const auto first = static_cast<unsigned char>(value[0]);
    QString kept, asked;
    switch (code) {
    case kSetBaud: {
        if (value.size() < 4)
            return;
        const quint32 baud = qFromBigEndian<quint32>(value.constData());
        if (baud == quint32(m_asked.baud))
            return;
        kept = QStringLiteral("%1 baud").arg(baud);
        asked = QString::number(m_asked.baud);
        break;
    }
    case kSetDataSize:
        if (first == m_asked.dataBits)
            return;
        kept = QStringLiteral("%1 data bits").arg(first);
        asked = QString::number(m_asked.dataBits);
        break;
    case kSetParity:
        if (first == parityCode(m_asked.parity))
            return;
        kept = QStringLiteral("parity %1").arg(parityWord(first));
        asked = parityWord(parityCode(m_asked.parity));
        break;
    case kSetStopSize:
        if (first == stopCode(m_asked.stopBits))
            return;
        kept = QStringLiteral("%1 stop bits").arg(stopWord(first));
        asked = stopWord(stopCode(m_asked.stopBits));
        break;
    default:
        return;
    }
    m_refusals << QStringLiteral("the server keeps %1 (asked %2)").arg(kept, asked);
}

} // namespace vantrel

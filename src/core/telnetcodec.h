#pragma once

#include "linesettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace vantrel
{

// The client side of a telnet connection with COM port control (RFC 2217), without the
// socket: bytes from the server go in, and out come the line's data, the port's event
// codes, the server's answers to settings it did not take, and the replies the
// negotiation owes the server. Everything to the server is built here too, with 0xFF
// doubled, so every byte value passes both ways (binary mode is asked for both ways).
namespace telnet
{
constexpr unsigned char kSe = 240, kNop = 241, kSb = 250, kWill = 251, kWont = 252, kDo = 253,
                        kDont = 254, kIac = 255;
constexpr unsigned char kBinary = 0, kSga = 3, kComPort = 44;
// COM port control subcommands as the client sends them; the server answers with +100.
constexpr unsigned char kSignature = 0, kSetBaud = 1, kSetDataSize = 2, kSetParity = 3,
                        kSetStopSize = 4, kSetControl = 5, kNotifyLineState = 6,
                        kNotifyModemState = 7, kSetLineStateMask = 10, kSetModemStateMask = 11;
constexpr unsigned char kServerOffset = 100;
constexpr unsigned char kBreakOn = 5, kBreakOff = 6, kNoFlowControl = 1;
// The longest subnegotiation kept; a longer one is read past and dropped.
constexpr int kMaxSub = 256;
} // namespace telnet

class TelnetCodec
{
public:
    // What the negotiation asks for at the start: binary both ways, no go-aheads both
    // ways, and the COM port option on our side.
    static QByteArray greeting();
    // Data for the line, with 0xFF doubled.
    static QByteArray escape(QByteArrayView data);
    // The line settings as four SET commands; each answer is checked against them.
    QByteArray setSettings(const LineSettings& s);
    static QByteArray breakCommand(bool on);
    // Asks for the server's signature: the keep-alive's question, which any live server
    // answers and which changes nothing on the line.
    static QByteArray signatureRequest();
    // Which line and modem changes the server reports.
    static QByteArray notifyMasks();

    // Takes bytes from the server, in any pieces.
    void feed(QByteArrayView in);
    QByteArray takeData() { return std::exchange(m_data, {}); }
    QList<int> takeEvents() { return std::exchange(m_events, {}); }
    QByteArray takeReplies() { return std::exchange(m_replies, {}); }
    // What the server answered in place of a setting it was asked for, in words.
    QStringList takeRefusals() { return std::exchange(m_refusals, {}); }
    // True once the server agreed to the COM port option.
    bool comPortAgreed() const { return m_comPort; }
    // Settings asked for that the server has not answered yet.
    bool answersPending() const { return m_pending > 0; }

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    void verb(unsigned char verb, unsigned char option);
    void subnegotiation();
    void answer(unsigned char code, const QByteArray& value);

    State m_state = State::Data;
    unsigned char m_verb = 0;
    QByteArray m_sub;
    bool m_subTooLong = false;
    QByteArray m_data;
    QList<int> m_events;
    QByteArray m_replies;
    QStringList m_refusals;
    // What each side agreed to: ours by WILL, the server's by DO from us.
    bool m_localBinary = true, m_localSga = true, m_comPort = false;
    bool m_remoteBinary = true, m_remoteSga = true;
    bool m_comPortOffered = true;
    unsigned char m_modem = 0;
    bool m_haveModem = false;
    LineSettings m_asked;
    bool m_haveAsked = false;
    int m_pending = 0;
};

} // namespace vantrel

// The telnet and COM port control reader, as a hostile server would feed it: whatever
// comes, the only bytes it asks to send back are single negotiation answers, never
// more of them than the server sent requests, never data; the result does not depend
// on how the bytes were cut into pieces; and data written through escape() comes back
// as it was, with no answers and no events.
#include "core/telnetcodec.h"
#include "fuzzcheck.h"

using namespace fuzzcheck;
using namespace vantrel;

namespace
{
std::string hex(const QByteArray& b)
{
    return b.toHex(' ').toStdString();
}

struct Read {
    QByteArray data, replies;
    QList<int> events;
    QStringList refusals;
    bool operator==(const Read& o) const
    {
        return data == o.data && replies == o.replies && events == o.events &&
               refusals == o.refusals;
    }
};

Read readAll(TelnetCodec& c)
{
    return Read{c.takeData(), c.takeReplies(), c.takeEvents(), c.takeRefusals()};
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString shown = latin1(data, size);

    TelnetCodec whole;
    whole.setSettings(LineSettings{}).size();
    whole.feed(in);
    const Read a = readAll(whole);

    // The same bytes in pieces cut where the first byte says.
    TelnetCodec pieces;
    pieces.setSettings(LineSettings{}).size();
    const qsizetype step = size > 0 ? 1 + data[0] % 7 : 1;
    for (qsizetype i = 0; i < in.size(); i += step)
        pieces.feed(in.mid(i, step));
    const Read b = readAll(pieces);
    if (!(a == b))
        mismatch("read in pieces", shown, hex(b.data) + " / " + hex(b.replies),
                 hex(a.data) + " / " + hex(a.replies));

    if (a.data.size() > in.size())
        broken("more data than bytes", shown, hex(a.data));
    qsizetype requests = 0;
    for (qsizetype i = 0; i + 1 < in.size(); ++i)
        if (uchar(in[i]) == telnet::kIac && uchar(in[i + 1]) >= telnet::kWill)
            ++requests;
    if (a.replies.size() % 3 != 0 || a.replies.size() / 3 > requests)
        broken("more answers than requests", shown, hex(a.replies));
    for (qsizetype i = 0; i < a.replies.size(); i += 3)
        if (uchar(a.replies[i]) != telnet::kIac || uchar(a.replies[i + 1]) < telnet::kWill ||
            uchar(a.replies[i + 1]) > telnet::kDont)
            broken("an answer that is not a negotiation", shown, hex(a.replies));

    TelnetCodec back;
    back.feed(TelnetCodec::escape(in));
    const Read c = readAll(back);
    if (c.data != in || !c.replies.isEmpty() || !c.events.isEmpty())
        mismatch("escaped data read back", shown, hex(c.data) + " / " + hex(c.replies), hex(in));
    return 0;
}

// The status scanner: scanStatus and valueAfter against a reference that finds each
// marker's first occurrence by plain comparison and copies the value character by
// character from 8 characters after the marker's first one.
#include "core/statusscan.h"
#include "fuzzcheck.h"

#include <QByteArray>

#include <algorithm>

using namespace fuzzcheck;

namespace
{
qsizetype firstAt(const QString& text, const QByteArray& marker)
{
    for (qsizetype m = 0; m + marker.size() <= text.size(); ++m) {
        qsizetype i = 0;
        while (i < marker.size() && text[m + i].unicode() == uchar(marker[i]))
            ++i;
        if (i == marker.size())
            return m;
    }
    return -1;
}

std::optional<QString> referenceValue(const QString& text, const QByteArray& marker, int length)
{
    const qsizetype m = firstAt(text, marker);
    if (m < 0)
        return std::nullopt;
    QString v;
    for (qsizetype i = m + 8; i < m + 8 + length && i < text.size(); ++i)
        v.append(text[i]);
    return v;
}

QLatin1String latin1(const QByteArray& b)
{
    return QLatin1String(b.constData(), b.size());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzcheck::latin1(data, size);
    const QByteArray pmi("> PMII"), speed("VEL =   "), bbt("BBT"), fault("FLT0");

    const vantrel::StatusScan got = vantrel::scanStatus(text);
    const bool pmiWanted = firstAt(text, pmi) >= 0;
    expectEqual("\"> PMII\" seen", text, got.pmi, pmiWanted);
    const auto gated = [&](const QByteArray& marker, int length) {
        return pmiWanted ? referenceValue(text, marker, length) : std::nullopt;
    };
    expectEqual("speed", text, got.speed, gated(speed, 3));
    expectEqual("BBT", text, got.bbt, gated(bbt, 5));
    expectEqual("fault", text, got.fault, gated(fault, 76));

    // valueAfter on its own, for each marker without the gate.
    expectEqual("valueAfter speed", text, vantrel::valueAfter(text, latin1(speed), 3),
                referenceValue(text, speed, 3));
    expectEqual("valueAfter BBT", text, vantrel::valueAfter(text, latin1(bbt), 5),
                referenceValue(text, bbt, 5));
    expectEqual("valueAfter fault", text, vantrel::valueAfter(text, latin1(fault), 76),
                referenceValue(text, fault, 76));

    // And for a marker cut from the text itself (so it is always there), of up to 11
    // bytes, starting at byte 2, with a length of 0 to 95 from the first two bytes.
    if (size >= 2) {
        const int markerSize = data[0] % 12;
        const int length = data[1] % 96;
        const QByteArray own(reinterpret_cast<const char*>(data) + 2,
                             qsizetype(std::min<size_t>(markerSize, size - 2)));
        expectEqual("valueAfter a marker from the text", text,
                    vantrel::valueAfter(text, latin1(own), length),
                    referenceValue(text, own, length));
    }
    return 0;
}

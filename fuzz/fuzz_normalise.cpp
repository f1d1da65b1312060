// Piece normalisation: normalisePiece against a plain three-step reference, and the
// shape every normalised piece must have before it enters the terminal.
#include "core/receivedtext.h"
#include "fuzzcheck.h"

using namespace fuzzcheck;

namespace
{
constexpr char16_t kBackspace = 8;
constexpr char16_t kLf = 10;
constexpr char16_t kCr = 13;

vantrel::NormalisedPiece reference(const QString& received)
{
    vantrel::NormalisedPiece out;
    // 1. Backspaces on the piece as received; one with nothing before it is dropped.
    QString kept;
    for (QChar c : received) {
        if (c.unicode() != kBackspace)
            kept.append(c);
        else if (kept.isEmpty())
            out.leadingBackspace = true;
        else
            kept.chop(1);
    }
    // 2. Every LF dropped.
    QString noLf;
    for (QChar c : kept)
        if (c.unicode() != kLf)
            noLf.append(c);
    // 3. Every CR followed by one LF.
    QString text;
    for (QChar c : noLf) {
        text.append(c);
        if (c.unicode() == kCr)
            text.append(QChar(kLf));
    }
    out.text = text.toLatin1();
    return out;
}

void checkShape(const QString& input, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == kBackspace)
            broken("a backspace is left in the text", input, show(text));
        if (c == kLf && (i == 0 || text[i - 1].unicode() != kCr))
            broken("a line feed without CR before it", input, show(text));
        if (c == kCr && (i + 1 == text.size() || text[i + 1].unicode() != kLf))
            broken("a CR without a line feed after it", input, show(text));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString received = latin1(data, size);
    const vantrel::NormalisedPiece got = vantrel::normalisePiece(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QString gotText = QString::fromLatin1(got.text);
    const vantrel::NormalisedPiece want = reference(received);
    expectEqual("normalised text", received, gotText, QString::fromLatin1(want.text));
    expectEqual("leadingBackspace", received, got.leadingBackspace, want.leadingBackspace);
    checkShape(received, gotText);
    return 0;
}

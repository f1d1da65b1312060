#include "normalise.h"

namespace vantrel
{

NormalisedPiece normalisePiece(const QString& received)
{
    NormalisedPiece out;
    // Backspaces first, on the text as received: each takes the character before
    // it, line feeds included; one with nothing before it reaches the terminal.
    QString kept;
    kept.reserve(received.size());
    for (QChar c : received) {
        if (c.unicode() == 8) {
            if (kept.isEmpty())
                out.leadingBackspace = true;
            else
                kept.chop(1);
        } else {
            kept += c;
        }
    }
    out.text.reserve(kept.size() + kept.size() / 8 + 2);
    for (QChar c : kept) {
        if (c.unicode() == 10)
            continue;
        out.text += c;
        if (c.unicode() == 13)
            out.text += QLatin1Char('\n');
    }
    return out;
}

} // namespace vantrel

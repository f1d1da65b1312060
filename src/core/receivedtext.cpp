#include "receivedtext.h"

#include "crlftext.h"

namespace vantrel
{

NormalisedPiece normalisePiece(const QString& received)
{
    NormalisedPiece out;
    // Backspaces first, on the text as received: each takes the character before
    // it, line feeds included; one with nothing before it reaches the terminal.
    // The pass writes into one buffer; this runs once per received piece.
    QString kept(received.size(), Qt::Uninitialized);
    QChar* k = kept.data();
    qsizetype n = 0;
    for (QChar c : received) {
        if (c.unicode() == 8) {
            if (n == 0)
                out.leadingBackspace = true;
            else
                --n;
        } else {
            k[n++] = c;
        }
    }
    out.text = QString(2 * n, Qt::Uninitialized);
    QChar* o = out.text.data();
    qsizetype m = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = k[i];
        if (c.unicode() == 10)
            continue;
        o[m++] = c;
        if (c.unicode() == 13)
            o[m++] = QLatin1Char('\n');
    }
    out.text.truncate(m);
    return out;
}

QString appendReceived(CrLfText& term, TextField& parseBuffer, const QString& received)
{
    int n = term.length();
    if (n >= kTerminalLimit) {
        term.setText(term.text().mid(kTerminalCut));
        n = term.length();
    }
    term.setSelStart(n);
    NormalisedPiece piece = normalisePiece(received);
    if (piece.leadingBackspace) {
        // Fails on an empty terminal, and the step is skipped.
        if (term.setSelStart(n - 1))
            term.setSelLength(1);
    }
    term.setSelText(piece.text);
    parseBuffer.setText(parseBuffer.text() + piece.text);
    parseBuffer.setText(parseBuffer.text().right(kParseBufferSize));
    return std::move(piece.text);
}

} // namespace vantrel

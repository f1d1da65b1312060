#include "receivedtext.h"

#include "crlftext.h"

namespace vantrel
{

NormalisedPiece normalisePiece(QByteArrayView received)
{
    NormalisedPiece out;
    // Backspaces first, on the bytes as received: each takes the character before
    // it, line feeds included; one with nothing before it reaches the terminal.
    // The pass writes into one buffer; this runs once per received piece.
    QByteArray kept(received.size(), Qt::Uninitialized);
    char* k = kept.data();
    qsizetype n = 0;
    for (char c : received) {
        if (c == 8) {
            if (n == 0)
                out.leadingBackspace = true;
            else
                --n;
        } else {
            k[n++] = c;
        }
    }
    out.text = QByteArray(2 * n, Qt::Uninitialized);
    char* o = out.text.data();
    qsizetype m = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = k[i];
        if (c == 10)
            continue;
        o[m++] = c;
        if (c == 13)
            o[m++] = '\n';
    }
    out.text.truncate(m);
    return out;
}

void TextField::appendKeeping(const QString& more, int keep)
{
    setText(text() + more);
    setText(text().right(keep));
}

QByteArray appendReceived(CrLfText& term, TextField& parseBuffer, QByteArrayView received)
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
    const QString text = QString::fromLatin1(piece.text);
    term.setSelText(text);
    parseBuffer.appendKeeping(text, kParseBufferSize);
    return std::move(piece.text);
}

} // namespace vantrel

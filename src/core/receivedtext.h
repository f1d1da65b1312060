#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vantrel
{

// When the terminal holds this many characters or more, it loses its oldest
// kTerminalCut before the next piece: one cut per append keeps it bounded, since a
// piece is at most 4096 characters.
constexpr int kTerminalLimit = 16384;
constexpr int kTerminalCut = 4096;
// The parse buffer keeps the newest 418 characters received; the replay screen's
// terminal keeps as many, so the same fields are found in the same window.
constexpr int kParseBufferSize = 418;

// How one received piece enters the terminal: backspaces applied, line feeds
// dropped, every CR followed by LF. leadingBackspace tells that a backspace met the
// start of the piece, so the terminal's last character is replaced by the text.
struct NormalisedPiece {
    QByteArray text;
    bool leadingBackspace = false;
};

NormalisedPiece normalisePiece(QByteArrayView received);

class CrLfText;

// A text box as the receive path sets it: its text, and a setter whose every real
// change its owner reacts to at once (the parse buffer's scanner does).
class TextField
{
public:
    virtual ~TextField() = default;
    virtual const QString& text() const = 0;
    virtual void setText(const QString& text) = 0;
    // The text gains `more` and then keeps its newest `keep` characters: two changes,
    // each a setText unless a field knows a cheaper way to the same.
    virtual void appendKeeping(const QString& more, int keep);
};

// One received piece into the terminal and the parse buffer, in this order: the
// terminal loses its oldest kTerminalCut characters once it holds kTerminalLimit; a
// backspace that met the start of the piece selects the terminal's last character,
// so the text replaces it; the normalised text goes in at the end; the parse buffer
// gets it and then keeps its newest kParseBufferSize (two changes). A step that cannot
// be done is skipped. Hands back the piece as it entered, for the capture log.
QByteArray appendReceived(CrLfText& term, TextField& parseBuffer, QByteArrayView received);

} // namespace vantrel

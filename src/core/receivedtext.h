#pragma once

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
    QString text;
    bool leadingBackspace = false;
};

NormalisedPiece normalisePiece(const QString& received);

} // namespace vantrel

#pragma once

#include <QString>

namespace vantrel
{

// How one received piece enters the terminal: backspaces applied, line feeds
// dropped, every CR followed by LF. leadingBackspace tells that a backspace met the
// start of the piece, so the terminal's last character is replaced by the text.
struct NormalisedPiece {
    QString text;
    bool leadingBackspace = false;
};

NormalisedPiece normalisePiece(const QString& received);

} // namespace vantrel

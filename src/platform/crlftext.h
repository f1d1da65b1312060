#pragma once

#include <QString>

namespace vantrel::crlf
{

// The view of a CR LF text: each CR LF pair, lone CR or lone LF is one line break;
// other control characters show as visible symbols, so every other character keeps
// its place one to one.
QString toView(const QString& truth);
QString toView(QStringView truth);
// Character positions between the text (CR LF counted as two) and its view.
int truthToView(const QString& truth, int pos);
int viewToTruth(const QString& truth, int viewPos);
// Pasted or typed text with its line breaks made CR LF.
QString normaliseBreaks(const QString& text);

} // namespace vantrel::crlf

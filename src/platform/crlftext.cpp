#include "crlftext.h"

namespace vantrel::crlf
{

namespace
{
QChar shown(QChar c)
{
    const ushort u = c.unicode();
    if (u == '\t')
        return c;
    if (u < 0x20)
        return QChar(0x2400 + u); // control pictures
    if (u == 0x7F)
        return QChar(0x2421);
    if (u >= 0x80 && u < 0xA0)
        return QChar(0xFFFD);
    return c;
}
} // namespace

QString toView(QStringView truth)
{
    QString out;
    out.reserve(truth.size());
    const qsizetype n = truth.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = truth[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            if (i + 1 < n && truth[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1Char('\n');
        } else {
            out += shown(c);
        }
    }
    return out;
}

QString toView(const QString& truth)
{
    return toView(QStringView(truth));
}

int truthToView(const QString& truth, int pos)
{
    int view = 0;
    const int n = qMin<int>(pos, truth.size());
    for (int i = 0; i < n; ++i) {
        if (truth[i] == QLatin1Char('\r') && i + 1 < truth.size() &&
            truth[i + 1] == QLatin1Char('\n')) {
            ++view;
            ++i;
        } else {
            ++view;
        }
    }
    return view;
}

int viewToTruth(const QString& truth, int viewPos)
{
    int i = 0;
    int view = 0;
    const int n = truth.size();
    while (i < n && view < viewPos) {
        if (truth[i] == QLatin1Char('\r') && i + 1 < n && truth[i + 1] == QLatin1Char('\n'))
            i += 2;
        else
            ++i;
        ++view;
    }
    return i;
}

QString normaliseBreaks(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\r\n");
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n') || c == QChar(0x2029) || c == QChar(0x2028)) {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace vantrel::crlf

#include "crlftext.h"

namespace vantrel::crlf
{

QChar picture(QChar c)
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
            out += picture(c);
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

namespace vantrel
{

bool CrLfText::setText(const QString& text)
{
    if (text == m_text)
        return false;
    const bool append = text.size() > m_text.size() && text.startsWith(m_text);
    m_text = text;
    m_selStart = 0;
    m_selLength = 0;
    changed(append);
    return true;
}

bool CrLfText::setSelStart(int pos)
{
    if (pos < 0 || pos > m_text.size())
        return false;
    m_selStart = pos;
    m_selLength = 0;
    selectionMoved();
    return true;
}

bool CrLfText::setSelLength(int len)
{
    if (len < 0)
        return false;
    m_selLength = qMin(len, int(m_text.size()) - m_selStart);
    selectionMoved();
    return true;
}

void CrLfText::selectionMoved()
{
    if (m_observer)
        m_observer(Change::Selection);
}

bool CrLfText::setSelText(const QString& text)
{
    if (m_selLength == 0 && text.isEmpty())
        return false;
    const bool append = m_selLength == 0 && m_selStart == m_text.size();
    m_text.replace(m_selStart, m_selLength, text);
    m_selStart += int(text.size());
    m_selLength = 0;
    changed(append);
    return true;
}

void CrLfText::replace(int from, int to, const QString& with)
{
    m_text.replace(from, to - from, with);
    m_selStart = from + int(with.size());
    m_selLength = 0;
    changed(false);
}

// A cut followed by an append between two redraws leaves a view drawn from the older,
// longer text: only a whole redraw may follow, never a look at its old positions.
void CrLfText::changed(bool pureAppend)
{
    if (!pureAppend) {
        m_full = true;
        m_synced = 0;
    } else if (!m_full && m_synced > 0 && m_text.at(m_synced - 1) == QLatin1Char('\r') &&
               m_text.at(m_synced) == QLatin1Char('\n')) {
        m_full = true; // a CR LF split across the view's end
        m_synced = 0;
    }
    if (m_observer)
        m_observer(Change::Text);
}

std::optional<CrLfText::ViewUpdate> CrLfText::viewUpdate() const
{
    if (m_full)
        return ViewUpdate{};
    if (m_synced == m_text.size())
        return std::nullopt;
    return ViewUpdate{false, m_synced};
}

} // namespace vantrel

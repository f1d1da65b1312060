#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace vantrel::crlf
{

// How the view shows one character that is not a line break: other control
// characters as their pictures, so every character keeps its place one to one.
QChar picture(QChar c);

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

namespace vantrel
{

// A text box's text as the screens count it, CR LF as two characters: the text, its
// insertion point and selection, and what of it a view (which shows each line break
// once) has not drawn yet.
class CrLfText
{
public:
    // What a change touched: the text (and with it the insertion point), or only the
    // insertion point and selection.
    enum class Change { Text, Selection };
    // The one view that shows this text hears of every change as it happens.
    void setObserver(std::function<void(Change)> observer) { m_observer = std::move(observer); }

    const QString& text() const { return m_text; }
    int length() const { return int(m_text.size()); }
    // Whether the text changed.
    bool setText(const QString& text);

    // Insertion point and selection in text positions. Setting the insertion point
    // outside the text fails, returns false and changes nothing.
    int selStart() const { return m_selStart; }
    bool setSelStart(int pos);
    int selLength() const { return m_selLength; }
    bool setSelLength(int len);
    // Replaces the selection; the insertion point ends after the new text. Whether the
    // text changed.
    bool setSelText(const QString& text);
    // Replaces the characters from `from` up to `to` (typing, pasting, deleting).
    void replace(int from, int to, const QString& with);

    // What a view must draw to show the text: its tail from a position, or all of it.
    struct ViewUpdate {
        bool whole = true;
        int from = 0;
    };
    std::optional<ViewUpdate> viewUpdate() const;
    // The view shows the whole text now.
    void viewDrawn()
    {
        m_full = false;
        m_synced = int(m_text.size());
    }

private:
    void changed(bool pureAppend);
    void selectionMoved();

    QString m_text;
    int m_selStart = 0;
    int m_selLength = 0;
    // Unless m_full says the view must be drawn whole, the view shows the first
    // m_synced characters, unchanged since; so m_synced never exceeds the length then.
    int m_synced = 0;
    bool m_full = true;
    std::function<void(Change)> m_observer;
};

} // namespace vantrel

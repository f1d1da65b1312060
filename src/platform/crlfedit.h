#pragma once

#include <QPlainTextEdit>
#include <QTimer>

#include <functional>

namespace vantrel
{

// A multi-line text box whose text keeps CR LF as two characters, as the screens
// count them; the view shows each line break once. The text changes at once; the
// view is redrawn from it at most about 30 times a second.
class CrLfEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int kRedrawMs = 33;

    explicit CrLfEdit(const QString& name, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    int length() const { return m_text.size(); }

    // Insertion point and selection in text positions (CR LF counts two). Setting the
    // insertion point outside the text fails, returns false and changes nothing.
    int selStart() const { return m_selStart; }
    bool setSelStart(int pos);
    int selLength() const { return m_selLength; }
    bool setSelLength(int len);
    // Replaces the selection; the insertion point ends after the new text.
    void setSelText(const QString& text);

    // Whether typed characters, Enter, Backspace and paste edit the text.
    void setEditable(bool on) { m_editable = on; }
    // Called for every typed character with its code; setting it to 0 discards it.
    std::function<void(int&)> onKeyPress;
    // While this says yes, keys that produce a character reach onKeyPress before any
    // shortcut of the window.
    std::function<bool()> takesAllKeys;

    // Brings the view up to date now (tests and paints call it).
    void flushView();

Q_SIGNALS:
    void Change();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // Keeps the view's bookkeeping right after any change of the text: an append can be
    // drawn as a tail, anything else makes the whole view stale.
    void noteChange(bool pureAppend);
    void editRange(int from, int to, const QString& with);
    void typed(int key);
    QPair<int, int> viewSelection();

    QString m_text;
    int m_selStart = 0;
    int m_selLength = 0;
    bool m_editable = true;
    // Unless m_full says the view must be rebuilt whole, the view shows the first
    // m_synced characters of the text, and they are unchanged since; so m_synced never
    // exceeds the text's length while m_full is false.
    int m_synced = 0;
    bool m_full = true;
    QTimer m_redraw;
};

} // namespace vantrel

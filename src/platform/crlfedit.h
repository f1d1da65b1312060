#pragma once

#include "crlftext.h"

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

    const QString& text() const { return m_model.text(); }
    void setText(const QString& text);
    int length() const { return m_model.length(); }

    // Insertion point and selection in text positions (CR LF counts two). Setting the
    // insertion point outside the text fails, returns false and changes nothing.
    int selStart() const { return m_model.selStart(); }
    bool setSelStart(int pos) { return m_model.setSelStart(pos); }
    int selLength() const { return m_model.selLength(); }
    bool setSelLength(int len) { return m_model.setSelLength(len); }
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
    void changed();
    void editRange(int from, int to, const QString& with);
    void typed(int key);
    QPair<int, int> viewSelection();

    CrLfText m_model;
    bool m_editable = true;
    QTimer m_redraw;
};

} // namespace vantrel

#pragma once

#include "core/crlftext.h"
#include "frameclock.h"

#include <QAbstractScrollArea>
#include <QGlyphRun>
#include <QRawFont>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vantrel
{

// A multi-line text box whose text keeps CR LF as two characters, as the screens
// count them; the view shows each line break once and each other control character
// as its picture. The text changes at once; the view follows at the frame clock's
// pace, drawing only what changed: rows are built from the text, and new text at the
// end scrolls the rows above (the screen moves them) and draws the new ones alone.
// It takes the mouse and the keys of a text box: selection, copy, and, while editable,
// typing, Enter (CR LF), Backspace and Delete (a CR LF as one), cut and paste.
class CrLfEdit : public QAbstractScrollArea, public FrameDrawn
{
    Q_OBJECT
public:
    explicit CrLfEdit(const QString& name, QWidget* parent = nullptr);
    ~CrLfEdit() override;

    // The text the box shows. Its owner may hand it one to draw (the terminal part owns
    // the car screen's terminal text); otherwise the box keeps its own.
    const std::shared_ptr<CrLfText>& model() const { return m_model; }
    void setModel(std::shared_ptr<CrLfText> model);

    const QString& text() const { return m_model->text(); }
    void setText(const QString& text);
    int length() const { return m_model->length(); }

    // Insertion point and selection in text positions (CR LF counts two). Setting the
    // insertion point outside the text fails, returns false and changes nothing.
    int selStart() const { return m_model->selStart(); }
    bool setSelStart(int pos);
    int selLength() const { return m_model->selLength(); }
    bool setSelLength(int len);
    // Replaces the selection; the insertion point ends after the new text.
    void setSelText(const QString& text);

    // Whether typed characters, Enter, Backspace and paste edit the text.
    void setEditable(bool on) { m_editable = on; }
    bool editable() const { return m_editable; }
    // Replaces the characters from `from` up to `to`, as typing does: only while editable.
    bool edit(int from, int to, const QString& with);

    // The text as the box shows it, and as assistive technology reads it: each line break
    // once, other control characters as their pictures.
    const QString& shownText() const;
    // Positions between the text (CR LF counted as two) and the shown text.
    int shownPosition(int pos) const { return crlf::truthToView(text(), pos); }
    int textPosition(int shown) const { return crlf::viewToTruth(text(), shown); }
    // The insertion point: the end of the selection that moves.
    int caret() const;
    // Where the character at a text position is drawn, in the box's own coordinates.
    QRect characterRect(int pos);
    // The text position nearest a point in the box's own coordinates.
    int positionAtPoint(const QPoint& point);
    // Scrolls the row of a text position into view.
    void showPosition(int pos);
    // Rows break at the box's width, between words where they can (for short texts).
    void setWrapping(bool on);
    // Called for every typed character with its code; setting it to 0 discards it.
    std::function<void(int&)> onKeyPress;
    // While this says yes, keys that produce a character reach onKeyPress before any
    // shortcut of the window.
    std::function<bool()> takesAllKeys;

    // Brings the view up to date now (tests and paints call it).
    void flushView();
    // Draws what changed, and tells assistive technology what changed since the last frame.
    void drawFrame() override;
    // The rows as the view shows them, one per line.
    QString viewText() const;

Q_SIGNALS:
    void Change();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    // A row of the view: the text from `from` up to `to` (its line break not counted),
    // and, once it was drawn, its glyphs and where each character starts.
    struct Row {
        int from = 0;
        int to = 0;
        QString shown;
        std::optional<QGlyphRun> glyphs;
        QVector<qreal> x; // one more than characters: the last is the row's width
    };

    void modelChanged(CrLfText::Change what);
    void tellAssistiveTechnology();
    void changed();
    void rebuildFrom(int row);
    void appendRows(int from, int end);
    void updateScrollBars();
    int rowOf(int pos) const;
    int columnX(Row& row, int column);
    int positionAt(const QPoint& viewportPoint);
    QRect rowRect(int row) const;
    // The row's glyphs straight from the font's character map: a terminal's text needs
    // no shaping, and a row is laid out once however often it is drawn.
    const QGlyphRun& glyphsOf(Row& row);
    // The insertion point moved by a key; with Shift held the selection follows it.
    void moveCursor(int pos, bool extend);
    void editRange(int from, int to, const QString& with);
    void typed(int key);
    void copy() const;
    bool navigate(QKeyEvent* e);

    std::shared_ptr<CrLfText> m_model;
    std::vector<Row> m_rows;
    bool m_editable = true;
    bool m_wrapping = false;
    int m_anchor = 0; // the fixed end of a selection made with the mouse or Shift
    int m_lineHeight = 1;
    int m_widest = 0;
    int m_margin = 3;
    bool m_ownBarLayout = false; // the bars' range changes no longer lay the box out
    QRawFont m_rawFont;
    mutable std::optional<QString> m_shown; // shownText(), made when first asked for
    // What assistive technology was last told the box shows, kept only while it listens.
    struct Told {
        QString text;
        int caret = 0;
        int selFrom = -1; // -1: nothing selected
        int selTo = -1;
    };
    std::optional<Told> m_told;
};

} // namespace vantrel

#include "crlfedit.h"

#include "core/textchanges.h"
#include "telling.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>

namespace vantrel
{

CrLfEdit::CrLfEdit(const QString& name, QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    // Each paint fills what it draws: no second fill of the background.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_lineHeight = fontMetrics().lineSpacing();
    m_rawFont = QRawFont::fromFont(font());
    m_rows.push_back(Row{});
    setModel(std::make_shared<CrLfText>());
    // Rows come and go every frame and the bars' ranges follow. The toolkit answers
    // each range change by laying the box out again, which makes the whole window
    // work out anew which controls cover which at its next paint. A bar that is always
    // shown or always hidden needs no new layout; one shown as needed gets it from
    // updateScrollBars when it comes or goes.
    m_ownBarLayout = metaObject()->indexOfMethod("_q_showOrHideScrollBars()") >= 0;
    if (m_ownBarLayout)
        for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
            disconnect(bar, SIGNAL(rangeChanged(int, int)), this, SLOT(_q_showOrHideScrollBars()));
}

CrLfEdit::~CrLfEdit()
{
    m_model->setObserver({}); // the text may outlive its view
}

void CrLfEdit::setModel(std::shared_ptr<CrLfText> model)
{
    if (m_model)
        m_model->setObserver({});
    m_model = std::move(model);
    m_shown.reset();
    m_anchor = m_model->selStart();
    m_model->setObserver([this](CrLfText::Change what) { modelChanged(what); });
    rebuildFrom(0);
    m_model->viewDrawn();
    updateScrollBars();
    viewport()->update();
    if (isVisible() && accessibilityListens())
        requestFrame();
}

void CrLfEdit::modelChanged(CrLfText::Change what)
{
    m_anchor = m_model->selStart();
    if (what == CrLfText::Change::Text) {
        m_shown.reset();
        changed();
        return;
    }
    if (hasFocus() || m_model->selLength() > 0)
        viewport()->update();
    if (isVisible() && accessibilityListens())
        requestFrame(); // the caret's move is told at the frame
}

void CrLfEdit::setText(const QString& text)
{
    m_model->setText(text);
}

bool CrLfEdit::setSelStart(int pos)
{
    return m_model->setSelStart(pos);
}

bool CrLfEdit::setSelLength(int len)
{
    return m_model->setSelLength(len);
}

void CrLfEdit::setSelText(const QString& text)
{
    m_model->setSelText(text);
}

bool CrLfEdit::edit(int from, int to, const QString& with)
{
    if (!m_editable || from < 0 || to < from || to > length())
        return false;
    editRange(from, to, with);
    return true;
}

const QString& CrLfEdit::shownText() const
{
    if (!m_shown)
        m_shown = crlf::toView(text());
    return *m_shown;
}

int CrLfEdit::caret() const
{
    return m_anchor == selStart() ? selStart() + selLength() : selStart();
}

QRect CrLfEdit::characterRect(int pos)
{
    flushView();
    pos = qBound(0, pos, length());
    const int r = rowOf(pos);
    Row& row = m_rows[size_t(r)];
    const int column = qMin(pos, row.to) - row.from;
    const int x = m_margin - horizontalScrollBar()->value() + columnX(row, column);
    const int width = qMax(1, columnX(row, column + 1) - columnX(row, column));
    const QRect line = rowRect(r);
    return QRect(x, line.top(), width, line.height()).translated(viewport()->pos());
}

int CrLfEdit::positionAtPoint(const QPoint& point)
{
    flushView();
    return positionAt(point - viewport()->pos());
}

void CrLfEdit::showPosition(int pos)
{
    const int r = rowOf(qBound(0, pos, length()));
    QScrollBar* v = verticalScrollBar();
    if (r < v->value())
        v->setValue(r);
    else if (r >= v->value() + v->pageStep())
        v->setValue(r - v->pageStep() + 1);
}

void CrLfEdit::setWrapping(bool on)
{
    m_wrapping = on;
    rebuildFrom(0);
    updateScrollBars();
}

void CrLfEdit::changed()
{
    if (isVisible())
        requestFrame();
    Q_EMIT Change();
}

void CrLfEdit::flushView()
{
    const auto update = m_model->viewUpdate();
    if (!update)
        return;
    QScrollBar* bar = verticalScrollBar();
    const int first = update->whole ? 0 : rowOf(update->from);
    rebuildFrom(first);
    m_model->viewDrawn();
    updateScrollBars();
    // The newest text in view: the rows above move up by themselves (the screen scrolls
    // them), what changed is drawn.
    if (m_model->selStart() == length())
        bar->setValue(bar->maximum());
    if (update->whole)
        viewport()->update();
    else
        viewport()->update(rowRect(first).united(rowRect(int(m_rows.size()) - 1)));
}

void CrLfEdit::drawFrame()
{
    flushView();
    tellAssistiveTechnology();
}

// Whatever changed since the last frame reaches assistive technology as one set of the
// toolkit's text events, however many pieces came in between; nothing is kept or
// compared while no assistive technology listens.
void CrLfEdit::tellAssistiveTechnology()
{
    if (!accessibilityListens() || !isVisible()) {
        m_told.reset();
        return;
    }
    const bool selected = selLength() > 0;
    const Told now{shownText(), shownPosition(caret()), selected ? shownPosition(selStart()) : -1,
                   selected ? shownPosition(selStart() + selLength()) : -1};
    if (!m_told) { // what it read of the box so far, it asked for itself
        m_told = now;
        return;
    }
    for (const TextChange& c : textChanges(m_told->text, now.text)) {
        if (c.removed.isEmpty()) {
            QAccessibleTextInsertEvent e(this, c.at, c.inserted);
            tellAccessibility(e);
        } else if (c.inserted.isEmpty()) {
            QAccessibleTextRemoveEvent e(this, c.at, c.removed);
            tellAccessibility(e);
        } else {
            QAccessibleTextUpdateEvent e(this, c.at, c.removed, c.inserted);
            tellAccessibility(e);
        }
    }
    if (now.selFrom != m_told->selFrom || now.selTo != m_told->selTo) {
        QAccessibleTextSelectionEvent e(this, now.selFrom, now.selTo);
        tellAccessibility(e);
    }
    if (now.caret != m_told->caret) {
        QAccessibleTextCursorEvent e(this, now.caret);
        tellAccessibility(e);
    }
    m_told = now;
}

QString CrLfEdit::viewText() const
{
    QStringList rows;
    for (const Row& r : m_rows)
        rows << r.shown;
    return rows.join(QLatin1Char('\n'));
}

// The rows from this one on, made again from the text (the rows above stay).
void CrLfEdit::rebuildFrom(int row)
{
    row = qBound(0, row, int(m_rows.size()) - 1);
    const int from = m_rows[row].from;
    m_rows.resize(row);
    appendRows(from, length());
    if (row == 0)
        m_widest = 0;
}

void CrLfEdit::appendRows(int from, int end)
{
    const QString& t = text();
    const qreal room = viewport()->width() - 2 * m_margin;
    const auto push = [&](int start, int stop) {
        QString shown(stop - start, Qt::Uninitialized);
        for (int i = start; i < stop; ++i)
            shown[i - start] = crlf::picture(t[i]);
        // Rows break between words where the box is too narrow; a long word anywhere.
        while (m_wrapping && room > 0 && shown.size() > 1) {
            const QVector<QPointF> advances =
                m_rawFont.advancesForGlyphIndexes(m_rawFont.glyphIndexesForString(shown));
            int fits = 0;
            for (qreal x = 0; fits < advances.size() && x + advances[fits].x() <= room; ++fits)
                x += advances[fits].x();
            if (fits >= shown.size())
                break;
            fits = qMax(1, fits);
            const int blank = int(shown.lastIndexOf(QLatin1Char(' '), fits - 1));
            const int cut = blank > 0 ? blank + 1 : fits;
            m_rows.push_back(Row{start, start + cut, shown.left(cut), {}, {}});
            start += cut;
            shown.remove(0, cut);
        }
        m_rows.push_back(Row{start, stop, shown, {}, {}});
    };
    int start = from;
    for (int i = from; i < end; ++i) {
        const QChar c = t[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        push(start, i);
        if (c == QLatin1Char('\r') && i + 1 < end && t[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    push(start, end);
}

void CrLfEdit::updateScrollBars()
{
    const int inner = qMax(1, viewport()->height() - 2 * m_margin);
    const int visible = qMax(1, inner / m_lineHeight);
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, qMax(0, int(m_rows.size()) - visible));
    v->setPageStep(visible);
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, qMax(0, m_widest + 2 * m_margin - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(m_lineHeight);
    if (!m_ownBarLayout)
        return;
    const auto stale = [this](QScrollBar* bar, Qt::ScrollBarPolicy policy) {
        return policy == Qt::ScrollBarAsNeeded && (bar->maximum() > 0) != bar->isVisibleTo(this);
    };
    if (stale(v, verticalScrollBarPolicy()) || stale(h, horizontalScrollBarPolicy()))
        QMetaObject::invokeMethod(this, "_q_showOrHideScrollBars", Qt::QueuedConnection);
}

int CrLfEdit::rowOf(int pos) const
{
    const auto after = std::upper_bound(m_rows.begin(), m_rows.end(), pos,
                                        [](int p, const Row& r) { return p < r.from; });
    return qMax(0, int(after - m_rows.begin()) - 1);
}

int CrLfEdit::columnX(Row& row, int column)
{
    glyphsOf(row);
    return int(row.x[qBound(0, column, int(row.shown.size()))]);
}

QRect CrLfEdit::rowRect(int row) const
{
    const int top = m_margin + (row - verticalScrollBar()->value()) * m_lineHeight;
    return QRect(0, top, viewport()->width(), m_lineHeight);
}

const QGlyphRun& CrLfEdit::glyphsOf(Row& row)
{
    if (row.glyphs)
        return *row.glyphs;
    const int n = int(row.shown.size());
    QVector<quint32> indexes = m_rawFont.glyphIndexesForString(row.shown);
    QVector<QPointF> advances = m_rawFont.advancesForGlyphIndexes(indexes);
    const bool complete = !indexes.contains(0u) && indexes.size() == n;
    if (!complete) {
        // A character this font has no glyph for: the toolkit finds one in another.
        QTextLayout layout(row.shown, font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        row.glyphs = runs.isEmpty() ? QGlyphRun() : runs.first();
        row.x.resize(n + 1);
        for (int i = 0; i <= n; ++i)
            row.x[i] = layout.lineAt(0).cursorToX(i);
    } else {
        QVector<QPointF> positions(n);
        row.x.resize(n + 1);
        qreal x = 0;
        for (int i = 0; i < n; ++i) {
            positions[i] = QPointF(x, m_rawFont.ascent());
            row.x[i] = x;
            x += advances[i].x();
        }
        row.x[n] = x;
        QGlyphRun run;
        run.setRawFont(m_rawFont);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        row.glyphs = run;
    }
    const int width = int(row.x[n]) + 1;
    if (width > m_widest) {
        m_widest = width;
        QMetaObject::invokeMethod(this, &CrLfEdit::updateScrollBars, Qt::QueuedConnection);
    }
    return *row.glyphs;
}

void CrLfEdit::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    const QPalette& pal = viewport()->palette();
    p.fillRect(e->rect(), pal.color(QPalette::Base));
    const QRect inner = viewport()->rect().adjusted(m_margin, m_margin, -m_margin, -m_margin);
    p.setClipRect(inner & e->rect());
    p.setFont(font());
    const int top = verticalScrollBar()->value();
    const int first = qMax(top, top + (e->rect().top() - m_margin) / m_lineHeight);
    const int last =
        qMin(int(m_rows.size()) - 1, top + (e->rect().bottom() - m_margin) / m_lineHeight);
    const int x0 = m_margin - horizontalScrollBar()->value();
    const int selFrom = selStart();
    const int selTo = selFrom + selLength();
    const int caretRow = selLength() == 0 && hasFocus() ? rowOf(selFrom) : -1;
    for (int r = first; r <= last; ++r) {
        Row& row = m_rows[size_t(r)];
        const int y = m_margin + (r - top) * m_lineHeight;
        const QGlyphRun& glyphs = glyphsOf(row);
        p.setPen(pal.color(QPalette::Text));
        p.drawGlyphRun(QPointF(x0, y), glyphs);
        if (selTo > row.from && selFrom <= row.to) {
            const int a = columnX(row, qMax(selFrom, row.from) - row.from);
            const int b = selTo > row.to ? columnX(row, row.to - row.from) + 4
                                         : columnX(row, selTo - row.from);
            const QRect band(x0 + a, y, b - a, m_lineHeight);
            p.save();
            p.setClipRect(band & inner & e->rect());
            p.fillRect(band, pal.color(QPalette::Highlight));
            p.setPen(pal.color(QPalette::HighlightedText));
            p.drawGlyphRun(QPointF(x0, y), glyphs);
            p.restore();
        }
        if (r == caretRow) {
            const int x = x0 + columnX(row, qMin(selFrom, row.to) - row.from);
            p.fillRect(QRect(x, y, 1, m_lineHeight), pal.color(QPalette::Text));
        }
    }
}

void CrLfEdit::scrollContentsBy(int dx, int dy)
{
    // Within the margins only, so no row slides into them.
    const QRect inner = viewport()->rect().adjusted(m_margin, m_margin, -m_margin, -m_margin);
    if (qAbs(dy) * m_lineHeight >= inner.height() || qAbs(dx) >= inner.width())
        viewport()->update();
    else
        viewport()->scroll(dx, dy * m_lineHeight, inner);
}

void CrLfEdit::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (m_wrapping)
        rebuildFrom(0);
    updateScrollBars();
}

void CrLfEdit::showEvent(QShowEvent* e)
{
    flushView();
    updateScrollBars();
    if (accessibilityListens())
        requestFrame(); // from here on, changes are told
    QAbstractScrollArea::showEvent(e);
}

void CrLfEdit::focusInEvent(QFocusEvent* e)
{
    viewport()->update(); // the caret
    QAbstractScrollArea::focusInEvent(e);
}

void CrLfEdit::focusOutEvent(QFocusEvent* e)
{
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(e);
}

int CrLfEdit::positionAt(const QPoint& point)
{
    const int r = qBound(0, verticalScrollBar()->value() + (point.y() - m_margin) / m_lineHeight,
                         int(m_rows.size()) - 1);
    Row& row = m_rows[size_t(r)];
    const int x = point.x() - m_margin + horizontalScrollBar()->value();
    // The first column whose middle lies right of the point.
    int lo = 0;
    int hi = int(row.shown.size());
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if ((columnX(row, mid) + columnX(row, mid + 1)) / 2 < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    return row.from + lo;
}

void CrLfEdit::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(e);
    flushView();
    moveCursor(positionAt(e->position().toPoint()), e->modifiers() & Qt::ShiftModifier);
}

void CrLfEdit::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() & Qt::LeftButton)
        moveCursor(positionAt(e->position().toPoint()), true);
}

void CrLfEdit::moveCursor(int pos, bool extend)
{
    pos = qBound(0, pos, length());
    if (!extend)
        m_anchor = pos;
    const int anchor = m_anchor;
    m_model->setSelStart(qMin(anchor, pos));
    m_model->setSelLength(qAbs(pos - anchor));
    m_anchor = anchor;
    showPosition(pos); // the row of the moving end in view
    viewport()->update();
}

bool CrLfEdit::navigate(QKeyEvent* e)
{
    const bool extend = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    // The moving end: the one away from the anchor.
    const int cursor = m_anchor == selStart() ? selStart() + selLength() : selStart();
    const QString& t = text();
    Row& row = m_rows[size_t(rowOf(cursor))];
    const int x = columnX(row, qMin(cursor, row.to) - row.from);
    const auto rowAt = [&](int r) {
        r = qBound(0, r, int(m_rows.size()) - 1);
        const QPoint p(m_margin - horizontalScrollBar()->value() + x,
                       m_margin + (r - verticalScrollBar()->value()) * m_lineHeight);
        return positionAt(p);
    };
    int to = cursor;
    switch (e->key()) {
    case Qt::Key_Left: // a CR LF is one step
        to = cursor >= 2 && t.mid(cursor - 2, 2) == QLatin1String("\r\n") ? cursor - 2 : cursor - 1;
        break;
    case Qt::Key_Right:
        to = t.mid(cursor, 2) == QLatin1String("\r\n") ? cursor + 2 : cursor + 1;
        break;
    case Qt::Key_Up:
        to = rowAt(rowOf(cursor) - 1);
        break;
    case Qt::Key_Down:
        to = rowAt(rowOf(cursor) + 1);
        break;
    case Qt::Key_PageUp:
        to = rowAt(rowOf(cursor) - verticalScrollBar()->pageStep());
        break;
    case Qt::Key_PageDown:
        to = rowAt(rowOf(cursor) + verticalScrollBar()->pageStep());
        break;
    case Qt::Key_Home:
        to = ctrl ? 0 : row.from;
        break;
    case Qt::Key_End:
        to = ctrl ? length() : row.to;
        break;
    default:
        return false;
    }
    moveCursor(to, extend);
    return true;
}

void CrLfEdit::editRange(int from, int to, const QString& with)
{
    m_model->replace(from, to, with);
    flushView();
}

void CrLfEdit::typed(int key)
{
    int a = selStart();
    const int b = a + selLength();
    if (key == '\b') {
        if (a == b && a > 0)
            a -= (a >= 2 && text().mid(a - 2, 2) == QLatin1String("\r\n")) ? 2 : 1;
        if (a != b)
            editRange(a, b, {});
    } else if (key == '\r') {
        editRange(a, b, QStringLiteral("\r\n"));
    } else if (key >= 0x20 && key != 0x7F) {
        editRange(a, b, QString(QChar(key)));
    }
}

void CrLfEdit::copy() const
{
    if (selLength() == 0)
        return;
    QString t = text().mid(selStart(), selLength());
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QGuiApplication::clipboard()->setText(t);
}

bool CrLfEdit::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride && takesAllKeys && takesAllKeys()) {
        auto* k = static_cast<QKeyEvent*>(e);
        // Alt with a letter is a menu's access key, never a typed character.
        if (!k->text().isEmpty() && k->key() != Qt::Key_Tab && k->key() != Qt::Key_Backtab &&
            !(k->modifiers() & Qt::AltModifier)) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::FontChange) {
        m_lineHeight = qMax(1, fontMetrics().lineSpacing());
        m_rawFont = QRawFont::fromFont(font());
        rebuildFrom(0);
        updateScrollBars();
    }
    return QAbstractScrollArea::event(e);
}

void CrLfEdit::keyPressEvent(QKeyEvent* e)
{
    const int k = e->key();
    if (k == Qt::Key_Delete) {
        if (m_editable) {
            const int a = selStart();
            int b = a + selLength();
            if (a == b && b < length())
                b += text().mid(a, 2) == QLatin1String("\r\n") ? 2 : 1;
            if (a != b)
                editRange(a, b, {});
        }
        e->accept();
        return;
    }
    const QString t = e->text();
    if (e->modifiers() & Qt::AltModifier) {
        e->ignore();
        return;
    }
    if (t.isEmpty()) {
        flushView();
        if (navigate(e))
            e->accept();
        else
            QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    e->accept();
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    for (QChar ch : t) {
        int key = ch.unicode();
        // Control letters give their control codes on every platform (Ctrl+C is 3).
        if (ctrl && k >= Qt::Key_A && k <= Qt::Key_Z && t.size() == 1)
            key = k - Qt::Key_A + 1;
        if (onKeyPress)
            onKeyPress(key);
        if (key == 0)
            continue;
        if (ctrl && (k == Qt::Key_C || k == Qt::Key_Insert)) {
            copy();
        } else if (ctrl && k == Qt::Key_A) {
            m_anchor = 0;
            moveCursor(length(), true);
        } else if (ctrl && k == Qt::Key_V && m_editable) {
            editRange(selStart(), selStart() + selLength(),
                      crlf::normaliseBreaks(QGuiApplication::clipboard()->text()));
        } else if (ctrl && k == Qt::Key_X && m_editable) {
            copy();
            editRange(selStart(), selStart() + selLength(), {});
        } else if (m_editable) {
            typed(key);
        }
    }
}

} // namespace vantrel

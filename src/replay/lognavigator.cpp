#include "lognavigator.h"

#include "core/gototarget.h"
#include "core/notes.h"
#include "core/sentlog.h"
#include "core/signalexport.h"
#include "logreplay.h"
#include "timelinewindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSaveFile>
#include <QToolButton>

#include <algorithm>

namespace vantrel
{

namespace
{
// A dump is shown whole once its last data line has been played.
constexpr qint64 kDumpLines = 8;
constexpr int kProgressSteps = 1000;
} // namespace

LogNavigator::LogNavigator(const ReplayControls& controls, LogReplay& playback,
                           const Services& services)
    : m_c(controls), m_playback(playback), m_s(services), m_dialog(services.makeFileDialog())
{
    connect(&m_playback, &LogReplay::logLoaded, this, &LogNavigator::logLoaded);
    connect(&m_playback, &LogReplay::lineShown, this, &LogNavigator::showPosition);
    connect(&m_playback, &LogReplay::logClosed, this, [this] {
        forgetLog();
        setFindEnabled(false);
        m_c.IndexProgress->hide();
        m_c.LogPosition->clear();
        m_c.FindCount->clear();
    });
    connect(m_c.MGoTo, &QAction::triggered, this, [this] {
        m_c.GoToText->setFocus();
        m_c.GoToText->selectAll();
    });
    connect(m_c.GoToText, &QLineEdit::returnPressed, this, &LogNavigator::goToTyped);
    const auto event = [this](QAction* action, LogIndex::Event kind, bool forward) {
        connect(action, &QAction::triggered, this,
                [this, kind, forward] { goToEvent(kind, forward); });
    };
    event(m_c.MNextDump, LogIndex::Event::Dump, true);
    event(m_c.MPrevDump, LogIndex::Event::Dump, false);
    event(m_c.MNextFault, LogIndex::Event::NewFault, true);
    event(m_c.MPrevFault, LogIndex::Event::NewFault, false);
    event(m_c.MNextArrival, LogIndex::Event::Arrival, true);
    event(m_c.MPrevArrival, LogIndex::Event::Arrival, false);
    connect(m_c.MNextSent, &QAction::triggered, this, [this] { goToSent(true); });
    connect(m_c.MPrevSent, &QAction::triggered, this, [this] { goToSent(false); });
    connect(m_c.MNextNote, &QAction::triggered, this, [this] { goToNote(true); });
    connect(m_c.MPrevNote, &QAction::triggered, this, [this] { goToNote(false); });
    connect(m_c.MFind, &QAction::triggered, this, [this] {
        m_c.FindText->setFocus();
        m_c.FindText->selectAll();
    });
    connect(m_c.FindText, &QLineEdit::returnPressed, this, [this] {
        m_goToFirstHit = true;
        find();
    });
    // A new text or case asks again at the next Enter or F3: what was found, or is
    // being found, for the one before is not what the box asks for.
    const auto dropFind = [this] {
        m_search.reset();
        m_logHits.reset();
        m_hits.reset();
        m_goToFirstHit = false;
        m_c.FindCount->clear();
        m_c.FindCount->setToolTip({});
        if (m_timeline)
            m_timeline->setFindHits({});
    };
    connect(m_c.FindText, &QLineEdit::textEdited, this, dropFind);
    connect(m_c.FindCase, &QCheckBox::toggled, this, dropFind);
    connect(m_c.MFindNext, &QAction::triggered, this, &LogNavigator::findNext);
    connect(m_c.MFindPrev, &QAction::triggered, this, &LogNavigator::findPrevious);
    connect(m_c.FindNext, &QToolButton::clicked, this, &LogNavigator::findNext);
    connect(m_c.FindPrevious, &QToolButton::clicked, this, &LogNavigator::findPrevious);
    connect(m_c.MExportSignals, &QAction::triggered, this, &LogNavigator::MExportSignals_Click);
    connect(m_c.MTimeline, &QAction::triggered, this, &LogNavigator::MTimeline_Click);
    m_c.IndexProgress->setRange(0, kProgressSteps);
    m_c.IndexProgress->hide();
    setFindEnabled(false);
    setIndexActions(false);
}

LogNavigator::~LogNavigator()
{
    // The threads stop before anything they report to goes away.
    m_indexer.reset();
    m_search.reset();
}

void LogNavigator::forgetLog()
{
    ++m_generation;
    m_indexer.reset(); // an earlier log's index stops at once
    m_search.reset();
    m_index.reset();
    m_logHits.reset();
    m_hits.reset();
    m_sentPieces.clear();
    m_sentLines.clear();
    m_noteLines.clear();
    m_note.clear();
    m_path.clear();
    m_loadedAs.reset();
    delete m_timeline; // it shows the log that went
    setIndexActions(false);
}

void LogNavigator::setIndexActions(bool on)
{
    for (QAction* a : {m_c.MGoTo, m_c.MNextDump, m_c.MPrevDump, m_c.MNextFault, m_c.MPrevFault,
                       m_c.MNextArrival, m_c.MPrevArrival, m_c.MExportSignals, m_c.MTimeline})
        a->setEnabled(on);
    m_c.GoToText->setEnabled(on);
    setMarkActions(m_playback.shownLines());
}

void LogNavigator::setMarkActions(qint64 line)
{
    const auto step = [line](QAction* next, QAction* previous, const std::vector<qint64>& lines) {
        next->setEnabled(!lines.empty() && lines.back() > line);
        previous->setEnabled(!lines.empty() && lines.front() < line);
    };
    step(m_c.MNextSent, m_c.MPrevSent, m_sentLines);
    step(m_c.MNextNote, m_c.MPrevNote, m_noteLines);
}

std::vector<qint64> LogNavigator::linesOf(const QList<qint64>& offsets) const
{
    std::vector<qint64> lines;
    if (!m_index || m_index->bytes() == 0)
        return lines;
    for (const qint64 offset : offsets)
        // Sent once the whole log was in: at its last line.
        if (const Result<qint64> line =
                m_index->lineAt(qBound(qint64(0), offset, m_index->bytes() - 1));
            line)
            lines.push_back(*line);
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

void LogNavigator::readSentLines()
{
    QList<qint64> offsets;
    const SentLog sent = SentLog::forLog(m_path, m_index->bytes());
    m_sentPieces.clear();
    for (const SentPiece& piece : sent.pieces())
        if (piece.source != sent::Source::Poll) {
            offsets << piece.offset;
            m_sentPieces << piece;
        }
    m_sentLines = linesOf(offsets);
}

void LogNavigator::readNoteLines()
{
    QList<qint64> offsets;
    const Notes notes = Notes::forLog(m_path, m_index->bytes());
    for (const Note& n : notes.notes())
        offsets << n.offset;
    m_noteLines = linesOf(offsets);
}

void LogNavigator::notesChanged()
{
    if (!m_index)
        return;
    readNoteLines();
    setMarkActions(m_playback.shownLines());
    if (m_timeline)
        m_timeline->reloadSent();
}

void LogNavigator::goToMark(const std::vector<qint64>& lines, bool forward)
{
    const qint64 from = m_playback.shownLines();
    const auto it = forward ? std::upper_bound(lines.begin(), lines.end(), from)
                            : std::lower_bound(lines.begin(), lines.end(), from);
    if (forward ? it != lines.end() : it != lines.begin())
        goToLine(forward ? *it : *std::prev(it));
}

void LogNavigator::setFindEnabled(bool on)
{
    for (QAction* a : {m_c.MFind, m_c.MFindNext, m_c.MFindPrev})
        a->setEnabled(on);
    m_c.FindNext->setEnabled(on);
    m_c.FindPrevious->setEnabled(on);
}

void LogNavigator::note(const QString& text)
{
    m_note = text;
    showPosition(m_playback.shownLines());
}

void LogNavigator::logLoaded(const QString& path)
{
    forgetLog();
    const int generation = m_generation;
    m_path = path;
    m_loadedAs = identify(path);
    setFindEnabled(true);
    m_c.FindCount->clear();
    m_c.IndexProgress->setValue(0);
    m_c.IndexProgress->show();
    LogIndexer::Options options;
    // Both run on the indexer's threads: what they report is handed to this one.
    options.progress = [this, generation](double fraction) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, fraction] {
                if (generation == m_generation)
                    indexProgress(fraction);
            },
            Qt::QueuedConnection);
    };
    options.finished = [this, generation] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_generation)
                    indexFinished();
            },
            Qt::QueuedConnection);
    };
    m_indexer = std::make_unique<LogIndexer>(path, options);
    showPosition(0);
}

void LogNavigator::indexProgress(double fraction)
{
    m_c.IndexProgress->setValue(int(fraction * kProgressSteps));
}

void LogNavigator::indexFinished()
{
    const Result<std::shared_ptr<const LogIndex>> built = m_indexer->result();
    m_indexer.reset();
    m_c.IndexProgress->hide();
    if (!built) {
        m_c.LogPosition->setText(QStringLiteral("No index"));
        m_c.LogPosition->setToolTip(built.why());
        return;
    }
    m_index = *built;
    readSentLines();
    readNoteLines();
    if (m_logHits) // found before the sent commands were read: they join in now
        showHits();
    setIndexActions(true);
    showPosition(m_playback.shownLines());
    Q_EMIT indexReady();
}

void LogNavigator::showPosition(qint64 line)
{
    if (m_timeline)
        m_timeline->setCursorLine(line);
    setMarkActions(line);
    QString text = QStringLiteral("Line %L1").arg(line);
    QString tip;
    if (m_index) {
        text += QStringLiteral(" of %L1").arg(m_index->lines());
        const CaptureTimes& times = m_index->times();
        const Result<std::optional<qint64>> ms =
            line > 0 ? m_index->lineTime(line) : Result<std::optional<qint64>>(std::nullopt);
        if (line > 0 && ms && *ms) {
            text += QLatin1Char(' ') +
                    QDateTime::fromMSecsSinceEpoch(**ms).toString(QStringLiteral("HH:mm:ss"));
        } else if (!times.valid()) {
            // Said whole until playing starts, then kept short with the whole as a tip.
            text = line == 0 ? times.notice() : text + QStringLiteral(", no capture times");
        }
        if (const auto stop = times.stoppedAt(); stop && line > 0 && !(ms && *ms)) {
            // The times stop in the line holding their last byte, the next one has none.
            if (const Result<qint64> last = m_index->lineAt(*stop - 1); last)
                text += QStringLiteral(" past line %L1").arg(*last);
        }
        if (!times.valid())
            tip = times.notice();
    } else if (m_indexer) {
        text += QStringLiteral(", indexing");
    }
    if (!m_note.isEmpty()) // till the next move asked for
        text += QStringLiteral("; ") + m_note;
    m_c.LogPosition->setText(text);
    m_c.LogPosition->setToolTip(tip);
}

void LogNavigator::fail(const QString& why)
{
    m_s.boxes->show(why, mb::OkExclamation);
}

bool LogNavigator::stillTheLoadedLog()
{
    const std::optional<FileIdentity> now = identify(m_path);
    const qint64 indexed = m_index ? m_index->bytes() : m_loadedAs ? m_loadedAs->size : 0;
    QString what;
    if (!now)
        what = QStringLiteral("it is no longer there");
    else if (!m_loadedAs || now->device != m_loadedAs->device || now->inode != m_loadedAs->inode)
        what = QStringLiteral("another file is at its name now");
    else if (now->size < indexed)
        what = QStringLiteral("it is shorter than it was");
    if (what.isEmpty())
        return true;
    // Its places were found in the file that was there: they would cut into this one.
    const QString path = m_path;
    if (m_s.boxes->show(
            QStringLiteral("%1 changed since it was loaded (%2). Load it again?").arg(path, what),
            mb::YesNoQuestion) == mb::Yes)
        // Once the caller is done: loading again closes the timeline that may have asked.
        QMetaObject::invokeMethod(
            this, [this, path] { m_playback.load(path); }, Qt::QueuedConnection);
    return false;
}

bool LogNavigator::goToLine(qint64 line)
{
    if (!m_index) {
        fail(m_indexer ? QStringLiteral("The log is still being indexed: try again in a moment")
                       : QStringLiteral("No log is loaded"));
        return false;
    }
    if (!stillTheLoadedLog())
        return false;
    m_note.clear();
    line = qBound(qint64(0), line, m_index->lines());
    const Result<ReplayState> state = line == 0 ? Result<ReplayState>(m_playback.atLoad())
                                                : m_index->stateAfter(line, m_playback.atLoad());
    if (!state) {
        fail(state.why());
        return false;
    }
    const Result<qint64> next =
        line < m_index->lines() ? m_index->lineOffset(line + 1) : Result<qint64>(m_index->bytes());
    if (!next) {
        fail(next.why());
        return false;
    }
    m_playback.goTo(line, *state, *next);
    return true;
}

void LogNavigator::goToTyped()
{
    if (!m_index)
        return;
    const CaptureTimes& times = m_index->times();
    const Result<GoToTarget> target =
        parseGoTo(m_c.GoToText->text(), times.valid() ? times.firstMs() : std::nullopt,
                  times.valid() ? times.lastMs() : std::nullopt);
    if (!target) {
        fail(target.why());
        return;
    }
    switch (target->kind) {
    case GoToTarget::Kind::Line:
        goToLine(target->line);
        break;
    case GoToTarget::Kind::Fraction:
        goToLine(target->fraction <= 0 ? 0 : m_index->lineAtFraction(target->fraction));
        break;
    case GoToTarget::Kind::Time:
        // The moment as it was: the lines received by then, as a timeline click shows.
        if (const Result<qint64> line = m_index->lineUpTo(target->ms); line)
            goToLine(*line);
        else
            fail(line.why());
        break;
    }
}

void LogNavigator::goToEvent(LogIndex::Event kind, bool forward)
{
    if (!m_index)
        return;
    // A dump is gone to once it is whole on the screen, so the grid shows it.
    const qint64 shift = kind == LogIndex::Event::Dump ? kDumpLines : 0;
    const qint64 from = m_playback.shownLines() - shift;
    const std::optional<qsizetype> i =
        forward ? m_index->next(kind, from) : m_index->previous(kind, from);
    if (!i)
        return; // none that way: the screen stays where it is
    goToLine(qMin(m_index->place(kind, *i).line + shift, m_index->lines()));
}

void LogNavigator::find()
{
    const QString typed = m_c.FindText->text();
    m_search.reset();
    m_logHits.reset();
    m_hits.reset();
    m_c.FindCount->clear();
    if (typed.isEmpty() || m_path.isEmpty())
        return;
    // The log is Latin-1 bytes: other text could only be found as something else.
    for (const QChar c : typed)
        if (c.unicode() > 0xff) {
            m_goToFirstHit = false;
            fail(QStringLiteral("The text to find must be Latin-1: \"%1\" is not").arg(c));
            return;
        }
    const QByteArray text = typed.toLatin1();
    m_findText = text;
    m_findIgnoreCase = !m_c.FindCase->isChecked();
    const int generation = m_generation;
    m_search =
        std::make_unique<LogSearch>(m_path, text, !m_c.FindCase->isChecked(), [this, generation] {
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (generation == m_generation)
                        searchFinished();
                },
                Qt::QueuedConnection);
        });
    m_c.FindCount->setText(QStringLiteral("Finding"));
}

void LogNavigator::searchFinished()
{
    if (!m_search || !m_search->finished())
        return;
    const Result<SearchResult>& found = m_search->result();
    if (!found) {
        m_c.FindCount->setText(QStringLiteral("Not read"));
        m_c.FindCount->setToolTip(found.why());
        m_search.reset();
        return;
    }
    m_logHits = *found;
    m_search.reset();
    showHits();
    if (std::exchange(m_goToFirstHit, false))
        findNext();
}

void LogNavigator::showHits()
{
    const std::vector<SearchHit> sent =
        findSent(m_sentPieces, m_findText, m_findIgnoreCase, [this](qint64 offset) {
            const Result<qint64> line =
                m_index && m_index->bytes() > 0
                    ? m_index->lineAt(qBound(qint64(0), offset, m_index->bytes() - 1))
                    : Result<qint64>(qint64(0));
            return line ? *line : qint64(0);
        });
    m_hits = mergeHits(*m_logHits, sent);
    m_c.FindCount->setToolTip({});
    QString count = m_hits->count == 1 ? QStringLiteral("1 hit")
                                       : QStringLiteral("%L1 hits").arg(m_hits->count);
    if (m_hits->sentCount > 0)
        count += QStringLiteral(", %L1 sent").arg(m_hits->sentCount);
    m_c.FindCount->setText(count);
    QList<qint64> lines;
    lines.reserve(qsizetype(m_hits->hits.size()));
    for (const SearchHit& h : m_hits->hits)
        if (lines.isEmpty() || lines.last() != h.line)
            lines << h.line;
    Q_EMIT hitsFound(lines);
    if (m_timeline)
        m_timeline->setFindHits(m_hits->hits);
}

void LogNavigator::goToHit(qint64 line, const QString& wrapped)
{
    if (!goToLine(line))
        return;
    QStringList words;
    const auto& hits = m_hits->hits;
    auto it = std::lower_bound(hits.begin(), hits.end(), line,
                               [](const SearchHit& h, qint64 l) { return h.line < l; });
    for (; it != hits.end() && it->line == line; ++it)
        if (it->sent >= 0 && it->sent < m_sentPieces.size()) {
            // Kept short: the foot is one line, and a piece may be a pasted page.
            const QByteArray& piece = m_sentPieces[it->sent].text;
            QString text = QString::fromLatin1(sent::escaped(piece.left(40)));
            if (piece.size() > 40)
                text += QChar(0x2026);
            words << QStringLiteral("sent: ") + text;
            break;
        }
    if (!wrapped.isEmpty())
        words << wrapped;
    if (!words.isEmpty())
        note(words.join(QStringLiteral("; ")));
}

void LogNavigator::findNext()
{
    if (!m_hits) {
        m_goToFirstHit = true;
        if (!m_search)
            find();
        return;
    }
    const qint64 current = m_playback.shownLines();
    const auto& hits = m_hits->hits;
    if (hits.empty())
        return;
    const auto it = std::upper_bound(hits.begin(), hits.end(), current,
                                     [](qint64 line, const SearchHit& h) { return line < h.line; });
    if (it != hits.end())
        goToHit(it->line, {});
    else
        goToHit(hits.front().line, QStringLiteral("past the last hit, on from the first"));
}

void LogNavigator::findPrevious()
{
    if (!m_hits)
        return findNext(); // the first find goes forward
    const qint64 current = m_playback.shownLines();
    const auto& hits = m_hits->hits;
    if (hits.empty())
        return;
    const auto it = std::lower_bound(hits.begin(), hits.end(), current,
                                     [](const SearchHit& h, qint64 line) { return h.line < line; });
    if (it != hits.begin())
        goToHit(std::prev(it)->line, {});
    else
        goToHit(hits.back().line, QStringLiteral("before the first hit, back from the last"));
}

TimelineWindow* LogNavigator::timeline() const
{
    return m_timeline;
}

void LogNavigator::MTimeline_Click()
{
    if (!m_index)
        return;
    if (!m_timeline) {
        // Its own window, in the screen's font.
        m_timeline = new TimelineWindow(m_index, m_c.form);
        connect(m_timeline, &TimelineWindow::lineChosen, this,
                [this](qint64 line) { goToLine(line); });
        m_timeline->setCursorLine(m_playback.shownLines());
        if (m_hits)
            m_timeline->setFindHits(m_hits->hits);
    }
    m_timeline->show();
    m_timeline->raise();
    m_timeline->activateWindow();
}

void LogNavigator::MExportSignals_Click()
{
    if (!m_index || !stillTheLoadedLog())
        return;
    m_dialog->DialogTitle = QStringLiteral("Export Signals");
    m_dialog->Filter = QStringLiteral(
        "Value Change Dump (*.vcd)|*.vcd|Comma-separated values (*.csv)|*.csv|All Files (*.*)|*.*");
    m_dialog->DefaultExt = QStringLiteral("vcd");
    m_dialog->FileName = QFileInfo(m_path).completeBaseName() + QStringLiteral(".vcd");
    if (!m_dialog->ShowSave())
        return;
    const QString path = m_dialog->FileName;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("Cannot write %1: %2").arg(path, out.errorString()));
        return;
    }
    const bool csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const ExportExtras extras = ExportExtras::beside(*m_index);
    const Result<ExportCount> written =
        csv ? writeCsv(*m_index, out, extras)
            : writeVcd(*m_index, out,
                       QStringLiteral("Vantrel %1").arg(QLatin1String(VANTREL_VERSION)), extras);
    if (!written) {
        out.cancelWriting();
        fail(written.why());
        return;
    }
    if (!out.commit()) {
        fail(QStringLiteral("Cannot write %1: %2").arg(path, out.errorString()));
        return;
    }
    // A sent file or notes left out say why, as the export is without them.
    QStringList words{QStringLiteral("wrote %1 signals, %L2 %3 to %4")
                          .arg(written->signalCount)
                          .arg(written->changes)
                          .arg(csv ? QStringLiteral("dumps") : QStringLiteral("changes"),
                               QFileInfo(path).fileName())};
    note((words << extras.notices).join(QStringLiteral("; ")));
}

} // namespace vantrel

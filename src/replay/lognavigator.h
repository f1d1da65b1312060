#pragma once

#include "core/logindex.h"
#include "core/logsearch.h"
#include "platform/services.h"
#include "replaycontrols.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace vantrel
{

class LogReplay;
class TimelineWindow;

// Finds the moment in a long log on the replay screen: indexes each loaded log on
// threads of its own (its progress and its capture times' notice at the screen's foot),
// goes to a line, a share of the log, a time or the next or previous dump, fault or
// arrival, finds text in the whole log, and exports the dumps' signals.
class LogNavigator final : public QObject
{
    Q_OBJECT
public:
    LogNavigator(const ReplayControls& controls, LogReplay& playback, const Services& services);
    ~LogNavigator() override;

    // The loaded log's index, once built (none before, or when it failed).
    const std::shared_ptr<const LogIndex>& index() const { return m_index; }
    bool indexing() const { return m_indexer != nullptr; }

    // Shows what playback shows after this line and plays on from there. False, with
    // the reason in a box, when the log has no index yet or cannot be read.
    bool goToLine(qint64 line);
    // What the "Go to" box holds: a line, a share ("50%") or a time ("14:05").
    void goToTyped();
    void goToEvent(LogIndex::Event kind, bool forward);
    // The next or previous command sent (polls left out) or note: each at the line
    // holding the byte the log had reached.
    void goToSent(bool forward) { goToMark(m_sentLines, forward); }
    void goToNote(bool forward) { goToMark(m_noteLines, forward); }
    // The log's notes were saved anew: the steps and the timeline show them as they are.
    void notesChanged();
    // Finds the find box's text in the whole log, on a thread of its own.
    void find();
    void findNext();
    void findPrevious();
    void MExportSignals_Click();
    // The loaded log's timeline, tied to the replay: a click there goes to that moment,
    // and its cursor follows what the screen shows.
    void MTimeline_Click();
    TimelineWindow* timeline() const;

Q_SIGNALS:
    void indexReady();
    // The lines of the current find's hits (the first ones, as kept).
    void hitsFound(const QList<qint64>& lines);

private:
    void logLoaded(const QString& path);
    void indexProgress(double fraction);
    void indexFinished();
    void searchFinished();
    // The log's hits and the sent commands' in one list, the count and the marks shown.
    void showHits();
    // Goes to a hit's line; a command sent there is named at the foot, with `wrapped`.
    void goToHit(qint64 line, const QString& wrapped);
    void showPosition(qint64 line);
    void setIndexActions(bool on);
    void setFindEnabled(bool on);
    // Reads the sent commands' and the notes' lines beside the indexed log.
    void readSentLines();
    void readNoteLines();
    std::vector<qint64> linesOf(const QList<qint64>& offsets) const;
    void goToMark(const std::vector<qint64>& lines, bool forward);
    // Each step is on only while there is a mark that way from the line shown.
    void setMarkActions(qint64 line);
    // A word at the foot after the position, till the screen is next moved: a find that
    // went round the log, what an export wrote.
    void note(const QString& text);
    void fail(const QString& why);
    // Whether the file at the log's name is still the one indexed (grown is fine); when
    // not, says so and offers to load it again.
    bool stillTheLoadedLog();
    // Everything about the loaded log goes: its threads, index, hits and timeline.
    void forgetLog();

    const ReplayControls& m_c;
    LogReplay& m_playback;
    Services m_s;
    std::unique_ptr<FileDialog> m_dialog;
    QString m_path;
    std::optional<FileIdentity> m_loadedAs; // the file at m_path when it was loaded
    std::unique_ptr<LogIndexer> m_indexer;
    std::shared_ptr<const LogIndex> m_index;
    std::unique_ptr<LogSearch> m_search;
    std::optional<SearchResult> m_logHits; // what the search thread found in the log
    std::optional<SearchResult> m_hits;    // those and the sent commands', in order
    QByteArray m_findText;                 // what they were found for
    bool m_findIgnoreCase = false;
    QList<SentPiece> m_sentPieces;   // polls left out
    std::vector<qint64> m_sentLines; // in order, one each
    std::vector<qint64> m_noteLines;
    QPointer<TimelineWindow> m_timeline;
    QString m_note;
    bool m_goToFirstHit = false; // the search was asked for with Enter: go to its first hit
    // Which log the threads' reports are about: a report about an earlier one is dropped.
    int m_generation = 0;
};

} // namespace vantrel

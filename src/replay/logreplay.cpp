#include "logreplay.h"

#include "carscreen/logdialog.h"
#include "core/bundle.h"
#include "core/logreader.h"
#include "core/receivedtext.h"
#include "core/statusscan.h"
#include "diagnostics/signalgrid.h"
#include "pacebar.h"
#include "widgets/colors.h"
#include "widgets/crlfedit.h"
#include "widgets/lamp.h"
#include "widgets/textbox.h"
#include "widgets/vtimer.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>

namespace vantrel
{

LogReplay::LogReplay(const ReplayControls& controls, const Services& services)
    : m_c(controls), m_s(services), m_dialog(services.makeFileDialog())
{
    connect(m_c.HScroll1, &PaceBar::intervalChanged, this, &LogReplay::HScroll1_Change);
    const auto onSelect = [this](QRadioButton* b, void (LogReplay::*handler)()) {
        connect(b, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on)
                (this->*handler)();
        });
    };
    onSelect(m_c.Option1, &LogReplay::Option1_Click);
    onSelect(m_c.Option2, &LogReplay::Option2_Click);
    onSelect(m_c.Option3, &LogReplay::Option3_Click);
    onSelect(m_c.Option4, &LogReplay::Option4_Click);
    connect(m_c.Command1, &QPushButton::clicked, this, &LogReplay::Command1_Click);
    m_c.Command1->installEventFilter(this);
    connect(m_c.Timer7, &VTimer::Timer, this, &LogReplay::Timer7_Timer);
    connect(m_c.Timer1, &VTimer::Timer, this, &LogReplay::Timer1_Timer);
    connect(m_c.Term, &CrLfEdit::Change, this, &LogReplay::Term_Change);
    connect(m_c.MCloseLog, &QAction::triggered, this, &LogReplay::MCloseLog_Click);
}

LogReplay::~LogReplay()
{
    closeReader();
}

void LogReplay::Form_Load()
{
    m_c.Timer7->setInterval(m_c.HScroll1->interval());
    m_c.Text5->setText(QString::number(m_c.HScroll1->interval()));
}

void LogReplay::MRplayLog_Click()
{
    const auto path =
        askForLogPath(*m_dialog, *m_s.files, *m_s.boxes, [this](const QString& path, bool exists) {
            if (exists)
                return LogPathVerdict::Take;
            m_s.boxes->show(path + QStringLiteral(" not found!"), mb::OkWarning);
            return LogPathVerdict::AskAgain;
        });
    if (path)
        load(*path);
}

bool LogReplay::load(const QString& path)
{
    // A bundle is played from its log unpacked into a temporary folder, with what lies
    // beside it there.
    std::shared_ptr<CaptureFiles> bundle;
    if (bundle::isBundle(path)) {
        auto opened = CaptureFiles::open(path);
        if (!opened) {
            m_s.boxes->show(opened.why(), mb::OkWarning);
            return false;
        }
        bundle = *opened;
    }
    const QString log = bundle ? bundle->log() : path;
    if (!readFrom(log, 0))
        return false;
    // Loading the unpacked log again keeps the folder it lies in.
    if (bundle || !m_bundle || log != m_bundle->log())
        m_bundle = std::move(bundle);
    m_path = log;
    m_shown = 0;
    m_atLoad = ReplayState{m_c.Term->text(), shownCells(*m_c.grid), m_c.txtvel->text()};
    m_state = m_atLoad;
    m_c.Timer7->setEnabled(true);
    m_c.Timer1->setEnabled(true);
    m_c.MCloseLog->setEnabled(true);
    m_c.Command1->setEnabled(true);
    if (m_c.MSaveBundle)
        m_c.MSaveBundle->setEnabled(true);
    Q_EMIT logLoaded(m_path);
    return true;
}

bool LogReplay::readFrom(const QString& path, qint64 offset)
{
    const int fileNo = m_s.files->freeFile();
    if (const Result<> opened = m_s.files->openRead(fileNo, path); !opened) {
        m_s.boxes->show(opened.why(), mb::OkWarning);
        return false;
    }
    std::shared_ptr<LineFile> lines = m_s.files->lines(fileNo);
    if (offset != 0 && !lines->startAt(offset)) {
        m_s.files->close(fileNo);
        m_s.boxes->show(QStringLiteral("Cannot read %1 from byte %2").arg(path).arg(offset),
                        mb::OkWarning);
        return false;
    }
    // The earlier reader, if any, is no longer read, nor is anything it still owed.
    closeReader();
    m_asks.clear();
    m_log = fileNo;
    m_reader = std::make_unique<LogReader>(std::move(lines));
    connect(m_reader.get(), &LogReader::lineArrived, this, &LogReplay::serve);
    return true;
}

void LogReplay::goTo(qint64 line, const ReplayState& state, qint64 nextOffset)
{
    if (!readFrom(m_path, nextOffset))
        return;
    m_state = state;
    m_c.Term->setText(state.term);
    m_c.txtvel->setText(state.speed);
    showCells(*m_c.grid, state.cells);
    m_shown = line;
    m_c.Timer7->setEnabled(true);
    m_c.Timer1->setEnabled(true);
    m_c.MCloseLog->setEnabled(true);
    m_c.Command1->setEnabled(true);
    Q_EMIT lineShown(line);
}

void LogReplay::MCloseLog_Click()
{
    stopPlayback();
    m_asks.clear();
    m_c.MCloseLog->setEnabled(false);
    if (m_c.MSaveBundle)
        m_c.MSaveBundle->setEnabled(false);
    Q_EMIT logClosed();
}

void LogReplay::MSaveBundle_Click()
{
    if (m_path.isEmpty())
        return;
    m_dialog->DialogTitle = QStringLiteral("Save Capture As Bundle");
    m_dialog->Filter = QStringLiteral("Capture Bundles (*.zip)|*.zip|All Files (*.*)|*.*");
    m_dialog->DefaultExt = QStringLiteral("zip");
    m_dialog->FileName = QFileInfo(m_path).fileName() + QStringLiteral(".zip");
    if (!m_dialog->ShowSave())
        return;
    if (const Result<> packed = bundle::pack(m_path, m_dialog->FileName); !packed)
        m_s.boxes->show(packed.why(), mb::OkExclamation);
}

void LogReplay::MFileExit_Click()
{
    Form_Unload();
}

void LogReplay::Form_Unload()
{
    m_s.exit->endProgram(0);
}

void LogReplay::HScroll1_Change()
{
    const int value = m_c.HScroll1->interval();
    m_c.Timer7->setInterval(value);
    m_c.Text5->setText(QString::number(value));
    if (value == kPauseMs && m_c.Option1->isChecked()) {
        // One button of the group may be cleared only outside its group.
        m_c.Option1->setAutoExclusive(false);
        m_c.Option1->setChecked(false);
        m_c.Option1->setAutoExclusive(true);
    }
    if (value == kFastMs)
        m_c.Option1->setChecked(true);
}

void LogReplay::Option1_Click()
{
    m_c.HScroll1->setInterval(kFastMs);
}

void LogReplay::Option2_Click()
{
    m_c.HScroll1->setInterval(kMedMs);
}

void LogReplay::Option3_Click()
{
    m_c.HScroll1->setInterval(kSlowMs);
}

void LogReplay::Option4_Click()
{
    m_c.HScroll1->setInterval(kPauseMs);
}

void LogReplay::Command1_KeyDown()
{
    ask(Ask::Key);
}

void LogReplay::Command1_Click()
{
    ask(Ask::Click);
}

void LogReplay::Timer7_Timer()
{
    ask(Ask::Tick);
}

void LogReplay::ask(Ask what)
{
    // Ticks do not pile up behind a slow read, as a busy window's timer would not.
    if (what == Ask::Tick && std::find(m_asks.begin(), m_asks.end(), Ask::Tick) != m_asks.end())
        return;
    m_asks.push_back(what);
    serve();
}

void LogReplay::serve()
{
    if (m_serving) // a box opened by an answer lets the reader report meanwhile
        return;
    m_serving = true;
    while (!m_asks.empty() && (!m_reader || m_reader->ready())) {
        const Ask what = m_asks.front();
        m_asks.pop_front();
        answer(what);
    }
    m_serving = false;
}

void LogReplay::answer(Ask what)
{
    // A log closed by the step button counts as its end.
    const LineRead next = m_reader ? m_reader->peek() : LineRead(std::optional<QString>());
    if (!next) {
        readFailed(next.why());
    } else if (!*next) {
        if (what == Ask::Tick) {
            stopPlayback();
        } else {
            closeReader();
            m_c.Command1->setEnabled(false);
        }
    } else if (what != Ask::Key) { // a key only looks for the end
        m_line = **m_reader->take();
        const int found = m_state.play(m_line);
        m_c.Term->setText(m_state.term);
        if (found & ReplayState::SpeedFound)
            m_c.txtvel->setText(m_state.speed);
        if (found & ReplayState::CellsFound)
            showCells(*m_c.grid, m_state.cells);
        Q_EMIT lineShown(++m_shown);
    }
}

void LogReplay::Timer1_Timer()
{
    // The hidden parse buffer is never fed on this screen, so this finds no dump.
    FillSignalGrid(*m_c.grid, m_c.Text1->text());
    m_c.Label3->setColor(color::LightGrey);
}

void LogReplay::Term_Change()
{
    CrLfEdit& term = *m_c.Term;
    if (term.length() > kReplayWindow)
        term.setText(term.text().right(kReplayWindow)); // runs this rule again
    term.setSelStart(term.length());
    // Text typed into the terminal is played on from, as if the log had it.
    if (term.text() != m_state.term) {
        m_state.term = term.text();
        if (m_state.takeSpeed(m_state.term))
            m_c.txtvel->setText(m_state.speed);
    }
}

bool LogReplay::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_c.Command1 && e->type() == QEvent::KeyPress)
        Command1_KeyDown();
    return QObject::eventFilter(watched, e);
}

void LogReplay::closeReader()
{
    m_reader.reset();
    if (m_log != 0)
        m_s.files->close(m_log);
    m_log = 0;
}

void LogReplay::stopPlayback()
{
    closeReader();
    m_c.Timer7->setEnabled(false);
    m_c.Timer1->setEnabled(false);
    m_c.Command1->setEnabled(false);
}

void LogReplay::readFailed(const QString& why)
{
    // Stopped before the box opens, so no tick reads the failing log meanwhile.
    stopPlayback();
    m_s.boxes->show(why, mb::OkWarning);
}

} // namespace vantrel

#include "capturelog.h"

#include "carscreen/logdialog.h"
#include "carscreen/texts.h"

#include <QAction>
#include <QLabel>
#include <QWidget>

namespace vantrel
{

CaptureLog::CaptureLog(const Form1Controls& controls, const Services& services)
    : m_c(controls), m_s(services), m_dialog(services.makeFileDialog()),
      m_times(*services.files, *services.clock), m_sent(*services.files, *services.clock)
{
}

CaptureLog::~CaptureLog()
{
    stopRecordingSends();
}

void CaptureLog::stopRecordingSends()
{
    if (m_recordingOn && m_recordingOn->sentRecorder() == this)
        m_recordingOn->setSentRecorder(nullptr);
    m_recordingOn.clear();
}

void CaptureLog::sent(sent::Source source, const QByteArray& bytes)
{
    if (m_handle == 0)
        return;
    sentStopped(m_sent.sent(source, bytes, m_s.files->writePosition(m_handle)));
}

void CaptureLog::sentStopped(const Result<>& result)
{
    if (!result)
        sayStopped(QStringLiteral("Record of what was sent stopped"), result.why());
}

void CaptureLog::MOpenLog_Click()
{
    const auto path =
        askForLogPath(*m_dialog, *m_s.files, *m_s.boxes, [this](const QString& path, bool exists) {
            if (!exists)
                return LogPathVerdict::Take;
            const int answer = m_s.boxes->show(
                QStringLiteral("Replace existing file - %1?").arg(path), mb::YesNoCancelQuestion);
            if (answer == mb::Cancel)
                return LogPathVerdict::AskAgain;
            if (answer == mb::Yes) {
                if (const Result<> removed = m_s.files->remove(path); !removed) {
                    m_s.boxes->show(removed.why(), mb::OkExclamation);
                    return LogPathVerdict::Stop;
                }
            }
            return LogPathVerdict::Take; // No appends to what is there
        });
    if (!path)
        return;
    const int fileNo = m_s.files->freeFile();
    if (const Result<> opened = m_s.files->openAppend(fileNo, *path); !opened) {
        m_s.boxes->show(opened.why(), mb::OkExclamation);
        m_s.files->close(fileNo);
        m_handle = 0;
        return;
    }
    m_handle = fileNo; // writes go after the file's last byte
    // A log started empty (new, or replaced) starts its times anew as well.
    const qint64 size = m_s.files->writePosition(m_handle);
    timesStopped(m_times.start(*path, size, size == 0));
    sentStopped(m_sent.start(*path, size, size == 0));
    if (m_s.serial) {
        m_s.serial->setSentRecorder(this);
        m_recordingOn = m_s.serial;
    }
    m_c.form->setWindowTitle(logCaption(m_dialog->FileTitle));
    m_c.MOpenLog->setEnabled(false);
    m_c.MCloseLog->setEnabled(true);
}

// The status line has room for the news only: the reason, which names the file, is its
// tooltip and what assistive technology reads beside it.
void CaptureLog::timesStopped(const Result<>& result)
{
    if (!result)
        sayStopped(QStringLiteral("Capture times stopped"), result.why());
}

void CaptureLog::sayStopped(const QString& news, const QString& reason)
{
    const QString why = news + QStringLiteral(": ") + reason;
    m_c.Label1->setText(news);
    m_c.Label1->setToolTip(why);
    m_c.Label1->setAccessibleDescription(m_c.Label1->objectName() + QStringLiteral(": ") + why);
}

void CaptureLog::write(const QByteArray& bytes)
{
    timesStopped(m_times.piece(m_s.files->writePosition(m_handle)));
    int answer;
    do {
        answer = mb::Cancel;
        // A retry writes the whole piece again from its own start, so nothing that
        // was half written is doubled in the file.
        if (const Result<> written = m_s.files->write(m_handle, bytes); !written) {
            answer = m_s.boxes->show(written.why(), mb::RetryCancelStop);
            if (answer != mb::Retry) {
                MCloseLog_Click();
                return;
            }
        }
    } while (answer == mb::Retry);
}

void CaptureLog::MCloseLog_Click()
{
    if (m_handle != 0) {
        timesStopped(m_times.finish(m_s.files->writePosition(m_handle)));
        sentStopped(m_sent.finish(m_s.files->writePosition(m_handle)));
    }
    stopRecordingSends();
    m_s.files->close(m_handle);
    m_handle = 0;
    m_c.MOpenLog->setEnabled(true);
    m_c.MCloseLog->setEnabled(false);
    m_c.form->setWindowTitle(logCaption());
}

} // namespace vantrel

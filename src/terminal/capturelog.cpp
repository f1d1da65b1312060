#include "capturelog.h"

#include <QAction>
#include <QWidget>

namespace vantrel
{

CaptureLog::CaptureLog(const Controls& controls, const Services& services)
    : m_c(controls), m_s(services), m_dialog(services.makeFileDialog())
{
}

void CaptureLog::MOpenLog_Click()
{
    FileDialog& d = *m_dialog;
    prepareLogDialog(d);
    QString path;
    for (;;) {
        d.FileName.clear();
        if (!d.ShowOpen())
            return;
        path = d.FileName;
        bool found = false;
        QString why;
        if (!m_s.files->exists(path, &found, &why)) {
            m_s.boxes->show(why, mb::OkExclamation);
            return;
        }
        if (!found)
            break;
        const int answer = m_s.boxes->show(QStringLiteral("Replace existing file - %1?").arg(path),
                                           mb::YesNoCancelQuestion);
        if (answer == mb::Cancel)
            continue;
        if (answer == mb::Yes && !m_s.files->remove(path, &why)) {
            m_s.boxes->show(why, mb::OkExclamation);
            return;
        }
        break;
    }
    const int fileNo = m_s.files->freeFile();
    QString why;
    if (!m_s.files->openAppend(fileNo, path, &why)) {
        m_s.boxes->show(why, mb::OkExclamation);
        m_s.files->close(fileNo);
        m_handle = 0;
        return;
    }
    m_handle = fileNo; // writes go after the file's last byte
    m_c.form->setWindowTitle(QStringLiteral("Comm Terminal - ") + d.FileTitle);
    m_c.MOpenLog->setEnabled(false);
    m_c.MCloseLog->setEnabled(true);
}

void CaptureLog::write(const QString& piece)
{
    const QByteArray bytes = piece.toLatin1();
    int answer;
    do {
        answer = mb::Cancel;
        QString why;
        // A retry writes the whole piece again from its own start, so nothing that
        // was half written is doubled in the file.
        if (!m_s.files->write(m_handle, bytes, &why)) {
            answer = m_s.boxes->show(why, mb::RetryCancelStop);
            if (answer != mb::Retry) {
                MCloseLog_Click();
                return;
            }
        }
    } while (answer == mb::Retry);
}

void CaptureLog::MCloseLog_Click()
{
    m_s.files->close(m_handle);
    m_handle = 0;
    m_c.MOpenLog->setEnabled(true);
    m_c.MCloseLog->setEnabled(false);
    m_c.form->setWindowTitle(QStringLiteral("Comm Terminal"));
}

} // namespace vantrel

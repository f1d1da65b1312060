#pragma once

#include "capturetimeswriter.h"
#include "carscreen/controls.h"
#include "platform/serialcomm.h"
#include "platform/services.h"
#include "sentwriter.h"

#include <QPointer>
#include <QString>

namespace vantrel
{

// The capture log of the car diagnostics screen: every received piece, as shown,
// appended to a file of raw bytes, with its capture times and what was sent beside it.
// While open it is the port's recorder of what is sent.
class CaptureLog final : public SentRecorder
{
public:
    CaptureLog(const Form1Controls& controls, const Services& services);
    ~CaptureLog() override;
    CaptureLog(const CaptureLog&) = delete;
    CaptureLog& operator=(const CaptureLog&) = delete;

    // The file number of the open log, 0 when none is open.
    int handle() const { return m_handle; }
    void MOpenLog_Click();
    void MCloseLog_Click();
    // Writes one normalised piece; on failure asks Retry or Cancel (Cancel closes).
    void write(const QByteArray& bytes);
    void sent(sent::Source source, const QByteArray& bytes) override;

private:
    // The times stop for the run; the status line says why, once.
    void timesStopped(const Result<>& result);
    void sayStopped(const QString& news, const QString& reason);
    void stopRecordingSends();
    void sentStopped(const Result<>& result);

    const Form1Controls& m_c;
    Services m_s;
    std::unique_ptr<FileDialog> m_dialog; // OpenLog
    int m_handle = 0;
    CaptureTimesWriter m_times;
    SentWriter m_sent;
    // The port this log hears sends from; it may go before the log does.
    QPointer<SerialComm> m_recordingOn;
};

} // namespace vantrel

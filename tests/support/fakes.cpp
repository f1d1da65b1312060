#include "fakes.h"

#include "testfiles.h"

#include "core/pmidump.h"
#include "diagnostics/signalgrid.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace vantrel::test
{

QStringList gridCells(const SignalGrid& grid)
{
    QStringList out;
    for (int i = 0; i < kGridCells; ++i)
        out << grid.cell(i)->text();
    return out;
}

bool showsWholeDump(const SignalGrid& grid)
{
    for (const QString& cell : gridCells(grid))
        if (cell.size() != 2)
            return false;
    return true;
}

void letPeriodsPass(int intervalMs, int periods)
{
    // An event loop that sleeps until the periods are over, so the wait itself costs
    // nothing: tests that measure what waiting costs the program measure only that.
    QEventLoop loop;
    QTimer clock;
    clock.setTimerType(Qt::PreciseTimer);
    int ticks = 0;
    QObject::connect(&clock, &QTimer::timeout, &loop, [&] {
        if (++ticks >= periods)
            loop.quit();
    });
    clock.start(intervalMs);
    loop.exec();
}

Result<> FakeSerialComm::setPortOpen(bool o)
{
    if (!o) {
        if (open) {
            ++closes;
            history << QStringLiteral("close");
        }
        open = false;
        return done();
    }
    if (open)
        return Failure(QStringLiteral("Port already open"));
    if (!openFailure.isEmpty())
        return Failure(openFailure);
    if (!reopenFailure.isEmpty() && opens > 0)
        return Failure(reopenFailure);
    open = true;
    ++opens;
    history << QStringLiteral("open");
    return done();
}

Result<> FakeSerialComm::output(const QString& text)
{
    if (!open)
        return Failure(QStringLiteral("Operation valid only when the port is open"));
    sent += text.toLatin1();
    writes << text;
    return done();
}

Result<> FakeSerialComm::setCommPort(int p)
{
    if (open)
        return Failure(QStringLiteral("Port already open"));
    if (p < 1 || p > 255)
        return Failure(QStringLiteral("Invalid port number %1").arg(p));
    port = p;
    history << QStringLiteral("port=%1").arg(p);
    return done();
}

Result<> FakeSerialComm::setSettings(const QString& s)
{
    if (!s.contains(QLatin1Char(',')))
        return Failure(QStringLiteral("Invalid port settings \"%1\"").arg(s));
    lineSettings = s;
    history << QStringLiteral("settings=") + s;
    return done();
}

void FakeSerialComm::raise(int code)
{
    event = code;
    Q_EMIT OnComm();
}

void FakeSerialComm::receive(const QString& text)
{
    event = comm::EvReceive;
    Q_EMIT received(text.toLatin1());
}

int ScriptedBoxes::show(const QString& text, int buttons, const QString& title)
{
    shown.append({text, buttons, title});
    // The person's answer belongs to this box, even when another opens above it.
    int answer = buttons == mb::OkOnly || buttons == mb::OkExclamation ? mb::Ok : mb::Cancel;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (whileShown)
        whileShown();
    return answer;
}

bool ScriptedFileDialog::ShowOpen()
{
    ++shows;
    if (m_script->empty())
        return false;
    const QString path = m_script->front();
    m_script->pop_front();
    if (path.isEmpty())
        return false;
    FileName = path;
    FileTitle = QFileInfo(path).fileName();
    return true;
}

Result<> FailingFiles::openAppend(int n, const QString& p)
{
    m_paths[n] = p;
    return real.openAppend(n, p);
}

Result<> FailingFiles::write(int n, const QByteArray& b)
{
    const QString path = m_paths[n];
    if (failures <= 0 || !path.endsWith(onlyEnding))
        return real.write(n, b);
    --failures;
    // The disk takes half the piece and then refuses: a file size limit makes the
    // system do just that to the real write.
    const FileSizeLimit full(QFileInfo(path).size() + b.size() / 2);
    return real.write(n, b);
}

Services FakeWorld::services()
{
    auto script = dialogScript;
    return Services{&serial, &boxes,
                    &files,  &clock,
                    &exit,   [script] { return std::make_unique<ScriptedFileDialog>(script); }};
}

} // namespace vantrel::test

// Floods the receive path through a pseudo-terminal: terminal shown, parse buffer and
// capture log on. Prints rate, CPU per MB, peak memory, timer lateness and lost bytes.
#include "core/carmodel.h"
#include "fakes.h"
#include "platform/qtserialcomm.h"
#include "shell/form1.h"
#include "terminal/serialterminal.h"
#include "widgets/crlfedit.h"
#include "widgets/textbox.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace vantrel;

namespace
{

// The benchmark's own reading of how a piece is stored: backspaces take the character
// before them (one at the start of a piece is dropped), LFs go, CRs gain an LF.
QByteArray referenceNormalise(const QByteArray& piece)
{
    QByteArray kept(piece.size(), Qt::Uninitialized);
    qsizetype n = 0;
    for (char c : piece) {
        if (c == '\b')
            n = n > 0 ? n - 1 : 0;
        else
            kept[n++] = c;
    }
    QByteArray out(2 * n, Qt::Uninitialized);
    qsizetype m = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (kept[i] == '\n')
            continue;
        out[m++] = kept[i];
        if (kept[i] == '\r')
            out[m++] = '\n';
    }
    out.truncate(m);
    return out;
}

// The real port, with every piece handed over also written, normalised, to a file.
class RecordingSerial final : public SerialComm
{
public:
    QtSerialComm real;
    QFile reference;
    qint64 rawBytes = 0;
    RecordingSerial()
    {
        connect(&real, &SerialComm::OnComm, this, &SerialComm::OnComm);
        connect(&real, &SerialComm::received, this, [this](const QByteArray& piece) {
            rawBytes += piece.size();
            reference.write(referenceNormalise(piece));
            Q_EMIT received(piece);
        });
        connect(&real, &SerialComm::deviceLost, this, &SerialComm::deviceLost);
    }
    bool portOpen() const override { return real.portOpen(); }
    Result<> setPortOpen(bool o) override { return real.setPortOpen(o); }
    Result<> output(const QString& t) override { return real.output(t); }
    int commEvent() const override { return real.commEvent(); }
    int outBufferCount() const override { return real.outBufferCount(); }
    int commPort() const override { return real.commPort(); }
    Result<> setCommPort(int p) override { return real.setCommPort(p); }
    QString settings() const override { return real.settings(); }
    Result<> setSettings(const QString& s) override { return real.setSettings(s); }
    QString deviceName() const override { return real.deviceName(); }
    QList<NumberedPort> ports() override { return real.ports(); }
    void release() override { real.release(); }
};

qint64 differingBytes(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    fa.open(QIODevice::ReadOnly);
    fb.open(QIODevice::ReadOnly);
    qint64 diff = qAbs(fa.size() - fb.size());
    while (!fa.atEnd() && !fb.atEnd()) {
        const QByteArray x = fa.read(1 << 20), y = fb.read(1 << 20);
        for (qsizetype i = 0; i < qMin(x.size(), y.size()); ++i)
            diff += x[i] != y[i];
    }
    return diff;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_receive_flood SIM BYTES [CAT_MBPS]\n");
        return 2;
    }
    const QString sim = args[1];
    const qint64 bytes = args[2].toLongLong();
    const double catRate = args.size() > 3 ? args[3].toDouble() : 0.0;

    QTemporaryDir dir;
    QProcess controller;
    controller.start(
        sim, {QStringLiteral("--no-echo"), QStringLiteral("--flood"), QString::number(bytes)});
    if (!controller.waitForReadyRead(5000)) {
        std::fprintf(stderr, "receive-flood: the simulated controller did not start\n");
        return 1;
    }
    const QByteArray device = controller.readLine().trimmed();
    qputenv("VANTREL_COM1", device);

    test::FakeWorld world;
    RecordingSerial serial;
    serial.reference.setFileName(dir.filePath(QStringLiteral("reference.bin")));
    serial.reference.open(QIODevice::WriteOnly);
    Services services = world.services();
    services.serial = &serial;
    const QString log = dir.filePath(QStringLiteral("capture.log"));
    world.dialogScript->push_back(log);

    Form1 form(services);
    form.show();
    form.MOpenLog->trigger();

    double worstLateMs = 0;
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (tick.isValid())
            worstLateMs = qMax(worstLateMs, tick.nsecsElapsed() / 1e6 - 10.0);
        tick.restart();
    });
    probe.start(10);

    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    form.Form_Load(); // opens the port; its CR starts the flood
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (serial.rawBytes >= bytes || wall.elapsed() > 300000)
            app.quit();
    });
    done.start(20);
    app.exec();
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    probe.stop();
    serial.reference.close();
    form.terminal().captureLog().MCloseLog_Click();
    serial.real.release();
    controller.kill();
    controller.waitForFinished();

    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const double mb = serial.rawBytes / 1e6;
    const double rate = mb / seconds;
    // The controller answers the opening CR with a line of its own, beyond the flood.
    const qint64 lost =
        qMax<qint64>(0, bytes - serial.rawBytes) + differingBytes(serial.reference.fileName(), log);
    std::printf("flood: %.1f MB in %.2f s through the receive path\n", mb, seconds);
    std::printf("rate: %.1f MB/s; cpu %.3f s per MB\n", rate, cpu / mb);
    std::printf("terminal: %d characters at the end; parse buffer %d\n", form.Term->length(),
                int(form.model().parseBuffer().text().size()));
    std::printf("peak rss: %.1f MB\n", u.ru_maxrss / 1024.0);
    std::printf("worst lateness of a 10 ms timer: %.1f ms\n", worstLateMs);
    std::printf("capture log equals the expected normalised bytes: %s\n", lost ? "no" : "yes");
    if (catRate > 0)
        std::printf("cat copies the same flood at %.1f MB/s\n", catRate);
    std::printf("receive-flood: %.1f MB/s, %.2f of cat, rss %.1f MB, lateness %.1f ms, lost %lld "
                "bytes\n",
                rate, catRate > 0 ? rate / catRate : 0.0, u.ru_maxrss / 1024.0, worstLateMs,
                static_cast<long long>(lost));
    std::fflush(stdout);
    ::_exit(lost == 0 ? 0 : 1);
}

// Replays a large capture log with the playback ticks driven directly and reports
// lines per second, CPU time per line at the head and the tail, and peak memory.
#include "fakes.h"
#include "replay/logreplay.h"
#include "shell/replayscreen.h"
#include "widgets/vtimer.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A session's worth of controller text: echoed commands, PMI dumps, speeds, faults,
// now and then a long line. Returns the number of lines written.
qint64 writeLog(const QString& path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    QByteArray chunk;
    qint64 lines = 0;
    qint64 written = 0;
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    while (written < bytes) {
        chunk.clear();
        chunk += "> PMII\r\nPMI #  = = = = = = = = = = = = = = = =\r\n";
        lines += 2;
        for (int n = 1; n <= 8; ++n) {
            QByteArray l = "L" + QByteArray::number(n) + "     ";
            for (int k = 0; k < 16; ++k)
                l += char('0' + next() % 2) + QByteArray(k < 15 ? " " : "");
            chunk += l + "\r\n";
            ++lines;
        }
        chunk += "> vel\r\nVEL =   " + QByteArray::number(100 + next() % 800) + "\r\n";
        chunk += "> bbt\r\nBBT =   0" + QByteArray::number(1000 + next() % 8000) + "\r\n";
        chunk += "> flt0\r\nFLT0 =  NO FAULT\r\nOK\r\n";
        lines += 7;
        if (next() % 50 == 0) {
            chunk += QByteArray(2000 + next() % 3000, 'x') + "\r\n";
            ++lines;
        }
        if (f.write(chunk) != chunk.size())
            return -1;
        written += chunk.size();
    }
    return lines;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <log path> [megabytes]\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const qint64 mb = argc > 2 ? QByteArray(argv[2]).toLongLong() : 200;
    const qint64 lines = writeLog(path, mb * 1000 * 1000);
    if (lines <= 0) {
        std::fprintf(stderr, "replay-log: cannot write %s\n", argv[1]);
        return 1;
    }

    FakeWorld w;
    Services s = w.services();
    replay screen(s, nullptr);
    screen.Form_Load();
    LogReplay& play = screen.playback();
    w.dialogScript->push_back(path);
    play.MRplayLog_Click();
    if (play.logFile() == 0) {
        std::fprintf(stderr, "replay-log: the log did not load\n");
        return 1;
    }
    screen.Option4->click(); // no timer waits: the ticks are driven below

    const qint64 tenth = lines / 10;
    double headCpu = 0, tailCpu = 0;
    qint64 done = 0;
    const double cpu0 = cpuSeconds();
    double mark = cpu0;
    while (screen.Command1->isEnabled() && screen.Timer7->enabled()) {
        play.Timer7_Timer();
        while (play.waiting()) // the reading thread is a few lines ahead, mostly
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!screen.Timer7->enabled())
            break; // that tick found the end
        ++done;
        if (done == tenth) {
            headCpu = cpuSeconds() - mark;
        } else if (done == lines - tenth) {
            mark = cpuSeconds();
        } else if (done == lines) {
            tailCpu = cpuSeconds() - mark;
        }
    }
    const double total = cpuSeconds() - cpu0;
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const double rssMb = u.ru_maxrss / 1024.0;
    const double ratio = headCpu > 0 ? tailCpu / headCpu : 0;
    QFile::remove(path);

    std::printf("lines replayed: %lld of %lld\n", static_cast<long long>(done),
                static_cast<long long>(lines));
    std::printf("cpu per line: %.2f us overall, head %.2f us, tail %.2f us\n",
                total / double(done) * 1e6, headCpu / double(tenth) * 1e6,
                tailCpu / double(tenth) * 1e6);
    std::printf("peak rss: %.1f MB\n", rssMb);
    const bool ok = done >= lines && ratio > 0 && ratio <= 1.2 && rssMb < 100;
    std::printf("replay-log: %.0f lines/s, tail/head cost %.2f, rss %.1f MB\n",
                double(done) / total, ratio, rssMb);
    return ok ? 0 : 1;
}

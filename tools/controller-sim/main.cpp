// A simulated elevator controller on a pseudo-terminal, for trying the program
// without a controller and for the tests and benchmarks.
#include "car.h"
#include "flood.h"
#include "traffic.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace
{

const char* kHelp =
    "usage: vantrel-sim [options]\n"
    "Plays an elevator controller on a new pseudo-terminal. The first line of output\n"
    "is the device path; point the program at it with VANTREL_COM1=<path>.\n"
    "Commands end in CR: pmii, vel, bbt, flt0, scc1..scc7, stu, std, install.\n"
    "  --link PATH        also make PATH a symbolic link to the device\n"
    "  --no-echo          do not echo received characters\n"
    "  --cr-only          end dump lines with CR alone\n"
    "  --flood BYTES      after the first received byte, send BYTES of flood text\n"
    "  --flood-file PATH  write the flood or paced bytes to PATH as well (for comparisons)\n"
    "  --exit-after-flood end once the flood has been sent and read\n"
    "  --chunks           split replies into random pieces with short pauses\n"
    "  --noise            put random garbage bytes between replies\n"
    "  --cut-dump         cut PMI dumps short at a random place\n"
    "  --silent           answer nothing\n"
    "  --vanish-after MS  close the device MS ms after the first received byte\n"
    "  --pace BYTES       from a SIGUSR1 on, send controller-like text (\"> PMII\" dumps,\n"
    "                     speed, BBT, FLT0 and event lines) at BYTES a second, keeping an\n"
    "                     absolute schedule; no echo and no replies. When done it prints\n"
    "                     \"paced: ...\" with the bytes sent, once the program has read them\n"
    "  --piece N          bytes per write in the paced mode (184 by default)\n"
    "  --pace-seconds S   end the paced text after S seconds' worth (default: on SIGTERM)\n"
    "  --print-traffic N  print N bytes of the paced mode's text to standard output and end\n"
    "                     (no pseudo-terminal), for feeding another kind of line\n"
    "  --seed N           seed for the random choices\n"
    "  --help             this text\n";

struct Options {
    std::string link;
    bool echo = true;
    bool crOnly = false;
    long long flood = 0;
    std::string floodFile;
    bool exitAfterFlood = false;
    bool chunks = false;
    bool noise = false;
    bool cutDump = false;
    bool silent = false;
    long vanishAfterMs = -1;
    long long pace = 0;
    long long piece = 184;
    double paceSeconds = 0;
    long long printTraffic = -1;
    unsigned seed = 1;
};

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int)
{
    g_stop = 1;
}
volatile std::sig_atomic_t g_go = 0;
void onGo(int)
{
    g_go = 1;
}

using Clock = std::chrono::steady_clock;

class Controller
{
public:
    Controller(int master, int slave, const Options& o)
        : m_fd(master), m_slave(slave), m_o(o), m_rng(o.seed), m_flood(o.seed)
    {
    }

    int run();

private:
    void received(const char* data, size_t n);
    void command(const std::string& line);
    void reply(const std::string& text);
    bool flush();

    int m_fd;
    int m_slave;
    Options m_o;
    sim::Car m_car;
    std::mt19937 m_rng;
    sim::Flood m_flood;
    std::string m_line;
    std::string m_out;
    std::FILE* m_floodCopy = nullptr;
    long long m_floodLeft = -1;
    bool m_gotFirst = false;
    Clock::time_point m_first;
};

void Controller::reply(const std::string& text)
{
    if (m_o.silent)
        return;
    if (m_o.noise && m_rng() % 3 == 0) {
        static const char garbage[] = "\x01\x7f\xff~#@!";
        for (int i = 0, k = int(m_rng() % 4) + 1; i < k; ++i)
            m_out += garbage[m_rng() % (sizeof garbage - 1)];
    }
    m_out += text;
}

void Controller::command(const std::string& raw)
{
    std::string c;
    for (char ch : raw)
        if (ch != '\n' && ch != ' ')
            c += ch;
    const std::string eol = m_o.crOnly ? "\r" : "\r\n";
    char buf[128];
    if (c.empty()) {
        reply("\r\n");
    } else if (c == "pmii") {
        std::string dump = "> PMII\r\n" + m_car.pmiDump(eol);
        if (m_o.cutDump)
            dump.resize(8 + m_rng() % (dump.size() - 8));
        reply(dump);
    } else if (c == "vel") {
        std::snprintf(buf, sizeof buf, "VEL =   %3d\r\n", m_car.speed());
        reply(buf);
    } else if (c == "bbt") {
        std::snprintf(buf, sizeof buf, "BBT =   %05d\r\n", m_car.trips() % 100000);
        reply(buf);
    } else if (c == "flt0") {
        reply("FLT0 =  " + m_car.fault() + "\r\n");
    } else if (c.size() == 4 && c.compare(0, 3, "scc") == 0 && c[3] >= '1' && c[3] <= '7') {
        m_car.sendTo(c[3] - '1');
        reply("OK\r\n");
    } else if (c.compare(0, 3, "scc") == 0) {
        reply("ERROR: no such landing\r\n");
    } else if (c == "stu" || c == "std") {
        reply(m_car.step(c == "stu" ? 1 : -1) ? "OK\r\n" : "ERROR: no landing there\r\n");
    } else if (c == "install") {
        m_car.reset();
        reply("INSTALLED\r\n");
    } else {
        reply("ERROR: unknown command\r\n");
    }
}

void Controller::received(const char* data, size_t n)
{
    if (!m_gotFirst) {
        m_gotFirst = true;
        m_first = Clock::now();
        if (m_o.flood > 0)
            m_floodLeft = m_o.flood;
    }
    for (size_t i = 0; i < n; ++i) {
        const char ch = data[i];
        if (m_o.echo && !m_o.silent)
            m_out += ch == '\r' ? std::string("\r\n") : std::string(1, ch);
        if (ch == '\r') {
            command(m_line);
            m_line.clear();
        } else if (ch == '\b' || ch == 0x7f) {
            if (!m_line.empty())
                m_line.pop_back();
        } else if (m_line.size() < 256) {
            m_line += ch;
        }
    }
}

bool Controller::flush()
{
    while (!m_out.empty()) {
        size_t n = m_out.size();
        if (m_o.chunks)
            n = std::min(n, size_t(1 + m_rng() % 16));
        const ssize_t w = ::write(m_fd, m_out.data(), n);
        if (w < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return true;
            return false;
        }
        m_out.erase(0, size_t(w));
        if (m_o.chunks) {
            ::usleep(500 + m_rng() % 2500);
            return true;
        }
    }
    return true;
}

int Controller::run()
{
    if (!m_o.floodFile.empty())
        m_floodCopy = std::fopen(m_o.floodFile.c_str(), "wb");
    auto lastTick = Clock::now();
    char buf[4096];
    while (!g_stop) {
        pollfd p{m_fd, short(POLLIN | (m_out.empty() && m_floodLeft <= 0 ? 0 : POLLOUT)), 0};
        const int r = ::poll(&p, 1, 20);
        if (r < 0 && errno != EINTR)
            return 1;
        if (r > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                received(buf, size_t(n));
        }
        if (m_floodLeft > 0 && m_out.size() < 65536) {
            const size_t want = size_t(std::min<long long>(m_floodLeft, 65536));
            const size_t before = m_out.size();
            m_flood.generate(m_out, want);
            const size_t made = std::min(m_out.size() - before, size_t(m_floodLeft));
            m_out.resize(before + made);
            if (m_floodCopy)
                std::fwrite(m_out.data() + before, 1, made, m_floodCopy);
            m_floodLeft -= (long long)made;
            if (m_floodLeft == 0 && m_floodCopy) {
                std::fclose(m_floodCopy);
                m_floodCopy = nullptr;
            }
        }
        if (!flush())
            return 1;
        if (m_floodLeft == 0 && m_out.empty() && m_o.exitAfterFlood) {
            // Wait until the reader has taken everything from the device.
            int queued = 0;
            if (::ioctl(m_slave, FIONREAD, &queued) == 0 && queued == 0)
                return 0;
        }
        const auto now = Clock::now();
        const double dt = std::chrono::duration<double>(now - lastTick).count();
        if (dt >= 0.1) {
            m_car.tick(dt);
            lastTick = now;
        }
        if (m_o.vanishAfterMs >= 0 && m_gotFirst &&
            now - m_first >= std::chrono::milliseconds(m_o.vanishAfterMs)) {
            return 0; // the device goes away with us
        }
    }
    return 0;
}

// The program may send now and then (its first CR); nothing of it is answered.
void discardInput(int fd)
{
    char buf[4096];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
}

timespec pointInTime(long long ns)
{
    return timespec{time_t(ns / 1000000000), long(ns % 1000000000)};
}

long long monotonicNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000 + t.tv_nsec;
}

// What a serial adapter delivers at a fixed line rate: pieces of the same size at even
// intervals. Piece k is due at start + k * piece / rate, so a late piece does not
// push the later ones back.
int runPaced(int master, int slave, const Options& o)
{
    while (!g_stop && !g_go) {
        pollfd p{master, POLLIN, 0};
        ::poll(&p, 1, 50);
        discardInput(master);
    }
    if (g_stop)
        return 0;
    std::FILE* copy = o.floodFile.empty() ? nullptr : std::fopen(o.floodFile.c_str(), "wb");
    sim::Traffic traffic(o.seed);
    const long long total =
        o.paceSeconds > 0 ? (long long)(double(o.pace) * o.paceSeconds + 0.5) : -1;
    const double nsPerPiece = double(o.piece) * 1e9 / double(o.pace);
    std::string pending;
    long long sent = 0, pieces = 0, late = 0;
    double maxLateMs = 0;
    const long long start = monotonicNs();
    while (!g_stop && (total < 0 || sent < total)) {
        const long long due = start + (long long)(double(pieces) * nsPerPiece);
        const timespec at = pointInTime(due);
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR &&
               !g_stop) {
        }
        const double lateMs = double(monotonicNs() - due) / 1e6;
        if (lateMs > maxLateMs)
            maxLateMs = lateMs;
        if (lateMs > nsPerPiece / 1e6)
            ++late;
        size_t n = size_t(o.piece);
        if (total >= 0 && (long long)n > total - sent)
            n = size_t(total - sent);
        if (pending.size() < n)
            traffic.generate(pending, n - pending.size() + 4096);
        // A reader that falls behind fills the device; the piece waits for room.
        size_t done = 0;
        while (done < n && !g_stop) {
            const ssize_t w = ::write(master, pending.data() + done, n - done);
            if (w > 0) {
                done += size_t(w);
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                std::perror("vantrel-sim: write");
                return 1;
            } else {
                pollfd p{master, POLLOUT, 0};
                ::poll(&p, 1, 20);
            }
        }
        if (copy)
            std::fwrite(pending.data(), 1, done, copy);
        pending.erase(0, done);
        sent += (long long)done;
        ++pieces;
        discardInput(master);
    }
    if (copy)
        std::fclose(copy);
    const double fedSeconds = double(monotonicNs() - start) / 1e9;
    // Done once the program has taken everything from the device.
    int queued = 1;
    while (!g_stop && ::ioctl(slave, FIONREAD, &queued) == 0 && queued > 0)
        ::usleep(1000);
    std::printf("paced: %lld bytes in %lld pieces over %.3f s, read by %.3f s; %lld pieces "
                "late, at most %.1f ms\n",
                sent, pieces, fedSeconds, double(monotonicNs() - start) / 1e9, late, maxLateMs);
    std::fflush(stdout);
    while (!g_stop) {
        pollfd p{master, POLLIN, 0};
        ::poll(&p, 1, 200);
        discardInput(master);
    }
    return 0;
}

// The paced mode's text without the pacing, for a rig that paces another kind of line
// itself: exactly `bytes` bytes, the same for the same seed.
int printTraffic(long long bytes, unsigned seed)
{
    sim::Traffic traffic(seed);
    std::string text;
    traffic.generate(text, size_t(bytes));
    text.resize(size_t(bytes));
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                   std::fflush(stdout) == 0
               ? 0
               : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vantrel-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (a == "--link") {
            o.link = value();
        } else if (a == "--no-echo") {
            o.echo = false;
        } else if (a == "--cr-only") {
            o.crOnly = true;
        } else if (a == "--flood") {
            o.flood = std::atoll(value());
        } else if (a == "--flood-file") {
            o.floodFile = value();
        } else if (a == "--exit-after-flood") {
            o.exitAfterFlood = true;
        } else if (a == "--chunks") {
            o.chunks = true;
        } else if (a == "--noise") {
            o.noise = true;
        } else if (a == "--cut-dump") {
            o.cutDump = true;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--vanish-after") {
            o.vanishAfterMs = std::atol(value());
        } else if (a == "--pace") {
            o.pace = std::atoll(value());
        } else if (a == "--piece") {
            o.piece = std::atoll(value());
        } else if (a == "--pace-seconds") {
            o.paceSeconds = std::atof(value());
        } else if (a == "--print-traffic") {
            o.printTraffic = std::atoll(value());
        } else if (a == "--seed") {
            o.seed = unsigned(std::strtoul(value(), nullptr, 10));
        } else {
            std::fprintf(stderr, "vantrel-sim: unknown option %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (o.pace < 0 || o.piece <= 0) {
        std::fprintf(stderr, "vantrel-sim: --pace and --piece need positive numbers\n");
        return 2;
    }
    if (o.printTraffic >= 0)
        return printTraffic(o.printTraffic, o.seed);
    int master = -1, slave = -1;
    char name[256];
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("vantrel-sim: openpty");
        return 1;
    }
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    // Our own hold on the slave side keeps the device usable between the program's
    // opens and closes.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    if (!o.link.empty()) {
        ::unlink(o.link.c_str());
        if (::symlink(name, o.link.c_str()) != 0)
            std::perror("vantrel-sim: symlink");
    }
    // Ready for the start of the paced text before anyone can know the device.
    std::signal(SIGUSR1, onGo);
    std::printf("%s\n", name);
    std::fflush(stdout);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    int rc = 0;
    if (o.pace > 0) {
        rc = runPaced(master, slave, o);
    } else {
        Controller c(master, slave, o);
        rc = c.run();
    }
    ::close(master);
    ::close(slave);
    if (!o.link.empty())
        ::unlink(o.link.c_str());
    return rc;
}

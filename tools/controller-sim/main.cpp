// A simulated elevator controller on a pseudo-terminal, for trying the program
// without a controller and for the tests and benchmarks.
#include "car.h"
#include "flood.h"

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
    "  --flood-file PATH  write the flood bytes to PATH as well (for comparisons)\n"
    "  --exit-after-flood end once the flood has been sent and read\n"
    "  --chunks           split replies into random pieces with short pauses\n"
    "  --noise            put random garbage bytes between replies\n"
    "  --cut-dump         cut PMI dumps short at a random place\n"
    "  --silent           answer nothing\n"
    "  --vanish-after MS  close the device MS ms after the first received byte\n"
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
    unsigned seed = 1;
};

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int)
{
    g_stop = 1;
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
        } else if (a == "--seed") {
            o.seed = unsigned(std::strtoul(value(), nullptr, 10));
        } else {
            std::fprintf(stderr, "vantrel-sim: unknown option %s (see --help)\n", a.c_str());
            return 2;
        }
    }
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
    std::printf("%s\n", name);
    std::fflush(stdout);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    Controller c(master, slave, o);
    const int rc = c.run();
    ::close(master);
    ::close(slave);
    if (!o.link.empty())
        ::unlink(o.link.c_str());
    return rc;
}

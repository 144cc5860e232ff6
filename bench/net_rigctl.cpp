// The rig-control server and the network transport, in figures (nothing here fails):
// - "f" answered by the program (from the reported status) beside the same query answered by
//   hamlib's own rigctld with its NRD-535 backend (model 6006, a serial round trip), both against
//   the simulated receiver at 4800 baud, in the same run; and the program's answer to a logger's
//   extended poll "+f +m +v";
// - setter to wire through a real ser2net, beside the same on the pseudo-terminal directly;
// - the program's CPU while 10 clients each poll "f" and "m" ten times a second.

#include "bench_figures.h"
#include "core/status_polls.h"
#include "driver_panel.h"
#include "net/rigctl_server.h"

#include <nrd535sim/serial_server.h>
#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <ctime>
#include <functional>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Baud = 4800;

// Runs `setup` on a thread of its own with an event loop; objects it makes live there until the
// thread ends. The result of setup is handed back once it ran.
class LoopThread : public QThread {
public:
    explicit LoopThread(std::function<std::shared_ptr<void>()> setup) : m_setup(std::move(setup)) {}
    ~LoopThread() override {
        quit();
        wait();
    }
    std::shared_ptr<void> startAndWait() {
        auto f = m_ready.get_future();
        start();
        return f.get();
    }
    pthread_t handle() const { return m_handle; }

protected:
    void run() override {
        m_handle = pthread_self();
        std::shared_ptr<void> objects = m_setup();
        m_ready.set_value(objects);
        exec();
        objects.reset();
    }

private:
    std::function<std::shared_ptr<void>()> m_setup;
    std::promise<std::shared_ptr<void>> m_ready;
    pthread_t m_handle{};
};

struct Simulated {
    nrd535sim::Simulator sim;
    QString path;
};

// The program's side: driver, panel and server, polled by a 100 ms tick as the program does.
struct Program {
    Nrd535 rx;
    DriverPanel panel{rx};
    RigctlServer server{rx, panel};
    QTimer tick;
    quint16 port = 0;
    bool ok = false;
};

std::shared_ptr<Simulated> startSimulator(LoopThread*& thread) {
    thread = new LoopThread([] {
        auto s = std::make_shared<Simulated>();
        s->sim.setBaud(Baud);
        s->sim.setPaced(true);
        if (s->sim.start()) s->path = s->sim.slavePath();
        return std::static_pointer_cast<void>(s);
    });
    return std::static_pointer_cast<Simulated>(thread->startAndWait());
}

std::shared_ptr<Program> startProgram(LoopThread*& thread, const QString& device) {
    thread = new LoopThread([device] {
        auto p = std::make_shared<Program>();
        ostry::setPortDevice(210, device);
        p->rx.Baud(QString::number(Baud));
        p->rx.Port(210);
        p->rx.setMessageDisplay([](const QString&) {});
        if (!p->rx.fOpen(false) || !p->rx.Conn()) return std::static_pointer_cast<void>(p);
        p->rx.Hook(true);
        p->panel.state.Connected = true;
        p->panel.state.RemoteHeld = true;
        Program* raw = p.get();
        QObject::connect(&p->tick, &QTimer::timeout,
                         [raw] { PollStatus(raw->rx, raw->panel.state.Scan); });
        p->tick.start(100);
        QDeadlineTimer until(5000);
        while (p->rx.state().Fr <= 0 && !until.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        p->ok = p->rx.state().Fr > 0 && p->server.listen(QHostAddress(QHostAddress::LocalHost), 0);
        p->port = p->server.serverPort();
        return std::static_pointer_cast<void>(p);
    });
    return std::static_pointer_cast<Program>(thread->startAndWait());
}

// A blocking client, as a logger would be.
struct Client {
    int fd = -1;
    std::string pending;
    explicit Client(quint16 port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            fd = -1;
        }
        int one = 1;
        if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() {
        if (fd >= 0) ::close(fd);
    }
    // Sends a request and reads `lines` answer lines; false on a closed or silent peer.
    bool ask(const char* request, int lines, int timeoutMs = 5000) {
        const size_t n = strlen(request);
        if (::send(fd, request, n, MSG_NOSIGNAL) != ssize_t(n)) return false;
        return readLines(lines, timeoutMs);
    }
    bool readLines(int lines, int timeoutMs) {
        while (std::count(pending.begin(), pending.end(), '\n') < lines) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return false;
            char buf[4096];
            const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got <= 0) return false;
            pending.append(buf, size_t(got));
        }
        for (int i = 0; i < lines; ++i) pending.erase(0, pending.find('\n') + 1);
        return true;
    }
};

std::vector<double> timeQueries(Client& c, int n, const char* request = "f\n", int lines = 1) {
    std::vector<double> us;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        if (!c.ask(request, lines)) break;
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    return us;
}

bool listening(quint16 port) {
    Client probe(port);
    return probe.fd >= 0;
}

void BM_GetFreq_ProgramVsRigctld(benchmark::State& state) {
    LoopThread* simThread = nullptr;
    auto sims = startSimulator(simThread);
    LoopThread* simThread2 = nullptr;
    auto sims2 = startSimulator(simThread2);
    LoopThread* progThread = nullptr;
    auto prog = startProgram(progThread, sims->path);
    const QString rigctld = QStandardPaths::findExecutable(QStringLiteral("rigctld"));
    QProcess hamlib;
    const quint16 hamlibPort = nrd535sim::SerialServer::freePort();
    if (!rigctld.isEmpty())
        hamlib.start(rigctld, {"-m", "6006", "-r", sims2->path, "-s", QString::number(Baud), "-T",
                               "127.0.0.1", "-t", QString::number(hamlibPort)});
    QDeadlineTimer until(10000);
    while (!rigctld.isEmpty() && !listening(hamlibPort) && !until.hasExpired()) QThread::msleep(50);

    std::vector<double> ours, theirs, extendedPoll;
    for (auto _ : state) {
        if (!prog->ok) {
            state.SkipWithError("the program side did not connect to the simulator");
            break;
        }
        Client c(prog->port);
        ours = timeQueries(c, 2000);
        // A logger's poll in the extended protocol, three commands on one line (ten lines back).
        extendedPoll = timeQueries(c, 2000, "+f +m +v\n", 10);
        if (!rigctld.isEmpty()) {
            Client h(hamlibPort);
            if (h.fd >= 0) theirs = timeQueries(h, 60);
        }
    }
    CountPercentiles(state, ours, "kelvane_");
    CountPercentiles(state, extendedPoll, "kelvane_ext_fmv_");
    CountPercentiles(state, theirs, "rigctld6006_");
    if (!ours.empty() && !theirs.empty())
        state.counters["median_ratio"] =
            state.counters["rigctld6006_median_us"] / state.counters["kelvane_median_us"];
    hamlib.terminate();
    hamlib.waitForFinished(3000);
    // The objects end on their own threads: drop this thread's references first.
    prog.reset();
    delete progThread;
    sims2.reset();
    delete simThread2;
    sims.reset();
    delete simThread;
}
BENCHMARK(BM_GetFreq_ProgramVsRigctld)->Iterations(1)->Unit(benchmark::kMillisecond);

// Setter to wire: from an Fr call to the command readable at the far end of the pseudo-terminal,
// once through ser2net and once on the terminal directly.
struct WireLink {
    nrd535sim::Simulator sim;
    nrd535sim::SerialServer server;
    Nrd535 rx;
    bool ok = false;
    explicit WireLink(bool throughServer) {
        sim.setPaced(false);
        sim.setBaud(Baud);
        if (!sim.start()) return;
        if (throughServer) {
            if (!server.start(sim.slavePath(), Baud)) return;
            ostry::setPortDevice(211, server.address());
        } else {
            ostry::setPortDevice(211, sim.slavePath());
        }
        rx.Baud(QString::number(Baud));
        rx.Port(211);
        rx.setMessageDisplay([](const QString&) {});
        if (!rx.fOpen(false)) return;
        QDeadlineTimer until(10000);
        while (!rx.Connected() && !until.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            if (!rx.PortOpened()) rx.fOpen(false);
            rx.Conn();
        }
        ok = rx.Connected();
    }
    ~WireLink() {
        rx.fClose();
        ostry::setPortDevice(211, QString());
    }
};

void setterToWire(benchmark::State& state, bool throughServer) {
    WireLink link(throughServer);
    if (!link.ok) {
        state.SkipWithError("no link to the simulator");
        return;
    }
    std::vector<double> us;
    double hz = 1000000;
    for (auto _ : state) {
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(); // a quiet wire
        hz += 10;
        QElapsedTimer t;
        t.start();
        link.rx.Fr(hz);
        pollfd p{link.sim.masterFd(), POLLIN, 0};
        while (::poll(&p, 1, 100) == 0) {
        }
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(double(ns) * 1e-9);
        us.push_back(double(ns) / 1000.0);
    }
    CountPercentiles(state, us, "wire_");
}
void BM_SetterToWire_ThroughSer2net(benchmark::State& state) {
    if (!nrd535sim::SerialServer::available()) {
        state.SkipWithError("ser2net is not installed");
        return;
    }
    setterToWire(state, true);
}
void BM_SetterToWire_PtyDirect(benchmark::State& state) {
    setterToWire(state, false);
}
BENCHMARK(BM_SetterToWire_ThroughSer2net)->UseManualTime()->Iterations(1000);
BENCHMARK(BM_SetterToWire_PtyDirect)->UseManualTime()->Iterations(1000);

double threadCpuSeconds(pthread_t t) {
    clockid_t id;
    if (pthread_getcpuclockid(t, &id) != 0) return 0;
    timespec ts{};
    clock_gettime(id, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The program's thread (driver, its 100 ms polls, the server) over a few seconds, first with no
// client, then with 10 clients each asking "f" and "m" ten times a second.
void BM_Cpu_TenClientsPolling(benchmark::State& state) {
    LoopThread* simThread = nullptr;
    auto sims = startSimulator(simThread);
    LoopThread* progThread = nullptr;
    auto prog = startProgram(progThread, sims->path);
    const double seconds = 5;
    for (auto _ : state) {
        if (!prog->ok) {
            state.SkipWithError("the program side did not connect to the simulator");
            break;
        }
        double cpu0 = threadCpuSeconds(progThread->handle());
        QThread::msleep(unsigned(seconds * 1000));
        const double idle = threadCpuSeconds(progThread->handle()) - cpu0;

        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 10; ++i) clients.push_back(std::make_unique<Client>(prog->port));
        cpu0 = threadCpuSeconds(progThread->handle());
        QElapsedTimer wall;
        wall.start();
        qint64 next = 0;
        long answered = 0;
        while (wall.elapsed() < qint64(seconds * 1000)) {
            for (auto& c : clients)
                if (c->ask("f\n", 1) && c->ask("m\n", 2)) answered += 2;
            next += 100;
            const qint64 wait = next - wall.elapsed();
            if (wait > 0) QThread::msleep(unsigned(wait));
        }
        const double busy = threadCpuSeconds(progThread->handle()) - cpu0;
        state.counters["idle_cpu_pct"] = 100.0 * idle / seconds;
        state.counters["polled_cpu_pct"] = 100.0 * busy / (double(wall.elapsed()) / 1000.0);
        state.counters["answers_per_s"] = double(answered) / (double(wall.elapsed()) / 1000.0);
    }
    prog.reset();
    delete progThread;
    sims.reset();
    delete simThread;
}
BENCHMARK(BM_Cpu_TenClientsPolling)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv);
}

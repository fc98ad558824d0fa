// SPDX-License-Identifier: MIT
// Start-up time, resident memory and idle cost of a program's window under X, measured from
// outside the program: the clock starts before the process is spawned and stops when the X server
// maps the program's top-level window.
//
//   bench_startup compare RUNS -- NAME PROGRAM ARGS... -- NAME FLOOR ARGS... [-- NAME FLOOR ARGS...]
//       start-up and memory of PROGRAM against each FLOOR, run in turn, with ratios run by run;
//       the goals apply against the first floor
//   bench_startup idle RUNS SECONDS LABEL [KEY] -- PROGRAM ARGS... [-- FLOOR ARGS...]
//       CPU time and wake-ups over SECONDS, RUNS times, after pressing KEY (xdotool syntax) if given;
//       the floor, if given, runs beside it and is measured over the same seconds

#include "BenchTable.h"

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Command = std::vector<std::string>;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "bench_startup: %s\n", message.c_str());
    std::exit(1);
}

struct Running
{
    pid_t pid = -1;
    xcb_window_t window = 0;
    double secondsToMap = 0;
};

class Display
{
public:
    Display()
    {
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_))
            fail("cannot connect to the X server (is DISPLAY set?)");
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
    }
    ~Display() { xcb_disconnect(connection_); }

    void drain()
    {
        xcb_flush(connection_);
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
            std::free(event);
    }

    Running launch(const Command& command)
    {
        drain();
        std::vector<char*> argv;
        for (const auto& word : command)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        Running running;
        const auto started = Clock::now();
        if (posix_spawn(&running.pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            fail("cannot start " + command[0]);
        const auto deadline = started + std::chrono::seconds(30);
        while (Clock::now() < deadline) {
            pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&readable, 1, 100);
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                const bool mapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY &&
                                    !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect;
                if (mapped) {
                    running.window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
                    running.secondsToMap = std::chrono::duration<double>(Clock::now() - started).count();
                }
                std::free(event);
                if (mapped)
                    return running;
            }
        }
        fail(command[0] + " showed no window within 30 s");
    }

private:
    xcb_connection_t* connection_ = nullptr;
};

void stop(const Running& running)
{
    ::kill(running.pid, SIGTERM);
    int status = 0;
    ::waitpid(running.pid, &status, 0);
}

long statusField(pid_t pid, const std::string& field, const std::string& file = "status")
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + field.size(), nullptr, 10);
    }
    return -1;
}

// user + system time in clock ticks, from /proc/<pid>/stat
long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string value;
    long ticks = 0;
    for (int field = 3; fields >> value; ++field) {
        if (field == 14 || field == 15)
            ticks += std::stol(value);
    }
    return ticks;
}

// CPU time of all the process's threads, in ms, to the nanosecond (not sampled at ticks).
double cpuMilliseconds(pid_t pid)
{
    double total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        schedstat >> nanoseconds;
        total += nanoseconds / 1e6;
    }
    return total;
}

// Context switches of all the process's threads: each is a wake-up.
long wakeUps(pid_t pid)
{
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

void pause(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::vector<Command> splitCommands(int argc, char** argv, int from)
{
    std::vector<Command> commands;
    for (int i = from; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            commands.emplace_back();
        else if (!commands.empty())
            commands.back().emplace_back(argv[i]);
    }
    return commands;
}

struct Measured
{
    std::vector<double> start, rss;
};

// The program against each floor, run in turn with the order rotated every run, so that drift on a
// shared machine falls on all alike; ratios are taken within each run.
void compare(int runs, const std::vector<Command>& commands, const std::vector<std::string>& names)
{
    Display display;
    std::vector<Measured> measured(commands.size());
    std::vector<std::vector<double>> startRatio(commands.size()), rssRatio(commands.size());
    for (int run = 0; run < runs; ++run) {
        std::vector<double> start(commands.size()), rss(commands.size());
        for (std::size_t turn = 0; turn < commands.size(); ++turn) {
            const std::size_t which = (static_cast<std::size_t>(run) + turn) % commands.size();
            const Running running = display.launch(commands[which]);
            pause(0.5); // painted and settled
            start[which] = running.secondsToMap * 1000;
            rss[which] = static_cast<double>(statusField(running.pid, "VmRSS:")) / 1024;
            stop(running);
        }
        for (std::size_t which = 0; which < commands.size(); ++which) {
            measured[which].start.push_back(start[which]);
            measured[which].rss.push_back(rss[which]);
            startRatio[which].push_back(start[0] / start[which]);
            rssRatio[which].push_back(rss[0] / rss[which]);
        }
    }
    for (std::size_t which = 0; which < commands.size(); ++which)
        bench::row("start-up to window mapped: " + names[which], "ms", measured[which].start);
    for (std::size_t which = 1; which < commands.size(); ++which) {
        const bool goal = which == 1;
        bench::row("start-up ratio " + names[0] + " / " + names[which], "x", startRatio[which],
                   goal ? "<= 1.25" : "", goal ? bench::median(startRatio[which]) <= 1.25 : -1);
    }
    for (std::size_t which = 0; which < commands.size(); ++which)
        bench::row("resident memory after start-up: " + names[which], "MiB", measured[which].rss);
    for (std::size_t which = 1; which < commands.size(); ++which) {
        const bool goal = which == 1;
        bench::row("memory ratio " + names[0] + " / " + names[which], "x", rssRatio[which],
                   goal ? "<= 1.3" : "", goal ? bench::median(rssRatio[which]) <= 1.3 : -1);
    }
}

struct IdleCost
{
    std::vector<double> ticks, milliseconds, wakes;
};

struct Sample
{
    long ticks;
    double milliseconds;
    long wakes;
};

Sample sample(pid_t pid)
{
    return {cpuTicks(pid), cpuMilliseconds(pid), wakeUps(pid)};
}

void add(IdleCost& cost, const Sample& before, const Sample& after, double seconds)
{
    cost.ticks.push_back(static_cast<double>(after.ticks - before.ticks));
    cost.milliseconds.push_back(after.milliseconds - before.milliseconds);
    cost.wakes.push_back(static_cast<double>(after.wakes - before.wakes) / seconds);
}

// The program, and the floor beside it, idle over the same seconds: this machine's noise falls on
// both alike, and the ratio is taken window by window.
void idle(int runs, double seconds, const std::string& label, const std::string& key,
          const std::vector<Command>& commands)
{
    Display display;
    const Running program = display.launch(commands[0]);
    if (!key.empty()) {
        pause(1.0);
        const std::string window = std::to_string(program.window);
        if (std::system(("xdotool windowfocus --sync " + window + " key " + key).c_str()) != 0)
            fail("xdotool could not press " + key);
    }
    std::optional<Running> floor;
    if (commands.size() > 1)
        floor = display.launch(commands[1]);
    pause(1.5); // started, painted, any reply in

    IdleCost programCost, floorCost;
    std::vector<double> ratio;
    for (int run = 0; run < runs; ++run) {
        const Sample programBefore = sample(program.pid);
        const Sample floorBefore = floor ? sample(floor->pid) : Sample{};
        pause(seconds);
        add(programCost, programBefore, sample(program.pid), seconds);
        if (floor) {
            add(floorCost, floorBefore, sample(floor->pid), seconds);
            ratio.push_back(programCost.milliseconds.back() / floorCost.milliseconds.back());
        }
    }
    stop(program);
    if (floor)
        stop(*floor);

    char figure[160];
    std::snprintf(figure, sizeof figure, "idle CPU over %.0f s, %s", seconds, label.c_str());
    bench::row(figure, "ticks", programCost.ticks, "0", bench::median(programCost.ticks) == 0);
    std::snprintf(figure, sizeof figure, "idle CPU time over %.0f s, %s", seconds, label.c_str());
    bench::row(figure, "ms", programCost.milliseconds);
    std::snprintf(figure, sizeof figure, "idle wake-ups, %s", label.c_str());
    bench::row(figure, "per s", programCost.wakes);
    if (floor) {
        std::snprintf(figure, sizeof figure, "  beside it, bare Qt window with a 1 s clock: CPU over %.0f s",
                      seconds);
        bench::row(figure, "ticks", floorCost.ticks);
        std::snprintf(figure, sizeof figure,
                      "  beside it, bare Qt window with a 1 s clock: CPU time over %.0f s", seconds);
        bench::row(figure, "ms", floorCost.milliseconds);
        bench::row("  beside it, bare Qt window with a 1 s clock: wake-ups", "per s", floorCost.wakes);
        bench::row("  idle CPU time ratio Calimbra / bare window with a clock", "x", ratio);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "compare") == 0) {
        // Each command after "--" starts with its name, e.g. -- Calimbra build/app/calimbra
        auto commands = splitCommands(argc, argv, 3);
        std::vector<std::string> names;
        for (auto& command : commands) {
            if (command.size() < 2)
                fail("each command needs a name and a program");
            names.push_back(command.front());
            command.erase(command.begin());
        }
        if (commands.size() < 2)
            fail("compare needs the program and at least one floor");
        compare(std::atoi(argv[2]), commands, names);
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[1], "idle") == 0) {
        const auto commands = splitCommands(argc, argv, 5);
        const std::string key = argc > 5 && std::strcmp(argv[5], "--") != 0 ? argv[5] : "";
        if (commands.empty() || commands.size() > 2)
            fail("idle needs the program, and optionally a floor, each after --");
        idle(std::atoi(argv[2]), std::atof(argv[3]), argv[4], key, commands);
        return 0;
    }
    fail("usage: bench_startup compare RUNS -- NAME PROGRAM... -- NAME FLOOR... | idle RUNS SECONDS LABEL "
         "[KEY] -- "
         "PROGRAM...");
}

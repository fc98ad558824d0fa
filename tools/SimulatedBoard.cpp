// SPDX-License-Identifier: MIT
// calimbra-simboard: a stand-in for the Calimbra board on a pseudo-terminal, so the panel can be
// tried, tested and measured without hardware. It answers the three requests as the board does and
// can behave like a real line: paced at a baud rate, replies split as USB adapters split them,
// a hang-up as when a cable is pulled. Qt Core is there only to speak the operator's language.

#include "BoardProtocol.h"
#include "Translations.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <getopt.h>
#include <optional>
#include <poll.h>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono;
namespace board = calimbra::board;
using Bytes = std::vector<unsigned char>;

constexpr const char* kVersion = "1.0.0";
// How long the board waits for the sensor digit after "&l=" before answering without one.
constexpr milliseconds kSensorDigitWait{100};
// Longer than any pseudo-terminal's path: a link read back this long is not ours.
constexpr std::size_t kLinkTargetMax = 4096;

// The program's texts, in one context of the catalogue.
struct SimulatedBoard
{
    Q_DECLARE_TR_FUNCTIONS(SimulatedBoard)
};

struct Options
{
    int sensors = 4;
    std::string link;
    long baud = 0; // 0: bytes leave as fast as the pseudo-terminal takes them
    std::size_t chunk = 0;
    milliseconds gap{10};
    milliseconds delay{0};
    std::string log;
    std::optional<double> hangupAfter;
    std::size_t floodBytes = 1 << 20;
    unsigned seed = 1;
};

void printHelp(std::FILE* out)
{
    const QString help = SimulatedBoard::tr(R"(Usage: calimbra-simboard [options]

Simulates the Calimbra measuring board (two LEDs, up to nine 1-Wire temperature
sensors) on a pseudo-terminal. The first line written to standard output is the
terminal's path; start the panel with  calimbra --port <that path>.

Requests and answers:
  &a          LED command: accepted silently
  &i          sensor-count reply, e.g. "SN° =4 sens" (11 bytes, the count at byte 5)
  &l=<k>      temperature reply for sensor k, e.g. "T3 = +23.56 °C" (14 bytes);
              a sensor that is not active answers "Tk = sem sensor" (15 bytes)
Replies are Windows-1252 text with no line end, as the board sends them.

Options:
  --sensors N        active sensors reported by &i, 0 to 9 (default 4)
  --link PATH        also create PATH as a symbolic link to the terminal
  --baud RATE        pace reply bytes as a line at RATE baud does (10 bits a byte)
  --chunk N          split each reply into pieces of N bytes, as USB adapters do
  --gap MS           pause between pieces with --chunk (default 10 ms)
  --delay MS         answer each request this late, as a board converting
                     a temperature does (default 0; a DS18B20 takes up to 750)
  --log FILE         log each request received and each reply sent, a line each
                     ('-' for stderr), stamped with CLOCK_MONOTONIC seconds:
                     <seconds> <led|information|measurement|ignored> "<bytes received>"
                     <seconds> sent "<reply>"     (the time its last byte went out)
                     <seconds> flood <bytes>
  --hangup-after S   hang up (close the line and exit) after S seconds
  --flood BYTES      bytes of random noise sent on SIGUSR2 (default 1048576)
  --seed N           seed of the noise (default 1)
  --help             show this help and exit
  --version          show the version and exit

Signals:
  SIGUSR1            hang up now, as when the cable is pulled
  SIGUSR2            send the flood of random bytes
  SIGINT, SIGTERM    exit (the link is removed)
)");
    std::fputs(help.toLocal8Bit().constData(), out);
}

volatile std::sig_atomic_t gSignal = 0;
int gWakeWrite = -1;

void onSignal(int number)
{
    gSignal = number;
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(gWakeWrite, &byte, 1);
}

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "calimbra-simboard: %s\n", message.toLocal8Bit().constData());
    std::exit(EXIT_FAILURE);
}

QString local(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// Takes the error number, not errno: building the message around it may change errno.
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

double monotonicSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

long parseNumber(const char* text, const char* option, long low, long high)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high)
        fail(SimulatedBoard::tr("--%1 takes a whole number from %2 to %3")
                 .arg(QLatin1String(option))
                 .arg(low)
                 .arg(high));
    return value;
}

Options parseOptions(int argc, char** argv)
{
    enum { Sensors = 1, Link, Baud, Chunk, Gap, Delay, Log, Hangup, Flood, Seed, Help, Version };
    const option longOptions[] = {
        {"sensors", required_argument, nullptr, Sensors},
        {"link", required_argument, nullptr, Link},
        {"baud", required_argument, nullptr, Baud},
        {"chunk", required_argument, nullptr, Chunk},
        {"gap", required_argument, nullptr, Gap},
        {"delay", required_argument, nullptr, Delay},
        {"log", required_argument, nullptr, Log},
        {"hangup-after", required_argument, nullptr, Hangup},
        {"flood", required_argument, nullptr, Flood},
        {"seed", required_argument, nullptr, Seed},
        {"help", no_argument, nullptr, Help},
        {"version", no_argument, nullptr, Version},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    int choice = 0;
    while ((choice = ::getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        switch (choice) {
        case Sensors:
            options.sensors = static_cast<int>(parseNumber(optarg, "sensors", 0, board::kMaxSensors));
            break;
        case Link:
            options.link = optarg;
            break;
        case Baud:
            options.baud = parseNumber(optarg, "baud", 50, 4'000'000);
            break;
        case Chunk:
            options.chunk = static_cast<std::size_t>(parseNumber(optarg, "chunk", 1, 1024));
            break;
        case Gap:
            options.gap = milliseconds{parseNumber(optarg, "gap", 0, 60'000)};
            break;
        case Delay:
            options.delay = milliseconds{parseNumber(optarg, "delay", 0, 3'600'000)};
            break;
        case Log:
            options.log = optarg;
            break;
        case Hangup: {
            char* end = nullptr;
            const double seconds = std::strtod(optarg, &end);
            if (end == optarg || *end != '\0' || !(seconds >= 0))
                fail(SimulatedBoard::tr("--hangup-after takes a number of seconds"));
            options.hangupAfter = seconds;
            break;
        }
        case Flood:
            options.floodBytes = static_cast<std::size_t>(parseNumber(optarg, "flood", 1, 1L << 30));
            break;
        case Seed:
            options.seed = static_cast<unsigned>(parseNumber(optarg, "seed", 0, 1L << 30));
            break;
        case Help:
            printHelp(stdout);
            std::exit(EXIT_SUCCESS);
        case Version:
            std::printf("calimbra-simboard %s\n", kVersion);
            std::exit(EXIT_SUCCESS);
        default:
            printHelp(stderr);
            std::exit(2);
        }
    }
    if (optind < argc)
        fail(SimulatedBoard::tr("unexpected argument: %1").arg(QString::fromLocal8Bit(argv[optind])));
    return options;
}

std::string escaped(const Bytes& bytes)
{
    std::string text;
    for (const unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            text += hex;
        }
    }
    return text;
}

class Board
{
public:
    Board(const Options& options, int line) : options_(options), line_(line), noise_(options.seed)
    {
        if (options.log == "-")
            log_ = stderr;
        else if (!options.log.empty() && !(log_ = std::fopen(options.log.c_str(), "a"))) {
            const int error = errno;
            fail(SimulatedBoard::tr("cannot write the log %1: %2")
                     .arg(local(options.log), systemError(error)));
        }
    }

    // Feeds received bytes through the request parser; false once the line is gone.
    bool receive(const unsigned char* bytes, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (!feed(bytes[i]))
                return false;
        }
        return true;
    }

    // "&l=" with nothing after it is answered once the digit has not come in time.
    std::optional<steady_clock::time_point> deadline() const { return sensorDeadline_; }

    bool onDeadline()
    {
        sensorDeadline_.reset();
        state_ = State::Idle;
        pending_.clear();
        return answerMeasurement(std::nullopt);
    }

    bool flood()
    {
        Bytes noise(options_.floodBytes);
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : noise)
            b = static_cast<unsigned char>(byte(noise_));
        if (!send(noise, /*paced=*/false))
            return false;
        log("flood", Bytes(), lastWrite_, noise.size());
        return true;
    }

private:
    enum class State { Idle, Ampersand, L, Equals };

    bool feed(unsigned char byte)
    {
        switch (state_) {
        case State::Idle:
            if (byte == '&')
                return begin(byte);
            logRequest("ignored", Bytes{byte});
            return true;
        case State::Ampersand:
            pending_.push_back(byte);
            if (byte == 'a') {
                logRequest("led", take());
                return true;
            }
            if (byte == 'i') {
                logRequest("information", take());
                return reply(sensorCountReply());
            }
            if (byte == 'l') {
                state_ = State::L;
                return true;
            }
            return restart(byte);
        case State::L:
            pending_.push_back(byte);
            if (byte == '=') {
                state_ = State::Equals;
                sensorDeadline_ = steady_clock::now() + kSensorDigitWait;
                return true;
            }
            return restart(byte);
        case State::Equals:
            sensorDeadline_.reset();
            if (byte == '&') {
                // The next request started before a digit came: answer this one without it.
                if (!answerMeasurement(std::nullopt))
                    return false;
                return begin(byte);
            }
            pending_.push_back(byte);
            return answerMeasurement(byte);
        }
        return true;
    }

    bool begin(unsigned char ampersand)
    {
        pending_.assign(1, ampersand);
        state_ = State::Ampersand;
        return true;
    }

    // Not a request after all: log what was held and look at the last byte afresh.
    bool restart(unsigned char byte)
    {
        pending_.pop_back();
        logRequest("ignored", take());
        return feed(byte);
    }

    Bytes take()
    {
        Bytes taken;
        taken.swap(pending_);
        state_ = State::Idle;
        return taken;
    }

    bool answerMeasurement(std::optional<unsigned char> sensor)
    {
        if (pending_.empty())
            pending_.assign(board::kMeasurementPrefix.begin(), board::kMeasurementPrefix.end());
        logRequest("measurement", take());
        return reply(temperatureReply(sensor));
    }

    Bytes sensorCountReply() const
    {
        const char digit = static_cast<char>('0' + options_.sensors);
        Bytes reply = {'S',
                       board::kSensorCountMarker,
                       board::kDegreeSign,
                       ' ',
                       '=',
                       static_cast<unsigned char>(digit),
                       ' ',
                       's',
                       'e',
                       'n',
                       's'};
        return reply;
    }

    Bytes temperatureReply(std::optional<unsigned char> sensor) const
    {
        const bool printable = sensor && *sensor >= 0x20 && *sensor < 0x7F;
        const char name = printable ? static_cast<char>(*sensor) : '?';
        const int index = sensor ? *sensor - '0' : 0;
        char text[32];
        if (index >= 1 && index <= options_.sensors) {
            // Each sensor drifts slowly around its own value, as room air does.
            const double t = monotonicSeconds() - start_;
            const double celsius = 21.5 + 0.75 * (index - 1) + 1.2 * std::sin(2 * M_PI * t / 600.0 + index);
            std::snprintf(text, sizeof text,
                          "T%c = %+06.2f \xB0"
                          "C",
                          name, celsius);
        } else {
            std::snprintf(text, sizeof text, "T%c = sem sensor", name);
        }
        return Bytes(text, text + std::strlen(text));
    }

    // Logged with the time its last byte went out.
    bool reply(const Bytes& bytes)
    {
        if (options_.delay > milliseconds::zero() && !pause(options_.delay))
            return false;
        if (!send(bytes, true))
            return false;
        log("sent", bytes, lastWrite_);
        return true;
    }

    bool send(const Bytes& reply, bool paced)
    {
        const std::size_t piece = paced && options_.chunk > 0 ? options_.chunk : reply.size();
        const auto byteTime =
            options_.baud > 0 && paced ? nanoseconds{10'000'000'000LL / options_.baud} : nanoseconds::zero();
        auto slot = steady_clock::now();
        for (std::size_t at = 0; at < reply.size(); at += piece) {
            if (at > 0 && !pause(options_.gap))
                return false;
            const std::size_t end = std::min(reply.size(), at + piece);
            if (byteTime == nanoseconds::zero()) {
                if (!writeAll(reply.data() + at, end - at))
                    return false;
                continue;
            }

            for (std::size_t i = at; i < end; ++i) {
                slot = std::max(slot, steady_clock::now()) + byteTime;
                if (!writeAll(reply.data() + i, 1))
                    return false;
                if (i + 1 < reply.size() && !pauseUntil(slot))
                    return false;
            }
        }
        return true;
    }

    bool pause(milliseconds length) { return pauseUntil(steady_clock::now() + length); }

    bool pauseUntil(steady_clock::time_point until)
    {
        // A flood request waits for the main loop; any other signal ends the reply.
        while (gSignal == 0 || gSignal == SIGUSR2) {
            const auto left = until - steady_clock::now();
            if (left <= nanoseconds::zero())
                return true;
            const auto ns = duration_cast<nanoseconds>(left).count();
            timespec span{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
            ::nanosleep(&span, nullptr);
        }
        return false;
    }

    bool writeAll(const unsigned char* data, std::size_t count)
    {
        while (count > 0) {
            if (gSignal != 0 && gSignal != SIGUSR2)
                return false;
            const ssize_t written = ::write(line_, data, count);
            if (written > 0) {
                data += written;
                count -= static_cast<std::size_t>(written);
                lastWrite_ = monotonicSeconds();
                continue;
            }
            if (written < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            pollfd writable{line_, POLLOUT, 0};
            ::poll(&writable, 1, 50);
        }
        return true;
    }

    void logRequest(const char* kind, const Bytes& bytes)
    {
        if (!bytes.empty())
            log(kind, bytes, monotonicSeconds());
    }

    void log(const char* kind, const Bytes& bytes, double at, std::size_t count = 0)
    {
        if (!log_)
            return;
        if (count > 0)
            std::fprintf(log_, "%.6f %s %zu\n", at, kind, count);
        else
            std::fprintf(log_, "%.6f %s \"%s\"\n", at, kind, escaped(bytes).c_str());
        std::fflush(log_);
    }

    const Options& options_;
    int line_;
    std::FILE* log_ = nullptr;
    std::mt19937 noise_;
    State state_ = State::Idle;
    Bytes pending_;
    std::optional<steady_clock::time_point> sensorDeadline_;
    double start_ = monotonicSeconds();
    double lastWrite_ = 0;
};

struct Terminal
{
    int master = -1;
    int slave = -1;
    std::string path;
};

Terminal openTerminal()
{
    Terminal terminal;
    terminal.master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal.master < 0 || ::grantpt(terminal.master) != 0 || ::unlockpt(terminal.master) != 0) {
        const int error = errno;
        fail(SimulatedBoard::tr("cannot create a pseudo-terminal: %1").arg(systemError(error)));
    }
    char name[256];
    if (const int error = ::ptsname_r(terminal.master, name, sizeof name); error != 0)
        fail(SimulatedBoard::tr("cannot name the pseudo-terminal: %1").arg(systemError(error)));
    terminal.path = name;
    // Held open so that the line stays up while the panel closes and reopens its side, as a
    // cabled board does; raw, so that nothing is echoed or translated before the panel opens it.
    terminal.slave = ::open(name, O_RDWR | O_NOCTTY);
    if (terminal.slave < 0) {
        const int error = errno;
        fail(SimulatedBoard::tr("cannot open %1: %2").arg(QString::fromLocal8Bit(name), systemError(error)));
    }
    termios raw{};
    ::tcgetattr(terminal.slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(terminal.slave, TCSANOW, &raw);
    ::fcntl(terminal.master, F_SETFL, ::fcntl(terminal.master, F_GETFL) | O_NONBLOCK);
    return terminal;
}

void makeLink(const std::string& link, const std::string& target)
{
    struct stat existing
    {};
    if (::lstat(link.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode))
            fail(SimulatedBoard::tr("%1 exists and is not a symbolic link; not replacing it")
                     .arg(local(link)));
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        const int error = errno;
        fail(SimulatedBoard::tr("cannot create the link %1: %2").arg(local(link), systemError(error)));
    }
}

// Only the link this run made: a file or another link put in its place since belongs to someone else.
void removeLinkIfOurs(const std::string& link, const std::string& target)
{
    struct stat existing
    {};
    if (::lstat(link.c_str(), &existing) != 0 || !S_ISLNK(existing.st_mode))
        return;
    char pointsTo[kLinkTargetMax];
    const ssize_t length = ::readlink(link.c_str(), pointsTo, sizeof pointsTo);
    if (length < 0 || static_cast<std::size_t>(length) == sizeof pointsTo ||
        std::string_view(pointsTo, static_cast<std::size_t>(length)) != target)
        return;
    ::unlink(link.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    // Qt sees none of the options. It sets the C library's locale from the environment; back to
    // "C", so that numbers in replies and options keep their point whatever the operator's locale.
    int qtArgc = 1;
    QCoreApplication application(qtArgc, argv);
    calimbra::installTranslations();
    std::setlocale(LC_ALL, "C");

    const Options options = parseOptions(argc, argv);

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        fail(SimulatedBoard::tr("pipe: %1").arg(systemError(error)));
    }
    gWakeWrite = wake[1];
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        ::sigaction(number, &action, nullptr);

    const Terminal terminal = openTerminal();
    // The log is opened first: a run that fails on it leaves no link behind.
    Board board(options, terminal.master);
    if (!options.link.empty())
        makeLink(options.link, terminal.path);
    std::printf("%s\n", terminal.path.c_str());
    std::fflush(stdout);

    const auto started = steady_clock::now();
    std::optional<steady_clock::time_point> hangupAt;
    if (options.hangupAfter)
        hangupAt = started + duration_cast<steady_clock::duration>(duration<double>(*options.hangupAfter));

    bool running = true;
    while (running) {
        auto until = hangupAt;
        if (const auto digit = board.deadline(); digit && (!until || *digit < *until))
            until = digit;
        int timeout = -1;
        if (until)
            timeout = static_cast<int>(std::max<milliseconds::rep>(
                0, duration_cast<milliseconds>(*until - steady_clock::now()).count() + 1));

        pollfd watched[2] = {{terminal.master, POLLIN, 0}, {wake[0], POLLIN, 0}};
        const int ready = ::poll(watched, 2, timeout);
        if (ready < 0 && errno != EINTR) {
            const int error = errno;
            fail(SimulatedBoard::tr("poll: %1").arg(systemError(error)));
        }

        if (watched[1].revents & POLLIN) {
            char drained[64];
            while (::read(wake[0], drained, sizeof drained) > 0) {
            }
        }
        const int signal = gSignal;
        gSignal = 0;
        if (signal == SIGUSR2) {
            running = board.flood();
            continue;
        }
        if (signal != 0)
            break;

        if (watched[0].revents & POLLIN) {
            unsigned char bytes[4096];
            const ssize_t count = ::read(terminal.master, bytes, sizeof bytes);
            if (count > 0)
                running = board.receive(bytes, static_cast<std::size_t>(count));
        }
        const auto now = steady_clock::now();
        if (const auto digit = board.deadline(); running && digit && now >= *digit)
            running = board.onDeadline();
        if (hangupAt && now >= *hangupAt)
            break;
    }

    // Closing the master is the hang-up the panel sees, as on a pulled cable.
    ::close(terminal.master);
    ::close(terminal.slave);
    if (!options.link.empty())
        removeLinkIfOurs(options.link, terminal.path);
    return EXIT_SUCCESS;
}

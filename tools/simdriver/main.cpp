// simdriver: a simulated stepper-motor driver for trying the register tool
// without hardware. It is a Modbus RTU slave that serves the holding
// registers of a RegisterInfo map on a pseudo-terminal (or a given device,
// or over TCP as a Modbus TCP server or an RTU gateway), prints the port to
// open as its first line and logs each request to stderr.

#include "listener.h"
#include "mapfile.h"
#include "serialline.h"
#include "server.h"

#include <getopt.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options
{
    std::string mapFile = "RegisterInfo";
    std::string device;
    int slaveAddress = 0; // 0: the map's
    // Over TCP instead of a serial line: the framing and the port (0: a free one).
    bool network = false;
    Framing framing = Framing::Rtu;
    int port = 0; // -1: not a port
    std::string portText;
    int networkOptions = 0; // --tcp and --rtu-over-tcp given, to refuse both
    bool paceGiven = false;
    ServerSettings server;
};

void printUsage(FILE *to)
{
    fprintf(to,
            "Usage: simdriver [OPTION]...\n"
            "Simulates a stepper-motor driver: a Modbus RTU slave serving the holding\n"
            "registers of a register map (functions 3, 6 and 16). Prints the serial port\n"
            "to open (or 127.0.0.1:PORT over TCP) as its first line, logs each request\n"
            "to stderr, and runs until SIGINT or SIGTERM. A read of up to 125 registers\n"
            "is answered when the map lists every one of them; otherwise it gets\n"
            "exception 2 (illegal address). A u32 or s32 register of the map holds its\n"
            "defaultValue in two registers, in its word order; the log shows the value\n"
            "a function-16 write gives it.\n"
            "\n"
            "  --map FILE      register map (default: RegisterInfo)\n"
            "  --address LIST  slave address 1..247 (default: the map's slaveAddress), or\n"
            "                  several drivers on one line, each with its own registers:\n"
            "                  1,2,3 or 1-3 (or 1-3,7)\n"
            "  --baud N        line rate (default: 9600); a pseudo-terminal has none,\n"
            "                  there only --pace uses it\n"
            "  --delay MS      wait MS milliseconds before each reply\n"
            "  --silent        log requests but never answer them\n"
            "  --silent-after N  answer N requests, then fall silent\n"
            "  --exception N   answer every request with exception code N (1..255):\n"
            "                  the function code with bit 7 set, then N\n"
            "  --refuse-function N  answer function N (1..127) with exception 1\n"
            "                  (illegal function), as a driver without it does\n"
            "  --write-only ADDR  answer a read that takes in register ADDR (hexadecimal,\n"
            "                  may be given again) with exception 2, as a command register\n"
            "  --reply-address N  send every reply as slave N (0..255), CRC fixed up\n"
            "  --bad-crc       flip the last CRC byte of every reply\n"
            "  --byte-gap MS   send replies one byte at a time, MS milliseconds apart\n"
            "  --wrong-kind    answer a write with a read reply and a read with a write\n"
            "                  echo, both well formed\n"
            "  --short-read    answer a read of several registers with the first alone\n"
            "  --repeat-reply MS  send every reply again MS milliseconds later, as a\n"
            "                  second device at the same address would\n"
            "  --owed-reply    before the first read's own reply, send the one a read of\n"
            "                  the register after would get, as a reply still owed to\n"
            "                  another program's request\n"
            "  --owed-instead  the same, but the first read gets that reply alone: a\n"
            "                  driver busy with another program's request ignores one\n"
            "                  that comes meanwhile\n"
            "  --late-write MS  answer the first write (function 6 or 16) MS milliseconds\n"
            "                  later than the rest, once: an echo after the master's\n"
            "                  timeout\n"
            "  --pace          keep the line's time at the --baud rate, 10 bits a byte:\n"
            "                  the reply starts a turnaround after the request's last\n"
            "                  byte would have arrived (plus --delay), and each byte\n"
            "                  goes out when it would be complete (plus --byte-gap\n"
            "                  of silence between bytes). For a pseudo-terminal: a real\n"
            "                  device keeps its own time\n"
            "  --turnaround MS the turnaround for --pace (default: 1)\n"
            "  --log-silence   log the silence before each request: from the moment the\n"
            "                  previous reply's last byte was complete on the line (with\n"
            "                  --pace its wire time, or the write's when that came\n"
            "                  later; without, the write's) to the request's first\n"
            "                  byte; at the end, the shortest and the median\n"
            "  --set [SLAVE:]ADDR=VALUE  register ADDR (hexadecimal) holds VALUE (decimal\n"
            "                  or 0x..) from the start instead of its defaultValue, on\n"
            "                  driver SLAVE only or on every one; may be given again\n"
            "                  (another model number, a preset setting)\n"
            "  --refuse-write [SLAVE:]ADDR  answer writes to register ADDR (hexadecimal)\n"
            "                  with exception 3 (illegal data value), on driver SLAVE\n"
            "                  only or on every one; may be given again\n"
            "  --alarm [SLAVE:]CODE[@MS]  go into alarm CODE (1..65535) at start, or MS\n"
            "                  milliseconds after: the map's role:alarm row holds CODE\n"
            "                  and its role:status row's alarmBit is set. Commands of\n"
            "                  the map act when written: the save command logs \"saved\n"
            "                  to memory\", a danger command restores every RW row's\n"
            "                  default, any other clears the alarm\n"
            "  --device PATH   serve on PATH instead of a new pseudo-terminal\n"
            "  --tcp PORT      serve Modbus TCP on 127.0.0.1:PORT instead (0: a free\n"
            "                  port), one client at a time; prints 127.0.0.1:PORT as\n"
            "                  its first line. The unit id is the slave address\n"
            "  --rtu-over-tcp PORT  the same, but with RTU frames (CRC and all) over\n"
            "                  the connection, as a transparent gateway carries them\n"
            "  --wrong-transaction  over --tcp, answer every request with the\n"
            "                  transaction id after its own\n"
            "  --reset-after N over TCP, answer N requests, then reset the connection\n"
            "                  on the next one without answering it; once, later\n"
            "                  connections are served\n"
            "  --accept-silent over TCP, accept connections but never read or answer\n"
            "                  anything, as a half-open gateway\n"
            "  --stall-after MS  the motor's shaft stalls MS milliseconds after each\n"
            "                  motion starts: the following error grows until the\n"
            "                  driver stops with alarm 4 (following error)\n"
            "  --lose-stops N  the first N stop commands and jog speeds of 0 are lost\n"
            "                  on the line: neither obeyed nor answered\n"
            "  --help          show this help\n"
            "\n"
            "A map with motion rows (role:jog, role:target, role:position, role:speed,\n"
            "role:followingError, role:commTimeout, role:positionGain, role:speedGain and\n"
            "the role:move and role:stop commands) gets a simulated motor: a position loop\n"
            "whose natural frequency is the position gain and whose damping is the speed\n"
            "gain over twice that (both 1/s), 10000 pulses a turn, stepped each\n"
            "millisecond. A jog moves its reference at the jog row's speed (rpm), the\n"
            "move command steps it to the target, and the stop command, or a jog speed\n"
            "of 0, holds it where the motor is. While the motor moves, no valid request\n"
            "for longer than the comm timeout row (0: off) stops it with alarm 5,\n"
            "\"communication lost\". Each start and stop is logged with the time of the\n"
            "monotonic clock in milliseconds.\n");
}

// A whole decimal number within [min, max].
bool parseNumber(const char *text, long min, long max, int &number)
{
    char *end = nullptr;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < min || value > max)
        return false;
    number = static_cast<int>(value);
    return true;
}

// The argument of a numeric option, saying so when it is out of range.
bool parseNumberOption(const char *name, long min, long max, int &number)
{
    if (parseNumber(optarg, min, max, number))
        return true;
    fprintf(stderr, "simdriver: bad value '%s' for --%s\n", optarg, name);
    return false;
}

// A register address in hexadecimal, "0x0020" or "20", added to `addresses`.
bool parseAddressOption(const char *name, std::set<int> &addresses)
{
    char *end = nullptr;
    errno = 0;
    const long value = strtol(optarg, &end, 16);
    if (errno != 0 || end == optarg || *end != '\0' || value < 0 || value > 0xFFFF) {
        fprintf(stderr, "simdriver: bad value '%s' for --%s\n", optarg, name);
        return false;
    }
    addresses.insert(static_cast<int>(value));
    return true;
}

// "2:" before an option's value names one driver of the line; 0: every one.
bool takeSlavePrefix(std::string &text, int &slave)
{
    slave = 0;
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return true;
    const bool ok = parseNumber(text.substr(0, colon).c_str(), 1, 247, slave);
    text = text.substr(colon + 1);
    return ok;
}

// "1,2,3", "1-3" or "1-3,7": the first is the map's own driver's address.
bool parseAddressList(Options &options)
{
    std::string rest = optarg;
    std::set<int> addresses;
    int first = 0;
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string piece = rest.substr(0, comma);
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
        const size_t dash = piece.find('-');
        int low = 0;
        int high = 0;
        if (!parseNumber(piece.substr(0, dash).c_str(), 1, 247, low)
            || !parseNumber(dash == std::string::npos ? piece.c_str() : piece.substr(dash + 1).c_str(), low, 247, high))
            return false;
        for (int a = low; a <= high; ++a)
            addresses.insert(a);
        first = first ? first : low;
    }
    if (addresses.empty())
        return false;
    options.slaveAddress = first;
    addresses.erase(first);
    options.server.otherAddresses = addresses;
    return true;
}

// "0x0040=0x2305", "40=8965" or "2:0x0001=2".
bool parsePresetOption(std::vector<Preset> &presets)
{
    std::string text = optarg;
    Preset preset;
    const bool slaveOk = takeSlavePrefix(text, preset.slave);
    const size_t equals = text.find('=');
    // Named, so that `end` points into text that is still there.
    const std::string addressText = equals == std::string::npos ? std::string() : text.substr(0, equals);
    char *end = nullptr;
    errno = 0;
    const long address = addressText.empty() ? -1 : strtol(addressText.c_str(), &end, 16);
    const bool addressOk = errno == 0 && end && *end == '\0' && address >= 0 && address <= 0xFFFF;
    const std::string valueText = equals == std::string::npos ? std::string() : text.substr(equals + 1);
    const long value = strtol(valueText.c_str(), &end, 0);
    if (!slaveOk || !addressOk || valueText.empty() || *end != '\0' || errno != 0 || value < 0 || value > 0xFFFF) {
        fprintf(stderr, "simdriver: bad value '%s' for --set ([SLAVE:]ADDR=VALUE, ADDR hexadecimal)\n", optarg);
        return false;
    }
    preset.address = static_cast<uint16_t>(address);
    preset.value = static_cast<uint16_t>(value);
    presets.push_back(preset);
    return true;
}

// "0x0010" or "2:0x0010".
bool parseRefusedWrite(std::vector<Preset> &refused)
{
    std::string text = optarg;
    Preset write;
    const bool slaveOk = takeSlavePrefix(text, write.slave);
    char *end = nullptr;
    errno = 0;
    const long address = strtol(text.c_str(), &end, 16);
    if (!slaveOk || text.empty() || *end != '\0' || errno != 0 || address < 0 || address > 0xFFFF) {
        fprintf(stderr, "simdriver: bad value '%s' for --refuse-write ([SLAVE:]ADDR, ADDR hexadecimal)\n", optarg);
        return false;
    }
    write.address = static_cast<uint16_t>(address);
    refused.push_back(write);
    return true;
}

// "2", "2@1500" or "3:2@1500".
bool parseAlarmOption(ServerSettings &settings)
{
    std::string text = optarg;
    const bool slaveOk = takeSlavePrefix(text, settings.alarmSlave);
    const size_t at = text.find('@');
    if (!slaveOk || !parseNumber(text.substr(0, at).c_str(), 1, 65535, settings.alarmCode)
        || (at != std::string::npos && !parseNumber(text.substr(at + 1).c_str(), 0, 3600000, settings.alarmAfterMs))) {
        fprintf(stderr, "simdriver: bad value '%s' for --alarm (CODE or CODE@MS)\n", optarg);
        return false;
    }
    return true;
}

// False for anything that is not a valid option list.
bool parseOptions(int argc, char **argv, Options &options)
{
    enum { Map = 1, Address, Baud, Delay, Silent, Device, Help, Exception, ReplyAddress, BadCrc, ByteGap,
           Pace, Turnaround, SilentAfter, WrongKind, ShortRead, RefuseFunction, RepeatReply, OwedReply, OwedInstead, WriteOnly,
           LogSilence, Set, Alarm, RefuseWrite, Tcp, RtuOverTcp, WrongTransaction, ResetAfter, AcceptSilent,
           StallAfter,
           LoseStops,
           LateWrite };
    static const struct option longOptions[] = {
        {"map", required_argument, nullptr, Map},
        {"set", required_argument, nullptr, Set},
        {"refuse-write", required_argument, nullptr, RefuseWrite},
        {"alarm", required_argument, nullptr, Alarm},
        {"address", required_argument, nullptr, Address},
        {"baud", required_argument, nullptr, Baud},
        {"delay", required_argument, nullptr, Delay},
        {"silent", no_argument, nullptr, Silent},
        {"device", required_argument, nullptr, Device},
        {"help", no_argument, nullptr, Help},
        {"exception", required_argument, nullptr, Exception},
        {"reply-address", required_argument, nullptr, ReplyAddress},
        {"bad-crc", no_argument, nullptr, BadCrc},
        {"byte-gap", required_argument, nullptr, ByteGap},
        {"pace", no_argument, nullptr, Pace},
        {"turnaround", required_argument, nullptr, Turnaround},
        {"silent-after", required_argument, nullptr, SilentAfter},
        {"wrong-kind", no_argument, nullptr, WrongKind},
        {"short-read", no_argument, nullptr, ShortRead},
        {"repeat-reply", required_argument, nullptr, RepeatReply},
        {"owed-reply", no_argument, nullptr, OwedReply},
        {"owed-instead", no_argument, nullptr, OwedInstead},
        {"late-write", required_argument, nullptr, LateWrite},
        {"log-silence", no_argument, nullptr, LogSilence},
        {"refuse-function", required_argument, nullptr, RefuseFunction},
        {"write-only", required_argument, nullptr, WriteOnly},
        {"tcp", required_argument, nullptr, Tcp},
        {"rtu-over-tcp", required_argument, nullptr, RtuOverTcp},
        {"wrong-transaction", no_argument, nullptr, WrongTransaction},
        {"reset-after", required_argument, nullptr, ResetAfter},
        {"accept-silent", no_argument, nullptr, AcceptSilent},
        {"stall-after", required_argument, nullptr, StallAfter},
        {"lose-stops", required_argument, nullptr, LoseStops},
        {nullptr, 0, nullptr, 0},
    };
    for (int option; (option = getopt_long(argc, argv, "", longOptions, nullptr)) != -1;) {
        bool valid = true;
        switch (option) {
        case Map: options.mapFile = optarg; break;
        case Set: valid = parsePresetOption(options.server.presets); break;
        case Alarm: valid = parseAlarmOption(options.server); break;
        case RefuseWrite: valid = parseRefusedWrite(options.server.refusedWrites); break;
        case Device: options.device = optarg; break;
        case Silent: options.server.silent = true; break;
        case Address:
            valid = parseAddressList(options);
            if (!valid)
                fprintf(stderr, "simdriver: bad value '%s' for --address (1..247, a list or a range)\n", optarg);
            break;
        case Baud: valid = parseNumberOption("baud", 1, 4000000, options.server.baud); break;
        case Delay: valid = parseNumberOption("delay", 0, 3600000, options.server.delayMs); break;
        case Exception: valid = parseNumberOption("exception", 1, 255, options.server.exceptionCode); break;
        case RefuseFunction:
            valid = parseNumberOption("refuse-function", 1, 127, options.server.refusedFunction);
            break;
        case WriteOnly: valid = parseAddressOption("write-only", options.server.writeOnly); break;
        case ReplyAddress: valid = parseNumberOption("reply-address", 0, 255, options.server.replyAddress); break;
        case BadCrc: options.server.badCrc = true; break;
        case WrongKind: options.server.wrongKind = true; break;
        case ShortRead: options.server.shortRead = true; break;
        case OwedReply: options.server.owedReply = true; break;
        case OwedInstead: options.server.owedReply = options.server.owedInstead = true; break;
        case LateWrite: valid = parseNumberOption("late-write", 1, 600000, options.server.lateWriteMs); break;
        case RepeatReply: valid = parseNumberOption("repeat-reply", 1, 10000, options.server.repeatMs); break;
        case SilentAfter: valid = parseNumberOption("silent-after", 0, 1000000, options.server.silentAfter); break;
        case ByteGap: valid = parseNumberOption("byte-gap", 1, 10000, options.server.byteGapMs); break;
        case Pace: options.server.pace = options.paceGiven = true; break;
        case Tcp:
        case RtuOverTcp:
            options.network = true;
            options.framing = option == Tcp ? Framing::Tcp : Framing::Rtu;
            ++options.networkOptions;
            // A bad port is refused with the other bad combinations, status 1.
            options.portText = optarg;
            if (!parseNumber(optarg, 0, 65535, options.port))
                options.port = -1;
            break;
        case WrongTransaction: options.server.wrongTransaction = true; break;
        case ResetAfter: valid = parseNumberOption("reset-after", 0, 1000000, options.server.resetAfter); break;
        case AcceptSilent: options.server.acceptSilent = true; break;
        case StallAfter: valid = parseNumberOption("stall-after", 0, 1000000, options.server.stallAfterMs); break;
        case LoseStops: valid = parseNumberOption("lose-stops", 0, 1000000, options.server.loseStops); break;
        case LogSilence: options.server.logSilence = true; break;
        case Turnaround: valid = parseNumberOption("turnaround", 0, 10000, options.server.turnaroundMs); break;
        case Help: printUsage(stdout); exit(0);
        default: valid = false;
        }
        if (!valid)
            return false;
    }
    return optind == argc;
}

// The --address option, else the map's slaveAddress, else 1; 0 when the
// map's value is no slave address.
int slaveAddressFor(const Options &options, const RegisterMap &map)
{
    if (options.slaveAddress != 0)
        return options.slaveAddress;
    int address = 1;
    if (map.slaveAddressText && !parseNumber(map.slaveAddressText->c_str(), 1, 247, address))
        return 0;
    return address;
}

// Stop signals are taken from a descriptor, so the serving loop can wait for
// them and for requests together.
int stopSignalDescriptor()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0)
        return -1;
    return signalfd(-1, &stopSignals, SFD_CLOEXEC);
}

// Options that make no sense together; false after saying why.
bool consistent(const Options &options)
{
    const ServerSettings &server = options.server;
    const char *problem = nullptr;
    const std::string badPort = "bad port '" + options.portText + "': 0..65535, 0 for a free one";
    if (options.port < 0)
        problem = badPort.c_str();
    else if (options.networkOptions > 1)
        problem = "--tcp and --rtu-over-tcp exclude each other";
    else if (options.network && !options.device.empty())
        problem = "--device is for a serial line, not with --tcp or --rtu-over-tcp";
    else if (options.network && options.paceGiven)
        problem = "--pace keeps a serial line's time, not with --tcp or --rtu-over-tcp";
    else if (options.framing == Framing::Tcp && options.network && server.badCrc)
        problem = "--bad-crc needs a CRC: Modbus TCP has none (use --rtu-over-tcp)";
    else if (server.wrongTransaction && !(options.network && options.framing == Framing::Tcp))
        problem = "--wrong-transaction needs --tcp: only Modbus TCP has transaction ids";
    else if (!options.network && (server.resetAfter >= 0 || server.acceptSilent))
        problem = "--reset-after and --accept-silent need --tcp or --rtu-over-tcp";
    if (problem)
        fprintf(stderr, "simdriver: %s\n", problem);
    return problem == nullptr;
}

bool openLine(const Options &options, SerialLine &line)
{
    if (options.device.empty())
        return openPseudoTerminal(line);
    return openDevice(options.device, options.server.baud, line);
}

void logStart(const Options &options, const RegisterMap &map, const std::string &where)
{
    fprintf(stderr, "simdriver: slave %d, %zu registers from %s, on %s\n",
            options.server.slaveAddress, map.defaultValues.size(), options.mapFile.c_str(), where.c_str());
    for (int other : options.server.otherAddresses)
        fprintf(stderr, "simdriver: slave %d too, with registers of its own\n", other);
}

// The exit status of serving over TCP.
int serveOverTcp(const Options &options, const RegisterMap &map, int stopFd)
{
    int port = 0;
    const int listenFd = stopFd < 0 ? -1 : listenOnLoopback(options.port, port);
    if (listenFd < 0) {
        fprintf(stderr, "simdriver: cannot listen on 127.0.0.1:%d: %s\n", options.port, strerror(errno));
        return 1;
    }
    // A client that goes while a reply is being written must not end the simulator.
    signal(SIGPIPE, SIG_IGN);
    const std::string where = "127.0.0.1:" + std::to_string(port);
    printf("%s\n", where.c_str());
    fflush(stdout);
    logStart(options, map, where + (options.framing == Framing::Tcp ? " (Modbus TCP)" : " (RTU over TCP)"));
    const bool served = serveConnections(listenFd, options.framing, map, options.server, stopFd);
    close(listenFd);
    close(stopFd);
    return served ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        printUsage(stderr);
        return 2;
    }
    if (!consistent(options))
        return 1;
    const std::optional<RegisterMap> map = readRegisterMap(options.mapFile);
    if (!map) {
        fprintf(stderr, "simdriver: cannot read the register map %s: %s\n",
                options.mapFile.c_str(), strerror(errno));
        return 1;
    }
    options.server.slaveAddress = slaveAddressFor(options, *map);
    if (options.server.slaveAddress == 0) {
        fprintf(stderr, "simdriver: slaveAddress '%s' in %s is not 1..247; use --address\n",
                map->slaveAddressText->c_str(), options.mapFile.c_str());
        return 1;
    }
    std::set<int> slaves = options.server.otherAddresses;
    slaves.insert(options.server.slaveAddress);
    for (const Preset &preset : options.server.presets) {
        if (map->defaultValues.count(preset.address) == 0 || (preset.slave && !slaves.count(preset.slave))) {
            fprintf(stderr, "simdriver: --set %d:0x%04X: no such driver or register\n", preset.slave, preset.address);
            return 1;
        }
    }
    if (options.server.alarmSlave && !slaves.count(options.server.alarmSlave)) {
        fprintf(stderr, "simdriver: --alarm %d:...: no such driver\n", options.server.alarmSlave);
        return 1;
    }
    const int stopFd = stopSignalDescriptor();
    if (options.network)
        return serveOverTcp(options, *map, stopFd);
    SerialLine line;
    if (stopFd < 0 || !openLine(options, line)) {
        fprintf(stderr, "simdriver: cannot open %s: %s\n",
                options.device.empty() ? "a pseudo-terminal" : options.device.c_str(),
                strerror(errno));
        closeLine(line);
        return 1;
    }
    printf("%s\n", line.path.c_str());
    fflush(stdout);
    logStart(options, *map, line.path);
    const bool served = serve(line, *map, options.server, stopFd);
    closeLine(line);
    close(stopFd);
    return served ? 0 : 1;
}

#include "server.h"

#include "drivermotor.h"
#include "listener.h"

#include <modbus.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Server
{
    // The serial line, or the connected client; -1: none.
    int fd;
    Framing framing;
    const RegisterMap &map;
    const ServerSettings &settings;
    int stopFd;
    // The registers of the driver whose request is being answered.
    modbus_mapping_t *registers = nullptr;
    modbus_t *ctx = nullptr;
    // Every driver's registers by slave address.
    std::map<int, modbus_mapping_t *> drivers;
    int answered = 0;
    bool owedSent = false;
    bool lateWriteDone = false;
    int stopsLost = 0;
    // When the last reply's last byte was complete on the line; -1: no reply yet.
    int64_t lastReplyEndNs = -1;
    std::vector<int64_t> silencesNs;
    // When the alarm is due; -1: none pending.
    int64_t alarmDueNs = -1;
    // Replies sent, for --reset-after, and whether that reset has been made.
    int replies = 0;
    bool resetDone = false;
    // The client's connection is to be reset instead of served further.
    bool dropConnection = false;
    // Each driver's motor by slave address, when the map has motion rows.
    std::map<int, DriverMotor> motors;
};

uint16_t wordAt(const uint8_t *bytes)
{
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

// Waits up to ms milliseconds for a stop signal; true when one came.
bool waitForStop(int stopFd, int ms)
{
    struct pollfd stop = {stopFd, POLLIN, 0};
    return poll(&stop, 1, ms) > 0;
}

int64_t monotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Waits until the monotonic clock reads dueNs, to the microsecond that a
// byte time at high rates needs; true when a stop signal came first.
bool stopCameBefore(int stopFd, int64_t dueNs)
{
    for (int64_t left; (left = dueNs - monotonicNs()) > 0;) {
        const timespec timeout = {time_t(left / 1000000000), long(left % 1000000000)};
        struct pollfd stop = {stopFd, POLLIN, 0};
        const int ready = ppoll(&stop, 1, &timeout, nullptr);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
    return false;
}

// Ten bits a byte: start, eight data bits, stop.
int64_t byteNs(const ServerSettings &settings)
{
    return 10 * int64_t(1000000000) / settings.baud;
}

// libmodbus only frames on the descriptor: it never opens or connects it.
modbus_t *newContext(int fd, Framing framing, const ServerSettings &settings, int slave)
{
    modbus_t *ctx = framing == Framing::Tcp ? modbus_new_tcp("127.0.0.1", 0)
                                            : modbus_new_rtu("/dev/null", settings.baud, 'N', 8, 1);
    if (ctx && (modbus_set_slave(ctx, slave) != 0
                || modbus_set_socket(ctx, fd) != 0)) {
        modbus_free(ctx);
        return nullptr;
    }
    return ctx;
}

// One block from the lowest to the highest listed address: libmodbus needs a
// contiguous table, and the few unlisted addresses inside it are refused
// before libmodbus sees the request.
modbus_mapping_t *newRegisters(const RegisterMap &map)
{
    const auto &values = map.defaultValues;
    const int first = values.empty() ? 0 : values.begin()->first;
    const int count = values.empty() ? 0 : values.rbegin()->first - first + 1;
    modbus_mapping_t *registers = modbus_mapping_new_start_address(0, 0, 0, 0, first, count, 0, 0);
    if (!registers)
        return nullptr;
    for (const auto &[address, value] : values)
        registers->tab_registers[address - first] = value;
    return registers;
}

bool allListed(const Server &server, int address, int count)
{
    for (int a = address; a < address + count; ++a) {
        if (a > 0xFFFF || server.map.defaultValues.count(static_cast<uint16_t>(a)) == 0)
            return false;
    }
    return true;
}

uint16_t servedValue(const Server &server, int address)
{
    return server.registers->tab_registers[address - server.registers->start_registers];
}

void setServed(Server &server, int address, uint16_t value)
{
    if (allListed(server, address, 1))
        server.registers->tab_registers[address - server.registers->start_registers] = value;
}

// With several drivers on the line, each line of the log names the one.
const char *speaker(const Server &server)
{
    static char text[32];
    if (server.drivers.size() < 2)
        return "simdriver: ";
    snprintf(text, sizeof text, "simdriver: slave %d ", modbus_get_slave(server.ctx));
    return text;
}

// Runs `act` with each driver's registers current (slave 0: every driver).
template <typename Act>
void forEachDriver(Server &server, int slave, Act act)
{
    for (const auto &[address, registers] : server.drivers) {
        if ((slave == 0 || slave == address) && registers) {
            server.registers = registers;
            act(address);
        }
    }
}

void setAlarm(Server &server, int code, int slave)
{
    const RegisterMap &map = server.map;
    if (map.alarmAddress >= 0)
        setServed(server, map.alarmAddress, static_cast<uint16_t>(code));
    if (map.statusAddress >= 0 && map.alarmBit >= 0 && map.alarmBit < 16) {
        const uint16_t bit = static_cast<uint16_t>(1u << map.alarmBit);
        const uint16_t status = servedValue(server, map.statusAddress);
        setServed(server, map.statusAddress, code ? status | bit : status & ~bit);
    }
    fprintf(stderr, "simdriver: slave %d alarm %d\n", slave, code);
}

void factoryReset(Server &server)
{
    for (uint16_t address : server.map.settingRows) {
        setServed(server, address, server.map.defaultValues.at(address));
        if (server.map.wideRegisters.count(address) && address < 0xFFFF)
            setServed(server, address + 1, server.map.defaultValues.at(static_cast<uint16_t>(address + 1)));
    }
}

// What the driver does on a write to a command register.
void actOnCommand(Server &server, int address, uint16_t value)
{
    const auto row = server.map.commands.find(static_cast<uint16_t>(address));
    if (row == server.map.commands.end())
        return;
    const auto command = row->second.find(value);
    if (command == row->second.end())
        return;
    fprintf(stderr, "%scommand %s\n", speaker(server), command->second.name.c_str());
    const auto motor = server.motors.find(modbus_get_slave(server.ctx));
    switch (command->second.effect) {
    case Command::Effect::StartMove:
    case Command::Effect::Stop:
        if (motor != server.motors.end())
            motor->second.takeCommand(command->second.effect, server.registers);
        break;
    case Command::Effect::ClearAlarm: setAlarm(server, 0, modbus_get_slave(server.ctx)); break;
    case Command::Effect::Save: fprintf(stderr, "simdriver: saved to memory\n"); break;
    case Command::Effect::FactoryReset: factoryReset(server); fprintf(stderr, "simdriver: factory settings\n"); break;
    }
}

void actOnWrites(Server &server, const uint8_t *pdu)
{
    const int address = wordAt(pdu + 1);
    const bool single = pdu[0] == MODBUS_FC_WRITE_SINGLE_REGISTER;
    if (!single && pdu[0] != MODBUS_FC_WRITE_MULTIPLE_REGISTERS)
        return;
    const int count = single ? 1 : wordAt(pdu + 3);
    const auto motor = server.motors.find(modbus_get_slave(server.ctx));
    if (motor != server.motors.end())
        motor->second.takeWrite(address, count, server.registers);
    for (int i = 0; i < count; ++i)
        actOnCommand(server, address + i, single ? wordAt(pdu + 3) : wordAt(pdu + 6 + 2 * i));
}

// Runs the motor of the driver being answered up to now, and counts the
// request as the sign of life the comm-loss stop waits for.
void noteRequestForMotor(Server &server)
{
    const int slave = modbus_get_slave(server.ctx);
    const auto motor = server.motors.find(slave);
    if (motor == server.motors.end())
        return;
    const int64_t now = monotonicNs();
    motor->second.advanceTo(now, server.registers, [&](int code) { setAlarm(server, code, slave); });
    motor->second.noteValidRequest(now);
}

bool refusesWrite(const Server &server, int address, int count)
{
    const int slave = modbus_get_slave(server.ctx);
    for (const Preset &refused : server.settings.refusedWrites) {
        if ((refused.slave == 0 || refused.slave == slave) && refused.address >= address
            && refused.address < address + count)
            return true;
    }
    return false;
}

// The exception a request gets, or 0 when it may go to libmodbus. Value
// checks come before address checks, in the order libmodbus makes them.
int exceptionFor(const Server &server, const uint8_t *pdu)
{
    const int address = wordAt(pdu + 1);
    const int count = wordAt(pdu + 3);
    if (pdu[0] == server.settings.refusedFunction)
        return MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
    switch (pdu[0]) {
    case MODBUS_FC_READ_HOLDING_REGISTERS:
        if (count < 1 || count > MODBUS_MAX_READ_REGISTERS)
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        if (server.settings.writeOnly.lower_bound(address) != server.settings.writeOnly.lower_bound(address + count))
            return MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
        return allListed(server, address, count) ? 0 : MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        if (refusesWrite(server, address, 1))
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        return allListed(server, address, 1) ? 0 : MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        if (count < 1 || count > MODBUS_MAX_WRITE_REGISTERS || pdu[5] != 2 * count || refusesWrite(server, address, count))
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        return allListed(server, address, count) ? 0 : MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
    case MODBUS_FC_MASK_WRITE_REGISTER:
    case MODBUS_FC_WRITE_AND_READ_REGISTERS:
        // These would reach the unlisted addresses inside the table.
        return MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
    default:
        return 0;
    }
}

// A 32-bit register's value from the words written for it.
long long wideValue(const WideRegister &wide, uint16_t atAddress, uint16_t atNext)
{
    const uint32_t high = wide.lowWordFirst ? atNext : atAddress;
    const uint32_t low = wide.lowWordFirst ? atAddress : atNext;
    const uint32_t value = high << 16 | low;
    return wide.isSigned ? static_cast<long long>(static_cast<int32_t>(value)) : static_cast<long long>(value);
}

// Each 32-bit register that a function-16 write sets whole, with its value.
void logWideWrites(const Server &server, const uint8_t *pdu)
{
    const int address = wordAt(pdu + 1);
    const int count = wordAt(pdu + 3);
    for (const auto &[first, wide] : server.map.wideRegisters) {
        const int offset = first - address;
        if (offset < 0 || offset + 2 > count)
            continue;
        fprintf(stderr, "simdriver: 32-bit 0x%04X <- %lld\n", first,
                wideValue(wide, wordAt(pdu + 6 + 2 * offset), wordAt(pdu + 8 + 2 * offset)));
    }
}

// A driver sees half a value when a write sets one word of a 32-bit register.
void logHalfWrites(const Server &server, int address, int count)
{
    for (const auto &[first, wide] : server.map.wideRegisters) {
        const bool firstWritten = first >= address && first < address + count;
        const bool nextWritten = first + 1 >= address && first + 1 < address + count;
        if (firstWritten != nextWritten)
            fprintf(stderr, "simdriver: half of 32-bit 0x%04X written\n", first);
    }
}

void logServed(const Server &server, const uint8_t *pdu)
{
    const int address = wordAt(pdu + 1);
    const int count = wordAt(pdu + 3);
    const char *const who = speaker(server);
    switch (pdu[0]) {
    case MODBUS_FC_READ_HOLDING_REGISTERS:
        fprintf(stderr, "%sread 0x%04X x%d ->", who, address, count);
        for (int a = address; a < address + count; ++a)
            fprintf(stderr, " %d", servedValue(server, a));
        fprintf(stderr, "\n");
        break;
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        fprintf(stderr, "%swrite 0x%04X <- %d\n", who, address, wordAt(pdu + 3));
        logHalfWrites(server, address, 1);
        break;
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        fprintf(stderr, "%swrite multiple 0x%04X x%d\n", who, address, count);
        for (int i = 0; i < count; ++i)
            fprintf(stderr, "%swrite 0x%04X <- %d\n", who, address + i, wordAt(pdu + 6 + 2 * i));
        logWideWrites(server, pdu);
        logHalfWrites(server, address, count);
        break;
    default:
        fprintf(stderr, "%sfunction 0x%02X answered by libmodbus\n", who, pdu[0]);
    }
}

uint16_t crc16(const uint8_t *bytes, size_t size)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// libmodbus writes its reply into a socket pair instead of onto the line, so
// that the fault options can change it on the way out. A socket, since
// libmodbus sends Modbus TCP with send(), which a pipe refuses.
template <typename Reply>
std::vector<uint8_t> capturedReply(const Server &server, Reply reply)
{
    int pipeFds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0)
        return {};
    modbus_set_socket(server.ctx, pipeFds[1]);
    reply();
    modbus_set_socket(server.ctx, server.fd);
    std::vector<uint8_t> bytes(MODBUS_TCP_MAX_ADU_LENGTH);
    const ssize_t size = read(pipeFds[0], bytes.data(), bytes.size());
    bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
    close(pipeFds[0]);
    close(pipeFds[1]);
    return bytes;
}

void appendCrc(std::vector<uint8_t> &frame)
{
    const uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

// The slave address before the PDU, or the whole MBAP header.
size_t headerSize(const Server &server)
{
    return static_cast<size_t>(modbus_get_header_length(server.ctx));
}

// The CRC after the PDU; Modbus TCP has none.
size_t trailerSize(const Server &server)
{
    return server.framing == Framing::Rtu ? 2 : 0;
}

// A frame's header and PDU made whole: RTU gets its CRC, Modbus TCP the
// MBAP length (unit id and PDU).
void finishFrame(const Server &server, std::vector<uint8_t> &frame)
{
    if (server.framing == Framing::Rtu) {
        appendCrc(frame);
        return;
    }
    const size_t length = frame.size() - 6;
    frame[4] = static_cast<uint8_t>(length >> 8);
    frame[5] = static_cast<uint8_t>(length & 0xFF);
}

// The header of `frame` followed by `pdu`, made whole.
std::vector<uint8_t> reframed(const Server &server, const std::vector<uint8_t> &frame, std::vector<uint8_t> pdu)
{
    std::vector<uint8_t> result(frame.begin(), frame.begin() + static_cast<long>(headerSize(server)));
    result.insert(result.end(), pdu.begin(), pdu.end());
    finishFrame(server, result);
    return result;
}

// Well-formed replies that answer something else than was asked.
void misshape(const Server &server, const uint8_t *pdu, std::vector<uint8_t> &reply)
{
    const size_t header = headerSize(server);
    if (reply.size() < header + 3 || (reply[header] & 0x80))
        return;
    const int address = wordAt(pdu + 1);
    const int count = wordAt(pdu + 3);
    const bool read = pdu[0] == MODBUS_FC_READ_HOLDING_REGISTERS;
    const uint16_t value = read ? servedValue(server, address) : 0;
    if (server.settings.wrongKind && read)
        reply = reframed(server, reply, {MODBUS_FC_WRITE_SINGLE_REGISTER, pdu[1], pdu[2], uint8_t(value >> 8), uint8_t(value)});
    else if (server.settings.wrongKind)
        reply = reframed(server, reply, {MODBUS_FC_READ_HOLDING_REGISTERS, 2, pdu[3], pdu[4]});
    else if (server.settings.shortRead && read && count > 1)
        reply = reframed(server, reply, {MODBUS_FC_READ_HOLDING_REGISTERS, 2, uint8_t(value >> 8), uint8_t(value)});
}

void applyFaults(const Server &server, std::vector<uint8_t> &reply)
{
    const ServerSettings &settings = server.settings;
    const size_t header = headerSize(server);
    if (reply.size() < header + trailerSize(server) + 1)
        return;
    if (settings.replyAddress >= 0) {
        reply[header - 1] = static_cast<uint8_t>(settings.replyAddress);
        reply.resize(reply.size() - trailerSize(server));
        finishFrame(server, reply);
    }
    if (settings.badCrc)
        reply.back() ^= 0xFF;
    if (settings.wrongTransaction) {
        const uint16_t asked = wordAt(reply.data());
        const uint16_t answered = static_cast<uint16_t>(asked + 1);
        reply[0] = static_cast<uint8_t>(answered >> 8);
        reply[1] = static_cast<uint8_t>(answered & 0xFF);
        fprintf(stderr, "simdriver: transaction %d answered as %d\n", asked, answered);
    }
}

// Byte i goes out when it would be complete on the line, after i gaps of
// --byte-gap silence. Bytes already due leave in one write, so that a late
// wake-up does not stretch the whole reply.
bool sendPaced(Server &server, const std::vector<uint8_t> &reply, int64_t startNs)
{
    const int64_t byte = byteNs(server.settings);
    const int64_t gap = int64_t(server.settings.byteGapMs) * 1000000;
    const auto dueNs = [&](size_t i) { return startNs + int64_t(i + 1) * byte + int64_t(i) * gap; };
    for (size_t sent = 0, end; sent < reply.size(); sent = end) {
        if (stopCameBefore(server.stopFd, dueNs(sent)))
            return false;
        const int64_t now = monotonicNs();
        for (end = sent + 1; end < reply.size() && dueNs(end) <= now; ++end) {}
        if (write(server.fd, &reply[sent], end - sent) != static_cast<ssize_t>(end - sent))
            return false;
        // The last byte's wire time, or later when the write came late: the
        // master cannot have seen it before.
        server.lastReplyEndNs = now;
    }
    return true;
}

// Paced from the request's end on the line, in one write, or byte by byte;
// false when a stop signal came meanwhile.
bool sendOnLine(Server &server, const std::vector<uint8_t> &reply, int64_t requestEndNs)
{
    const ServerSettings &settings = server.settings;
    if (settings.pace)
        return sendPaced(server, reply,
                         requestEndNs + int64_t(settings.turnaroundMs + settings.delayMs) * 1000000);
    if (server.settings.byteGapMs <= 0) {
        // Unpaced, the whole reply is there at once.
        server.lastReplyEndNs = monotonicNs();
        return write(server.fd, reply.data(), reply.size()) == static_cast<ssize_t>(reply.size());
    }
    for (size_t i = 0; i < reply.size(); ++i) {
        if (i > 0 && waitForStop(server.stopFd, server.settings.byteGapMs))
            return false;
        server.lastReplyEndNs = monotonicNs();
        if (write(server.fd, &reply[i], 1) != 1)
            return false;
    }
    return true;
}

// The second device's copy: the line's last activity before the next request.
void sendRepeat(Server &server, const std::vector<uint8_t> &reply)
{
    server.lastReplyEndNs = monotonicNs();
    if (write(server.fd, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
        fprintf(stderr, "simdriver: repeated reply not sent in full\n");
}

// The reply an earlier read, one register further on, would have had (over
// Modbus TCP, to the transaction before). False when `request` is no read.
bool sendOwedReply(Server &server, const uint8_t *request, int length)
{
    server.owedSent = true;
    const size_t header = headerSize(server);
    if (size_t(length) < header + 5 || request[header] != 3)
        return false;
    std::vector<uint8_t> earlier(request, request + length - trailerSize(server));
    const uint16_t address = static_cast<uint16_t>(wordAt(&earlier[header + 1]) + 1);
    earlier[header + 1] = static_cast<uint8_t>(address >> 8);
    earlier[header + 2] = static_cast<uint8_t>(address & 0xFF);
    if (server.framing == Framing::Tcp) {
        const uint16_t transaction = static_cast<uint16_t>(wordAt(earlier.data()) - 1);
        earlier[0] = static_cast<uint8_t>(transaction >> 8);
        earlier[1] = static_cast<uint8_t>(transaction & 0xFF);
    }
    if (server.framing == Framing::Rtu)
        appendCrc(earlier);
    std::vector<uint8_t> reply = capturedReply(server, [&] {
        modbus_reply(server.ctx, earlier.data(), static_cast<int>(earlier.size()), server.registers);
    });
    fprintf(stderr, "simdriver: owed reply for address 0x%04X sent first\n", address);
    if (write(server.fd, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
        fprintf(stderr, "simdriver: owed reply not sent in full\n");
    return true;
}

// --reset-after: true when this request is the one to reset the connection on.
bool resetsNow(Server &server)
{
    if (server.settings.resetAfter < 0 || server.resetDone || server.replies < server.settings.resetAfter)
        return false;
    server.resetDone = true;
    server.dropConnection = true;
    fprintf(stderr, "simdriver: connection reset after %d replies\n", server.replies);
    return true;
}

// --lose-stops: true when this request stops the motor and is one to lose.
bool losesStop(Server &server, const uint8_t *pdu)
{
    if (server.stopsLost >= server.settings.loseStops || pdu[0] != MODBUS_FC_WRITE_SINGLE_REGISTER)
        return false;
    const int address = wordAt(pdu + 1);
    const int value = wordAt(pdu + 3);
    const auto row = server.map.commands.find(static_cast<uint16_t>(address));
    const bool stopCommand = row != server.map.commands.end() && row->second.count(static_cast<uint16_t>(value))
                             && row->second.at(static_cast<uint16_t>(value)).effect == Command::Effect::Stop;
    if (!stopCommand && (address != server.map.motion.jog || value != 0))
        return false;
    ++server.stopsLost;
    fprintf(stderr, "simdriver: stop lost on the line: write 0x%04X <- %d\n", address, value);
    return true;
}

void answer(Server &server, const uint8_t *request, int length, int64_t requestEndNs)
{
    if (resetsNow(server) || losesStop(server, request + headerSize(server)))
        return;
    noteRequestForMotor(server);
    if (server.settings.owedReply && !server.owedSent && sendOwedReply(server, request, length)
        && server.settings.owedInstead) {
        fprintf(stderr, "simdriver: busy, no reply of its own to that read\n");
        return;
    }
    const uint8_t *pdu = request + headerSize(server);
    const int silentAfter = server.settings.silentAfter;
    if (server.settings.silent || (silentAfter >= 0 && server.answered++ >= silentAfter)) {
        fprintf(stderr, "simdriver: silent, no reply to function %d address 0x%04X\n", pdu[0],
                wordAt(pdu + 1));
        return;
    }
    const int exception = server.settings.exceptionCode ? server.settings.exceptionCode
                                                        : exceptionFor(server, pdu);
    if (exception)
        fprintf(stderr, "%sexception 0x%02X for function %d address 0x%04X\n", speaker(server), exception,
                pdu[0], wordAt(pdu + 1));
    else
        logServed(server, pdu);
    // Paced replies take the delay into their schedule.
    if (!server.settings.pace && server.settings.delayMs > 0
        && waitForStop(server.stopFd, server.settings.delayMs))
        return;
    if (server.settings.lateWriteMs > 0 && !server.lateWriteDone
        && (pdu[0] == MODBUS_FC_WRITE_SINGLE_REGISTER || pdu[0] == MODBUS_FC_WRITE_MULTIPLE_REGISTERS)) {
        server.lateWriteDone = true;
        fprintf(stderr, "simdriver: reply to the write to 0x%04X comes %d ms late\n", wordAt(pdu + 1),
                server.settings.lateWriteMs);
        if (waitForStop(server.stopFd, server.settings.lateWriteMs))
            return;
    }
    if (pdu[-1] == MODBUS_BROADCAST_ADDRESS && exception)
        return;
    std::vector<uint8_t> reply = capturedReply(server, [&] {
        if (exception)
            modbus_reply_exception(server.ctx, request, static_cast<unsigned int>(exception));
        else
            modbus_reply(server.ctx, request, length, server.registers);
    });
    if (!exception)
        actOnWrites(server, pdu);
    misshape(server, pdu, reply);
    applyFaults(server, reply);
    server.replies += reply.empty() ? 0 : 1;
    if (!reply.empty() && !sendOnLine(server, reply, requestEndNs))
        fprintf(stderr, "simdriver: reply not sent in full\n");
    else if (!reply.empty() && server.settings.repeatMs > 0 && !waitForStop(server.stopFd, server.settings.repeatMs))
        sendRepeat(server, reply);
}

// libmodbus takes the frame after a request for another slave to be that
// slave's reply and drops it. With no other slave on the line that frame is
// the tool's next request, so start again with a fresh context instead.
void forgetOtherSlave(Server &server)
{
    modbus_t *fresh = newContext(server.fd, server.framing, server.settings, modbus_get_slave(server.ctx));
    if (!fresh)
        return;
    modbus_free(server.ctx);
    server.ctx = fresh;
}

uint16_t crc16(const uint8_t *bytes, int length)
{
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// The length of a request libmodbus left to another slave (it reads the
// whole frame before it looks at the address), when its CRC holds; 0 for a
// function this driver does not know.
int wholeFrame(const uint8_t *request)
{
    int length = 0;
    if (request[1] == MODBUS_FC_READ_HOLDING_REGISTERS || request[1] == MODBUS_FC_WRITE_SINGLE_REGISTER)
        length = 8;
    else if (request[1] == MODBUS_FC_WRITE_MULTIPLE_REGISTERS)
        length = 9 + request[6];
    if (length == 0 || length > MODBUS_RTU_MAX_ADU_LENGTH)
        return 0;
    const uint16_t crc = crc16(request, length - 2);
    return request[length - 2] == (crc & 0xFF) && request[length - 1] == (crc >> 8) ? length : 0;
}

// Another driver of the line answers from now on: a fresh context, since
// libmodbus would take that driver's next request for a reply.
void switchDriver(Server &server, int slave)
{
    modbus_t *fresh = newContext(server.fd, server.framing, server.settings, slave);
    if (!fresh)
        return;
    modbus_free(server.ctx);
    server.ctx = fresh;
    server.registers = server.drivers[slave];
}

// Requests before any reply have no silence to measure.
void noteSilence(Server &server, int64_t arrivedNs)
{
    if (server.lastReplyEndNs < 0)
        return;
    const int64_t silenceNs = arrivedNs - server.lastReplyEndNs;
    server.silencesNs.push_back(silenceNs);
    fprintf(stderr, "simdriver: silence %.3f ms before request %zu\n", silenceNs / 1e6,
            server.silencesNs.size() + 1);
}

void summarizeSilences(std::vector<int64_t> silencesNs)
{
    if (silencesNs.empty()) {
        fprintf(stderr, "simdriver: silence: no request after a reply\n");
        return;
    }
    std::sort(silencesNs.begin(), silencesNs.end());
    const size_t n = silencesNs.size();
    const double medianNs = n % 2 ? silencesNs[n / 2] : (silencesNs[n / 2 - 1] + silencesNs[n / 2]) / 2.0;
    fprintf(stderr, "simdriver: silence before %zu requests: shortest %.3f ms, median %.3f ms\n", n,
            silencesNs.front() / 1e6, medianNs / 1e6);
}

// Modbus TCP carries the slave address as the unit id, and libmodbus
// answers any: the request goes to the driver it names, as on a bus, and
// one for no driver here goes unanswered.
void answerUnit(Server &server, const uint8_t *request, int length, int64_t requestEndNs)
{
    const int unit = request[headerSize(server) - 1];
    if (!server.drivers.count(unit)) {
        fprintf(stderr, "simdriver: ignored request for slave %d\n", unit);
        return;
    }
    modbus_set_slave(server.ctx, unit);
    server.registers = server.drivers[unit];
    answer(server, request, length, requestEndNs);
}

// arrivedNs: when the request's first bytes were seen. A pseudo-terminal
// hands over a whole write at once; on a real line its last byte would come
// length byte times later.
void receiveOne(Server &server, int64_t arrivedNs)
{
    if (server.settings.logSilence)
        noteSilence(server, arrivedNs);
    // Zeroed, so that the address and count of a short request read as 0.
    uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH] = {};
    const int length = modbus_receive(server.ctx, request);
    const int64_t endNs = std::max(arrivedNs + std::max(length, 0) * byteNs(server.settings), monotonicNs());
    if (length > 0 && server.framing == Framing::Tcp)
        answerUnit(server, request, length, endNs);
    else if (length > 0)
        answer(server, request, length, endNs);
    else if (length == 0 && server.drivers.count(request[0]) && wholeFrame(request) > 0) {
        switchDriver(server, request[0]);
        answer(server, request, wholeFrame(request),
               std::max(arrivedNs + wholeFrame(request) * byteNs(server.settings), monotonicNs()));
    } else if (length == 0) {
        fprintf(stderr, "simdriver: ignored request for slave %d\n", request[0]);
        forgetOtherSlave(server);
    } else {
        // A broken frame: drop what follows it, after a pause that also keeps
        // a failing line from spinning.
        fprintf(stderr, "simdriver: receive failed: %s\n", modbus_strerror(errno));
        waitForStop(server.stopFd, 100);
        modbus_flush(server.ctx);
    }
}

// Every driver's registers, presets and a pending alarm; false, after saying
// why, when libmodbus cannot be set up.
bool setUp(Server &server)
{
    const ServerSettings &settings = server.settings;
    server.ctx = newContext(server.fd, server.framing, settings, settings.slaveAddress);
    std::set<int> slaves = settings.otherAddresses;
    slaves.insert(settings.slaveAddress);
    bool ready = server.ctx != nullptr;
    for (int slave : slaves) {
        server.drivers[slave] = newRegisters(server.map);
        ready = ready && server.drivers[slave];
    }
    if (!ready) {
        fprintf(stderr, "simdriver: libmodbus could not be set up: %s\n", modbus_strerror(errno));
        return false;
    }
    for (const Preset &preset : settings.presets)
        forEachDriver(server, preset.slave, [&](int) { setServed(server, preset.address, preset.value); });
    if (server.map.motion.any()) {
        for (int slave : slaves)
            server.motors.emplace(slave, DriverMotor(server.map, slave, settings.stallAfterMs, monotonicNs()));
    }
    server.registers = server.drivers[settings.slaveAddress];
    if (settings.alarmCode)
        server.alarmDueNs = monotonicNs() + int64_t(settings.alarmAfterMs) * 1000000;
    return true;
}

void tearDown(Server &server)
{
    if (server.settings.logSilence)
        summarizeSilences(server.silencesNs);
    for (const auto &driver : server.drivers)
        if (driver.second)
            modbus_mapping_free(driver.second);
    if (server.ctx)
        modbus_free(server.ctx);
}

// Goes into alarm when it is due; the poll timeout that wakes for it (-1: none).
int alarmTimeoutMs(Server &server)
{
    if (server.alarmDueNs >= 0 && monotonicNs() >= server.alarmDueNs) {
        modbus_mapping_t *const current = server.registers;
        const ServerSettings &settings = server.settings;
        forEachDriver(server, settings.alarmSlave, [&](int slave) { setAlarm(server, settings.alarmCode, slave); });
        server.registers = current;
        server.alarmDueNs = -1;
    }
    return server.alarmDueNs < 0 ? -1 : int((server.alarmDueNs - monotonicNs()) / 1000000 + 1);
}

// Runs every moving motor up to now; how long until one must run again
// (-1: none moves).
int motorTimeoutMs(Server &server)
{
    modbus_mapping_t *const current = server.registers;
    const int64_t now = monotonicNs();
    int timeoutMs = -1;
    for (auto &[slave, motor] : server.motors) {
        server.registers = server.drivers[slave];
        motor.advanceTo(now, server.registers, [&, slave = slave](int code) { setAlarm(server, code, slave); });
        const int wakeMs = motor.wakeWithinMs(now, server.registers);
        if (wakeMs >= 0)
            timeoutMs = timeoutMs < 0 ? wakeMs : std::min(timeoutMs, wakeMs);
    }
    server.registers = current;
    return timeoutMs;
}

// The poll timeout that wakes for a due alarm or a moving motor (-1: none).
int wakeTimeoutMs(Server &server)
{
    const int alarmMs = alarmTimeoutMs(server);
    const int motorMs = motorTimeoutMs(server);
    if (alarmMs < 0 || motorMs < 0)
        return std::max(alarmMs, motorMs);
    return std::min(alarmMs, motorMs);
}

// The connected client from now on, in a fresh context.
void takeClient(Server &server, int fd)
{
    server.fd = fd;
    server.dropConnection = false;
    modbus_t *fresh = newContext(fd, server.framing, server.settings, server.settings.slaveAddress);
    if (fresh) {
        modbus_free(server.ctx);
        server.ctx = fresh;
    }
    server.registers = server.drivers[server.settings.slaveAddress];
}

void dropClient(Server &server, bool reset)
{
    if (reset)
        closeWithReset(server.fd);
    else {
        close(server.fd);
        fprintf(stderr, "simdriver: connection closed\n");
    }
    server.fd = -1;
    modbus_set_socket(server.ctx, -1);
}

// Waits for a client (or a stop signal) and takes it; false on a stop signal.
bool acceptNext(Server &server, int listenFd)
{
    struct pollfd watched[] = {{listenFd, POLLIN, 0}, {server.stopFd, POLLIN, 0}};
    const int events = poll(watched, 2, wakeTimeoutMs(server));
    if (events < 0 && errno == EINTR)
        return true;
    if (events < 0 || watched[1].revents)
        return false;
    if (!(watched[0].revents & POLLIN))
        return true;
    std::string peer;
    const int fd = acceptClient(listenFd, peer);
    if (fd < 0) {
        fprintf(stderr, "simdriver: accept failed: %s\n", strerror(errno));
        return !waitForStop(server.stopFd, 100);
    }
    fprintf(stderr, "simdriver: connection from %s\n", peer.c_str());
    takeClient(server, fd);
    return true;
}

// Serves the connected client's next request, or notices that it has gone;
// false on a stop signal. With --accept-silent nothing is read: only the
// peer's hang-up is watched for.
bool serveClient(Server &server)
{
    const short events = server.settings.acceptSilent ? POLLRDHUP : POLLIN;
    struct pollfd watched[] = {{server.fd, events, 0}, {server.stopFd, POLLIN, 0}};
    const int ready = poll(watched, 2, wakeTimeoutMs(server));
    if (ready < 0 && errno == EINTR)
        return true;
    if (ready < 0 || watched[1].revents)
        return false;
    const short seen = watched[0].revents;
    if ((seen & (POLLHUP | POLLERR | POLLRDHUP)) || ((seen & POLLIN) && peerClosed(server.fd)))
        dropClient(server, false);
    else if (seen & POLLIN)
        receiveOne(server, monotonicNs());
    if (server.fd >= 0 && server.dropConnection)
        dropClient(server, true);
    return true;
}

} // namespace

bool serve(const SerialLine &line, const RegisterMap &map, const ServerSettings &settings,
           int stopFd)
{
    Server server{line.fd, Framing::Rtu, map, settings, stopFd};
    bool ready = setUp(server);
    struct pollfd watched[] = {{line.fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    bool hungUp = false;
    while (ready) {
        const int events = poll(watched, 2, wakeTimeoutMs(server));
        if (events < 0 && errno == EINTR)
            continue;
        if (events < 0 || watched[1].revents)
            break;
        // A device whose other end has gone reports a hang-up on every poll.
        const bool lineDown = watched[0].revents & (POLLHUP | POLLERR);
        if (lineDown && !hungUp)
            fprintf(stderr, "simdriver: the line hung up; waiting for it\n");
        hungUp = lineDown;
        if (lineDown)
            waitForStop(stopFd, 200);
        else if (watched[0].revents & POLLIN)
            receiveOne(server, monotonicNs());
    }
    tearDown(server);
    return ready;
}

bool serveConnections(int listenFd, Framing framing, const RegisterMap &map, const ServerSettings &settings,
                      int stopFd)
{
    Server server{-1, framing, map, settings, stopFd};
    const bool ready = setUp(server);
    for (bool running = ready; running;)
        running = server.fd < 0 ? acceptNext(server, listenFd) : serveClient(server);
    if (server.fd >= 0)
        close(server.fd);
    tearDown(server);
    return ready;
}

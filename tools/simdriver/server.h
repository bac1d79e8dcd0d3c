#ifndef SIMDRIVER_SERVER_H
#define SIMDRIVER_SERVER_H

#include "mapfile.h"
#include "serialline.h"

#include <set>
#include <vector>

// A register that holds another value than the map's from the start.
struct Preset
{
    int slave = 0; // 0: every driver of the line
    uint16_t address = 0;
    uint16_t value = 0;
};

struct ServerSettings
{
    int slaveAddress = 1;
    // Further drivers on the same line, each with its own copy of the map's
    // registers, as on an RS-485 bus.
    std::set<int> otherAddresses;
    int baud = 9600;
    int delayMs = 0;
    // Read and log requests but never answer them.
    bool silent = false;
    // Answer this many requests, then fall silent; -1: never.
    int silentAfter = -1;
    // Faults put into every reply, for trying a master's error handling.
    int exceptionCode = 0; // answer every request with this exception; 0: none
    int refusedFunction = 0; // answer this function with exception 1; 0: none
    int replyAddress = -1; // send replies as this slave (CRC fixed up); -1: own
    bool badCrc = false; // flip the CRC's last byte
    int byteGapMs = 0; // send replies one byte at a time, this far apart
    bool wrongKind = false; // a read reply to a write, a write echo to a read
    bool shortRead = false; // answer a read of several registers with one
    std::set<int> writeOnly; // reads that take in one of these get exception 2, as a command register's do
    int repeatMs = 0; // send every reply again this much later, as a second device would; 0: once
    // Before the first read's reply, send the reply it would have had one
    // register further on: a reply still owed to an earlier request.
    bool owedReply = false;
    // ...and not its own: busy with that request, the driver ignored it.
    bool owedInstead = false;
    // Answer the first write (function 6 or 16) this much later than the
    // rest, once: an echo that comes after the master's timeout; 0: never.
    int lateWriteMs = 0;
    // Keep the time a real line at `baud` would take (10 bits a byte): the
    // reply starts turnaroundMs (+ delayMs) after the request's last byte
    // would have arrived, and each byte goes out when it would be complete.
    // byteGapMs is then idle time between those bytes.
    bool pace = false;
    int turnaroundMs = 1;
    // Log the silence before each request: from the moment the previous
    // reply's last byte was complete on the line to the request's first
    // byte, and the shortest and median at the end.
    bool logSilence = false;
    std::vector<Preset> presets;
    // Writes that take in one of these registers get exception 3 (illegal
    // data value); the preset's value is unused.
    std::vector<Preset> refusedWrites;
    // Go into alarm with this code (alarm row, status alarm bit), alarmAfterMs
    // after start, on driver alarmSlave (0: every driver); code 0: no alarm.
    int alarmCode = 0;
    int alarmAfterMs = 0;
    int alarmSlave = 0;
    // Over a network connection: answer each request with the transaction
    // id after its own (Modbus TCP only).
    bool wrongTransaction = false;
    // Answer this many requests, then reset the connection on the next one
    // instead of answering it; once. -1: never.
    int resetAfter = -1;
    // Accept connections but never read from them, as a half-open gateway.
    bool acceptSilent = false;
    // The motor's shaft stalls this long after each motion starts, so that
    // the following-error alarm comes; -1: never.
    int stallAfterMs = -1;
    // The first this many stops (the stop command, a jog speed of 0) are
    // lost on the line: neither obeyed nor answered.
    int loseStops = 0;
};

// How requests and replies are framed: RTU (slave address, PDU, CRC), on a
// serial line or carried over TCP, or Modbus TCP (MBAP header, PDU).
enum class Framing { Rtu, Tcp };

// Answers the requests that arrive on the line from the map's registers until
// stopFd (a signalfd for the stop signals) becomes readable. False, after
// saying why, when libmodbus cannot be set up.
bool serve(const SerialLine &line, const RegisterMap &map, const ServerSettings &settings,
           int stopFd);
// The same over TCP: serves one client at a time from listenFd (listening)
// until stopFd becomes readable, the drivers' registers kept from one
// connection to the next.
bool serveConnections(int listenFd, Framing framing, const RegisterMap &map, const ServerSettings &settings,
                      int stopFd);

#endif // SIMDRIVER_SERVER_H

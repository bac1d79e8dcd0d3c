#ifndef SIMDRIVER_SERVER_H
#define SIMDRIVER_SERVER_H

#include "mapfile.h"
#include "serialline.h"

struct ServerSettings
{
    int slaveAddress = 1;
    int baud = 9600;
    int delayMs = 0;
    // Read and log requests but never answer them.
    bool silent = false;
};

// Answers the requests that arrive on the line from the map's registers until
// stopFd (a signalfd for the stop signals) becomes readable. False, after
// saying why, when libmodbus cannot be set up.
bool serve(const SerialLine &line, const RegisterMap &map, const ServerSettings &settings,
           int stopFd);

#endif // SIMDRIVER_SERVER_H

#ifndef SIMDRIVER_SERIALLINE_H
#define SIMDRIVER_SERIALLINE_H

#include <string>

// The line the simulator serves on. libmodbus only frames requests on it:
// the simulator opens and closes the descriptor itself.
struct SerialLine
{
    int fd = -1;
    // For a pseudo-terminal of our own: its slave side, held open so that the
    // master never reads EIO while the tool has the port closed.
    int heldSlaveFd = -1;
    // The device given, or our pseudo-terminal's slave side for the tool to open.
    std::string path;
};

// Opens a raw pseudo-terminal; false (with errno set) when that fails.
bool openPseudoTerminal(SerialLine &line);
// Opens a serial device raw, at the given rate; false (with errno set) when that fails.
bool openDevice(const std::string &path, int baud, SerialLine &line);
void closeLine(SerialLine &line);

#endif // SIMDRIVER_SERIALLINE_H

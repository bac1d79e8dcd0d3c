#include "serialline.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// 8N1 without any line discipline. A baud of 0 keeps the current rate.
bool makeRaw(int fd, int baud)
{
    struct termios settings;
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    // glibc takes the rate as a number as well as a B constant.
    if (baud > 0 && cfsetspeed(&settings, static_cast<speed_t>(baud)) != 0)
        return false;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

bool openPseudoTerminal(SerialLine &line)
{
    line.fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line.fd < 0 || grantpt(line.fd) != 0 || unlockpt(line.fd) != 0)
        return false;
    const char *slavePath = ptsname(line.fd);
    if (!slavePath)
        return false;
    line.path = slavePath;
    line.heldSlaveFd = open(slavePath, O_RDWR | O_NOCTTY | O_CLOEXEC);
    return line.heldSlaveFd >= 0 && makeRaw(line.heldSlaveFd, 0);
}

bool openDevice(const std::string &path, int baud, SerialLine &line)
{
    line.path = path;
    line.fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    return line.fd >= 0 && makeRaw(line.fd, baud);
}

void closeLine(SerialLine &line)
{
    if (line.heldSlaveFd >= 0)
        close(line.heldSlaveFd);
    if (line.fd >= 0)
        close(line.fd);
    line.heldSlaveFd = line.fd = -1;
}

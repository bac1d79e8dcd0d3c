#include "listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

int listenOnLoopback(int port, int &boundPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(fd, 4) != 0
        || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    boundPort = ntohs(address.sin_port);
    return fd;
}

int acceptClient(int listenFd, std::string &peer)
{
    sockaddr_in address = {};
    socklen_t size = sizeof address;
    const int fd = accept4(listenFd, reinterpret_cast<sockaddr *>(&address), &size, SOCK_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    peer = std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
    return fd;
}

void closeWithReset(int fd)
{
    const linger abrupt = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
    close(fd);
}

bool peerClosed(int fd)
{
    char byte;
    const ssize_t size = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return size == 0 || (size < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

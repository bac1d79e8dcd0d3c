#ifndef SIMDRIVER_LISTENER_H
#define SIMDRIVER_LISTENER_H

#include <string>

// Listens on 127.0.0.1 only: the simulator is for tests on this machine.
// Port 0 takes a free one; boundPort is the port listened on. -1 (with errno
// set) when that fails.
int listenOnLoopback(int port, int &boundPort);
// The next client's descriptor, or -1; peer is its "address:port".
int acceptClient(int listenFd, std::string &peer);
// Closes so that the peer sees a reset instead of an orderly end.
void closeWithReset(int fd);
// True when the peer has closed its side and nothing is left to read.
bool peerClosed(int fd);

#endif // SIMDRIVER_LISTENER_H

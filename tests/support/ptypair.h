#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A serial line without hardware: socat joins two pseudo-terminals, and
// what is written to one side can be read at the other. start() runs
// `socat -d -d pty,raw,echo=0,link=<tmp>/app pty,raw,echo=0,link=<tmp>/peer`
// and waits up to 5 s for both links; it returns false when socat is
// missing, ends early or is too slow. appSide() is the path to give the
// code under test (a QSerialPort opens it like /dev/ttyUSB0); peerSide() is
// the far end, for a test to open as a QSerialPort or with
// ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK). Either side may be closed
// and opened again while the pair lives; bytes written while the other side
// is closed wait there until it is read. The destructor kills socat and
// waits for it; the links vanish with the temporary folder.
class PtyPair
{
public:
    PtyPair() = default;
    ~PtyPair();

    bool start();
    QString appSide() const;
    QString peerSide() const;

private:
    bool linksExist() const;

    QTemporaryDir dir;
    QProcess socat;
};

#endif // PTYPAIR_H

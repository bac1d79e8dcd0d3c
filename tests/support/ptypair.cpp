#include "ptypair.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QtDebug>

PtyPair::~PtyPair()
{
    socat.kill();
    socat.waitForFinished();
}

bool PtyPair::start()
{
    if (!dir.isValid())
        return false;
    const auto ptyAt = [](const QString &link) {
        return QStringLiteral("pty,raw,echo=0,link=") + link;
    };
    socat.start(QStringLiteral("socat"),
                {QStringLiteral("-d"), QStringLiteral("-d"), ptyAt(appSide()), ptyAt(peerSide())});
    if (!socat.waitForStarted()) {
        qWarning() << "socat did not start:" << socat.errorString();
        return false;
    }
    // socat makes the links only after both terminals exist.
    const QDeadlineTimer deadline(5000);
    while (!linksExist()) {
        if (deadline.hasExpired() || socat.waitForFinished(10)) {
            qWarning() << "socat made no pty pair:" << socat.readAllStandardError();
            return false;
        }
    }
    return true;
}

QString PtyPair::appSide() const
{
    return dir.filePath(QStringLiteral("app"));
}

QString PtyPair::peerSide() const
{
    return dir.filePath(QStringLiteral("peer"));
}

bool PtyPair::linksExist() const
{
    return QFileInfo::exists(appSide()) && QFileInfo::exists(peerSide());
}

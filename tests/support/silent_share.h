#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

namespace xcpy::test {

// A mounted file system whose every lookup below its root blocks, as a network share that stopped
// answering does. Needs root and /dev/fuse; `unavailable` says why it could not be mounted.
// Whatever happens, it is unmounted and its process ended when this object goes.
class SilentShare {
public:
    SilentShare() {
        if (::geteuid() != 0) {
            unavailable = QStringLiteral("needs root to mount a FUSE file system");
            return;
        }
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            unavailable = QStringLiteral("/dev/fuse cannot be opened");
            return;
        }
        // Its own session: a kill of the test's process group leaves it alive to unmount itself.
        server_.setChildProcessModifier([] { ::setsid(); });
        server_.start("/usr/bin/python3", {XCPY_SILENT_SHARE, mountPoint_.path()});
        if (!server_.waitForReadyRead(10000) || !server_.readAllStandardOutput().contains("ready"))
            unavailable = QStringLiteral("the blocking file system did not mount: ") +
                          QString::fromLocal8Bit(server_.readAllStandardError());
    }

    ~SilentShare() {
        // A lazy unmount needs no answer from the file system; ending its process then fails
        // every lookup still waiting on it.
        QProcess umount;
        umount.setStandardErrorFile(QProcess::nullDevice());
        umount.start("umount", {"-l", mountPoint_.path()});
        umount.waitForFinished(5000);
        server_.kill();
        server_.waitForFinished(5000);
    }

    QString path(const QString& name) const { return mountPoint_.filePath(name); }

    QString unavailable;

private:
    QTemporaryDir mountPoint_;
    QProcess server_;
};

} // namespace xcpy::test

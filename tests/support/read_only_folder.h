#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>

#include <unistd.h>

namespace xcpy::test {

// A folder nobody may write to, not even root: a read-only mount where the tests run as root,
// else a folder without write permission. It is empty unless `fill` puts something there while
// it can still be written. `unavailable` says why it could not be made.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::function<void(const QString&)>& fill = {}) {
        if (::geteuid() != 0) {
            if (fill)
                fill(folder_.path());
            QFile::setPermissions(folder_.path(), QFile::ReadOwner | QFile::ExeOwner);
            return;
        }
        mounted_ = QProcess::execute("mount", {"-t", "tmpfs", "-o", "mode=0700,size=64k", "tmpfs",
                                               folder_.path()}) == 0;
        if (mounted_ && fill)
            fill(folder_.path());
        if (!mounted_ || QProcess::execute("mount", {"-o", "remount,ro", folder_.path()}) != 0)
            unavailable = QStringLiteral("a read-only tmpfs could not be mounted");
    }

    ~ReadOnlyFolder() {
        if (mounted_)
            QProcess::execute("umount", {"-l", folder_.path()});
        else
            QFile::setPermissions(folder_.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString path() const { return folder_.path(); }
    QString filePath(const QString& name) const { return folder_.filePath(name); }

    QString unavailable;

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
};

} // namespace xcpy::test

#include "batchlist/network_mounts.h"

#include "common/mount_table.h"

#include <QDir>
#include <QFile>

namespace xcpy {
namespace {

bool mayStopAnswering(std::string_view type) {
    static constexpr std::string_view networkTypes[] = {"nfs",   "nfs4",      "cifs",  "smb3",
                                                        "smbfs", "sshfs",     "9p",    "afs",
                                                        "ceph",  "glusterfs", "davfs", "fuse"};
    for (std::string_view network : networkTypes)
        if (type == network)
            return true;
    return type.starts_with("fuse."); // user-space file systems; fuseblk is a local disk
}

QStringList networkMountPoints(const std::vector<Mount>& mounts) {
    QStringList mountPoints;
    for (const Mount& mount : mounts)
        if (mayStopAnswering(mount.type))
            mountPoints << QFile::decodeName(QByteArray::fromStdString(mount.point));
    return mountPoints;
}

} // namespace

QStringList networkMountPoints(QByteArrayView mountInfo) {
    return networkMountPoints(parseMountInfo(std::string_view(mountInfo.data(), mountInfo.size())));
}

QStringList networkMountPoints() {
    return networkMountPoints(currentMounts());
}

QString mountPointOf(const QStringList& mountPoints, const QString& folder) {
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    QString innermost;
    for (const QString& mountPoint : mountPoints) {
        const bool inside = path == mountPoint || mountPoint == u"/" ||
                            (path.startsWith(mountPoint) && path[mountPoint.size()] == u'/');
        if (inside && mountPoint.size() > innermost.size())
            innermost = mountPoint;
    }
    return innermost;
}

} // namespace xcpy

#include "batchlist/network_mounts.h"

#include <QDir>
#include <QFile>

namespace xcpy {
namespace {

bool mayStopAnswering(QByteArrayView type) {
    static const QByteArrayView networkTypes[] = {"nfs",   "nfs4",      "cifs",  "smb3",
                                                  "smbfs", "sshfs",     "9p",    "afs",
                                                  "ceph",  "glusterfs", "davfs", "fuse"};
    for (QByteArrayView network : networkTypes)
        if (type == network)
            return true;
    return type.startsWith("fuse."); // user-space file systems; fuseblk is a local disk
}

// Mount points are written with octal escapes for blanks, tabs, newlines and backslashes.
QString unescape(QByteArrayView field) {
    QByteArray path;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.sliced(i + 1, 3).toByteArray().toInt(&ok, 8);
            if (ok) {
                path.append(char(code));
                i += 3;
                continue;
            }
        }
        path.append(field[i]);
    }
    return QFile::decodeName(path);
}

} // namespace

QStringList networkMountPoints(QByteArrayView mountInfo) {
    QStringList mountPoints;
    for (QByteArrayView line : QByteArray(mountInfo.toByteArray()).split('\n')) {
        // id parent major:minor root mount-point options [optional fields] - type source ...
        const QList<QByteArray> fields = QByteArray(line.toByteArray()).split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (separator < 5 || separator + 1 >= fields.size())
            continue;
        if (mayStopAnswering(fields[separator + 1]))
            mountPoints << unescape(fields[4]);
    }
    return mountPoints;
}

QStringList networkMountPoints() {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    return networkMountPoints(table.readAll());
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

#pragma once

#include <QByteArrayView>
#include <QStringList>

namespace xcpy {

// Mount points of file systems that may stop answering (network and FUSE file systems), read
// from a mount table in the form of /proc/self/mountinfo.
QStringList networkMountPoints(QByteArrayView mountInfo);
// The same for this process's mounts now.
QStringList networkMountPoints();

// The innermost of `mountPoints` that `folder` lies in, by its text (made absolute, "." and ".."
// resolved); empty when none.
QString mountPointOf(const QStringList& mountPoints, const QString& folder);

} // namespace xcpy

#include "batchlist/folder_check.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace xcpy {

bool folderExists(const QString& text) {
    // A NUL would cut the C path short and test some other folder.
    if (text.isEmpty() || text.contains(QChar(u'\0')))
        return false;
    const QByteArray path = QFile::encodeName(text);
    // One open() answers all three questions: the path exists, it is a directory (O_DIRECTORY),
    // and we hold the read right on it, which is what listing its entries needs.
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

CheckMark checkFolders(const QString& source, const QString& destination) {
    const bool sourceExists = folderExists(source);
    const bool destinationExists = folderExists(destination);
    return sourceExists && destinationExists ? CheckMark::OK : CheckMark::NG;
}

} // namespace xcpy

#include "batchlist/folder_check.h"

#include "common/missing_drive.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xcpy {
namespace {

FolderVerdict::State stateOf(const QByteArray& path) {
    using State = FolderVerdict::State;
    // One open() answers the usual question at once: the path exists, it is a directory
    // (O_DIRECTORY), and we hold the read right on it, which listing its entries needs.
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return State::Listable;
    }
    struct stat st {};
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? State::Unreadable : State::FileInTheWay;
    switch (errno) {
    case ENOENT:
        return State::Missing;
    case ENOTDIR:
        return State::FileInTheWay;
    default:
        return State::Unreadable; // no right to look, a loop of links, an I/O error, ...
    }
}

// The line about one folder of a pair, named as the window names it.
QString noteOn(const FolderVerdict& verdict, bool isDestination) {
    using State = FolderVerdict::State;
    const QString role =
        isDestination ? QStringLiteral("先フォルダ") : QStringLiteral("元フォルダ");
    // A drive that is not there explains everything else about the folder, even its being there:
    // then it is the empty mount point on the system disk.
    if (!verdict.missingDrive.isEmpty())
        return (verdict.driveFromFstab
                    ? QStringLiteral("%1のドライブがありません（%2 はマウントされていません）")
                    : QStringLiteral(
                          "%1のドライブがありません（%2 にドライブがつながっていません）"))
            .arg(role, verdict.missingDrive);
    switch (verdict.state) {
    case State::Listable:
        return {};
    case State::Empty:
        return QStringLiteral("%1が空欄です").arg(role);
    case State::Missing:
        return isDestination
                   ? QStringLiteral("%1はまだありません（コピーのときに作られます）").arg(role)
                   : QStringLiteral("%1がありません").arg(role);
    case State::FileInTheWay:
        return QStringLiteral("%1の場所にファイルがあります").arg(role);
    case State::Unreadable:
        return QStringLiteral("%1を読めません").arg(role);
    case State::NoAnswer:
        return QStringLiteral("%1から応答がありません").arg(role);
    }
    return {};
}

} // namespace

FolderVerdict examineFolder(const QString& text, const DriveFacts& drives) {
    FolderVerdict verdict;
    if (text.isEmpty()) {
        verdict.state = FolderVerdict::State::Empty;
        return verdict;
    }
    // A NUL would cut the C path short and test some other folder.
    if (text.contains(QChar(u'\0'))) {
        verdict.state = FolderVerdict::State::Missing;
        return verdict;
    }
    const QByteArray path = QFile::encodeName(text);
    verdict.state = stateOf(path);
    if (const auto drive = missingDriveOf(path.toStdString(), drives)) {
        verdict.missingDrive = QFile::decodeName(QByteArray::fromStdString(drive->folder));
        verdict.driveFromFstab = drive->fromFstab;
    }
    return verdict;
}

CheckMark PairVerdict::mark() const {
    return source.listable() && destination.listable() ? CheckMark::OK : CheckMark::NG;
}

QString PairVerdict::notes() const {
    QStringList lines;
    for (const QString& line : {noteOn(source, false), noteOn(destination, true)})
        if (!line.isEmpty())
            lines << line;
    return lines.join(u'\n');
}

} // namespace xcpy

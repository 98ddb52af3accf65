// Folders dragged from a file manager: onto a folder field or its button, or onto the list.
#include "app/frmXCopy.h"

#include "batchlist/folder_probe.h"
#include "companions/prompt_box.h"

#include <QDir>
#include <QLineEdit>
#include <QUrl>

namespace xcpy {
namespace {

// A folder that is there but cannot be read, or that does not answer, is still taken as one: its
// row's mark and tooltip say what is wrong with it.
bool mayBeFolder(FolderVerdict::State state) {
    using State = FolderVerdict::State;
    return state == State::Listable || state == State::Unreadable || state == State::NoAnswer;
}

} // namespace

std::optional<QStringList> frmXCopy::droppedFolders(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls)
        paths << (url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : QString());
    const FolderProbe::Batch sideBySide(*folderProbe_, paths);
    for (qsizetype i = 0; i < urls.size(); ++i) {
        if (mayBeFolder(folderProbe_->examine(paths[i]).state)) // an empty path is no folder
            continue;
        const QString name =
            paths[i].isEmpty() ? urls[i].toDisplayString() : QDir::toNativeSeparators(paths[i]);
        promptBox().Message(
            this, QStringLiteral("「%1」はこのコンピュータのフォルダではありません").arg(name),
            msg::kIconExclamation, exeBaseName());
        return std::nullopt;
    }
    return paths;
}

void frmXCopy::dropOnFolderField(QLineEdit* field, const QList<QUrl>& urls) {
    if (urls.size() != 1) {
        promptBox().Message(this,
                            QStringLiteral("%1の欄にドロップできるのはフォルダ 1 つです")
                                .arg(field == txtFrom ? QStringLiteral("元フォルダ")
                                                      : QStringLiteral("先フォルダ")),
                            msg::kIconExclamation, exeBaseName());
        return;
    }
    const std::optional<QStringList> folders = droppedFolders(urls);
    if (!folders)
        return;
    field->setText(folders->first());
    UpdateCommandState();
}

void frmXCopy::dropOnList(const QList<QUrl>& urls) {
    if (urls.isEmpty() || urls.size() > 2) {
        promptBox().Message(this,
                            QStringLiteral("リストにドロップできるのはフォルダ 1 つか 2 つです"),
                            msg::kIconExclamation, exeBaseName());
        return;
    }
    // One folder goes into the first empty field; a full pair of fields is the user's work.
    if (urls.size() == 1) {
        QLineEdit* empty = txtFrom->text().isEmpty() ? txtFrom
                           : txtTo->text().isEmpty() ? txtTo
                                                     : nullptr;
        if (!empty) {
            promptBox().Message(this,
                                QStringLiteral("元フォルダと先フォルダの欄は入力済みです。"
                                               "フォルダは入れたい欄の上にドロップしてください"),
                                msg::kIconExclamation, exeBaseName());
            return;
        }
        dropOnFolderField(empty, urls);
        return;
    }
    std::optional<QStringList> folders = droppedFolders(urls);
    if (!folders || refuseIdenticalFolders(folders->at(0), folders->at(1)))
        return;
    // A file manager hands over its selection in an order of its own: the user says which
    // folder is the source.
    const qint32 answer = promptBox().Message(
        this,
        QStringLiteral("元フォルダ: %1\n先フォルダ: %2\n\nこの向きでリストに追加しますか？\n"
                       "「いいえ」を選ぶと、元と先を入れ替えて追加します。")
            .arg(QDir::toNativeSeparators(folders->at(0)),
                 QDir::toNativeSeparators(folders->at(1))),
        msg::kYesNoCancel | msg::kIconInformation, exeBaseName());
    if (answer == msg::kAnswerCancel)
        return;
    if (answer == msg::kAnswerNo)
        folders->swapItemsAt(0, 1);
    InsertBatchEntry(folders->at(0), folders->at(1), -1);
    setUnsavedChanges(true);
    UpdateCommandState();
}

} // namespace xcpy

// The main window's life: construction, Form_Load, the close request and unloading.
#include "app/frmXCopy.h"

#include "app/preview_window.h"
#include "app/run_files_folder.h"
#include "batchlist/batch_list_model.h"
#include "batchlist/batch_list_view.h"
#include "batchlist/folder_probe.h"
#include "common/twips.h"
#include "companions/companions.h"
#include "companions/hot_button.h"
#include "companions/path_helper.h"
#include "companions/prompt_box.h"
#include "companions/run_log.h"
#include "companions/settings_store.h"
#include "options/frmOption.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

namespace xcpy {
namespace {

const QString kDefaultXOption = QStringLiteral("/D /E ");

} // namespace

frmXCopy::frmXCopy(Companions& companions, QWidget* parent)
    : QMainWindow(parent), companions_(companions), folderProbe_(std::make_unique<FolderProbe>()),
      dlgXCopy(std::make_unique<CommonDialog>()) {
    composeWindow();
    runFilesFolder_ = chooseRunFilesFolder(
        QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

frmXCopy::~frmXCopy() = default;

void frmXCopy::setRunFilesFolder(const QString& folder) {
    runFilesFolder_ = folder;
}

void frmXCopy::Form_Load(const QString& commandLineText) {
    settingsStore_ = companions_.createSettingsStore();
    settingsStore_->AttachWindow(this);
    settingsStore_->Section(exeBaseName());

    InitDir =
        settingsStore_->ReadSetting(QStringLiteral("InitDir"), QDir::currentPath()).toString();
    BatDir = settingsStore_->ReadSetting(QStringLiteral("BatDir"), QDir::currentPath()).toString();
    XOption = settingsStore_->ReadSetting(QStringLiteral("XOption"), kDefaultXOption).toString();
    const QString rememberedFile =
        settingsStore_->ReadSetting(QStringLiteral("FileName"), QString()).toString();

    // Before the first layout the toolbar's height is not settled yet; its size hint is.
    settingsStore_->ToolbarHeight(qint32(twips::whole(toTwipsY(tlbXCopy->sizeHint().height()))));
    settingsStore_->StoreOption1(true);
    settingsStore_->StoreOption2(true);

    runLog_ = companions_.createRunLog();
    runLog_->LogPath(runFilesFolder_ + QDir::separator() + QStringLiteral("X.log"));
    runLog_->LogOption(true);

    btnOpen = findToolbarButton(tlbXCopy, QStringLiteral("Open"));
    btnSave = findToolbarButton(tlbXCopy, QStringLiteral("Save"));
    btnAdd = findToolbarButton(tlbXCopy, QStringLiteral("Add"));
    btnDelete = findToolbarButton(tlbXCopy, QStringLiteral("Delete"));
    btnUp = findToolbarButton(tlbXCopy, QStringLiteral("Up"));
    btnDown = findToolbarButton(tlbXCopy, QStringLiteral("Down"));
    btnBat = findToolbarButton(tlbXCopy, QStringLiteral("Bat"));
    btnExec = findToolbarButton(tlbXCopy, QStringLiteral("Exec"));
    btnPreview = findToolbarButton(tlbXCopy, QStringLiteral("Preview"));
    pnlFileName = findStatusPanel(stbXCopy, QStringLiteral("FileName"));
    pnlBatName = findStatusPanel(stbXCopy, QStringLiteral("BatName"));
    pnlSave = findStatusPanel(stbXCopy, QStringLiteral("Save"));

    static_cast<QFrame*>(picFolder)->setFrameShape(QFrame::NoFrame);
    static_cast<QFrame*>(picBatList)->setFrameShape(QFrame::NoFrame);

    txtFrom->clear();
    txtTo->clear();
    setUnsavedChanges(false);

    // On the screen before any list file is read.
    show();
    repaint();

    if (!commandLineText.isEmpty())
        OpenBatList(commandLineText);
    else if (!rememberedFile.isEmpty())
        OpenBatList(rememberedFile);

    UpdateCommandState();
    Form_Resize();
}

void frmXCopy::closeEvent(QCloseEvent* event) {
    qint16 cancel = 0;
    closeRequestOpen_ = true;
    Form_QueryUnload(cancel, 0);
    closeRequestOpen_ = false;
    if (cancel) {
        event->ignore();
        return;
    }
    Form_Unload(cancel);
    event->accept();
}

void frmXCopy::outsideCloseRequest() {
    if (!closeRequestOpen_) {
        close();
        return;
    }
    qint16 cancel = 0;
    Form_Unload(cancel);
    // Ends every event loop, the open question's too, which then answers Cancel: the close
    // request it belongs to is refused, and the program ends with the main loop.
    QCoreApplication::exit(0);
}

void frmXCopy::Form_QueryUnload(qint16& cancel, int) {
    if (copyRunning_) {
        promptBox().Message(this, QStringLiteral("コピー中です。終了できません"),
                            msg::kIconInformation, QString());
        cancel = -1;
        return;
    }
    if (!unsavedChanges())
        return;
    const qint32 answer =
        promptBox().Message(this, QStringLiteral("バッチファイルに保存しますか？"),
                            msg::kYesNoCancel | msg::kIconInformation, QString());
    if (answer == msg::kAnswerCancel) {
        cancel = -1;
        return;
    }
    // A close whose save did not happen would throw the list away: it is called off instead.
    if (answer == msg::kAnswerYes && !SaveBatList())
        cancel = -1;
}

void frmXCopy::Form_Unload(qint16&) {
    if (unloaded_)
        return;
    unloaded_ = true;
    if (settingsStore_) {
        settingsStore_->WriteSetting(QStringLiteral("InitDir"), InitDir);
        settingsStore_->WriteSetting(QStringLiteral("BatDir"), BatDir);
        settingsStore_->WriteSetting(QStringLiteral("XOption"), XOption);
        settingsStore_->WriteSetting(QStringLiteral("FileName"),
                                     QVariant::fromValue<QObject*>(pnlFileName));
        // Settings that will be missing at the next start are never lost without a word.
        if (const QString failure = settingsStore_->WriteFailure(); !failure.isEmpty())
            promptBox().Message(this, failure, msg::kIconExclamation, exeBaseName());
    }
    if (optionDialog_.created())
        optionDialog_.get().close();
    if (previewWindow_)
        previewWindow_->close(); // and with it its preview
}

bool frmXCopy::unsavedChanges() const {
    return pnlSave && pnlSave->isEnabled();
}

void frmXCopy::setUnsavedChanges(bool on) {
    pnlSave->setEnabled(on);
}

QString frmXCopy::exeBaseName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

double frmXCopy::dpiX() const {
    return logicalDpiX();
}
double frmXCopy::dpiY() const {
    return logicalDpiY();
}
int frmXCopy::toPixelsX(double value) const {
    return twips::toPixels(value, dpiX());
}
int frmXCopy::toPixelsY(double value) const {
    return twips::toPixels(value, dpiY());
}
double frmXCopy::toTwipsX(int pixels) const {
    return twips::fromPixels(pixels, dpiX());
}
double frmXCopy::toTwipsY(int pixels) const {
    return twips::fromPixels(pixels, dpiY());
}

PromptBox& frmXCopy::promptBox() const {
    return companions_.promptBox();
}
ShellHelper& frmXCopy::shellHelper() const {
    return companions_.shellHelper();
}
PathHelper& frmXCopy::pathHelper() const {
    return companions_.pathHelper();
}

bool frmXCopy::dragEvent(QObject* watched, QEvent* event) {
    auto* drag = static_cast<QDropEvent*>(event); // enter, move and drop events are all drop events
    if (!drag->mimeData() || !drag->mimeData()->hasUrls())
        return false; // a text dragged into a field is typing; the field handles it
    QLineEdit* field = watched == txtFrom || watched == cmdFrom ? txtFrom
                       : watched == txtTo || watched == cmdTo   ? txtTo
                                                                : nullptr;
    if (!field && watched != lsvBatList->viewport())
        return false;
    // Taken whatever the URLs are, so that a refusal can say why.
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    if (event->type() == QEvent::Drop) {
        // After the drop has ended: the file manager is not kept waiting by a question.
        QTimer::singleShot(0, this, [this, field, urls = drag->mimeData()->urls()] {
            if (field)
                dropOnFolderField(field, urls);
            else
                dropOnList(urls);
        });
    }
    return true;
}

bool frmXCopy::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (dragEvent(watched, event))
            return true;
        break;
    case QEvent::FocusIn: {
        // A field gets the focus when the user or the program moves it there; a menu closing
        // or the window being activated again only gives it back.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            break;
        if (watched == txtFrom)
            txtFrom_GotFocus();
        else if (watched == txtTo)
            txtTo_GotFocus();
        break;
    }
    case QEvent::Resize:
        if (watched == picFolder)
            picFolder_Resize();
        else if (watched == picBatList)
            picBatList_Resize();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        if (watched == lsvBatList->viewport()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                // The right button never reaches the list, which would select the row under it.
                if (event->type() != QEvent::MouseButtonRelease)
                    lsvBatList_MouseDown(mouse->button(), mouse->modifiers(),
                                         mouse->position().toPoint());
                return true;
            }
        }
        break;
    case QEvent::KeyPress:
        // Moving through the rows with the keys counts as clicking the row arrived at.
        if (watched == lsvBatList)
            QTimer::singleShot(0, this, [this, before = currentRow1Based(lsvBatList)] {
                if (currentRow1Based(lsvBatList) != before)
                    lsvBatList_ItemClick();
            });
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmXCopy::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

} // namespace xcpy

#pragma once

#include <QAction>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>

#include "options/frmOption.h"

class QLineEdit;
class QStatusBar;
class QUrl;
class QToolBar;
class QTreeView;

namespace xcpy {

class BatchListModel;
class Companions;
class FolderProbe;
class HotButton;
class PathHelper;
class PromptBox;
class RunLog;
class SettingsStore;
class ShellHelper;
class frmPreview;
struct CommonDialog;

// The main window: the batch list, its folder fields, menus, toolbar and status bars, and
// the operations on the list, the list file, the batch file and the copy run.
class frmXCopy : public QMainWindow {
    Q_OBJECT
public:
    explicit frmXCopy(Companions& companions, QWidget* parent = nullptr);
    ~frmXCopy() override;

    // Start-up: companions, settings, initial state, the list file to load.
    void Form_Load(const QString& commandLineText);

    // A close asked for from outside (a termination signal): the close request, as from the
    // close box. Asked again while a close request is still open (its question is showing),
    // the settings are written and the program ends.
    void outsideCloseRequest();

    // The window's operations.
    void OpenBatList(QString path);
    // True when the list was written; false when the dialog was cancelled or the save failed.
    bool SaveBatList();
    void CreateBatFile();
    void ExecXCopy();
    // Shows what a run would copy now, row by row, without writing anything.
    void PreviewXCopy();
    void InsertBatchEntry(const QString& source, const QString& destination, int position);
    void AddBatchEntry();
    void DeleteBatchEntry();
    void MoveBatchEntry(bool up);
    void UpdateCommandState();

    // Event handlers.
    void mnuF_Click(int index);
    void mnuL_Click(int index);
    void mnuO_Click(int index);
    void mnuH_Click(int index);
    void mnuFile_Click();
    void mnuList_Click();
    void tlbXCopy_ButtonClick(QAction* button);
    void lsvBatList_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void lsvBatList_ItemClick();
    void cmdFrom_Click();
    void cmdTo_Click();
    void txtFrom_GotFocus();
    void txtTo_GotFocus();
    // Folders dropped from a file manager onto a folder field or its button: one fills the field.
    void dropOnFolderField(QLineEdit* field, const QList<QUrl>& urls);
    // Folders dropped onto the list: two make a pair, the user saying which is the source; one
    // fills the first empty folder field.
    void dropOnList(const QList<QUrl>& urls);
    void Form_Resize();
    void picFolder_Resize();
    void picBatList_Resize();

    // State read by the operations and by tests.
    const QString& initDir() const { return InitDir; }
    const QString& batDir() const { return BatDir; }
    const QString& xOption() const { return XOption; }
    bool copyRunning() const { return copyRunning_; }
    bool unsavedChanges() const;
    BatchListModel& model() const { return *model_; }
    // The folder the run log and the run file live in; tests point it at a temporary folder.
    void setRunFilesFolder(const QString& folder);
    const QString& runFilesFolder() const { return runFilesFolder_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Close handling, run by closeEvent.
    void Form_QueryUnload(qint16& cancel, int unloadMode);
    void Form_Unload(qint16& cancel);

    // Composition of the window's controls (frmXCopy_compose.cpp).
    void composeWindow();
    void composeMenus();
    void composeToolbar();
    void composeFolderArea();
    void composeListArea();
    void composeStatusBar();

    // Menu commands without an operation of their own.
    void newList();
    void showOptions();
    void showVersionInfo();

    void setUnsavedChanges(bool on);
    // Shows why a pair of identical folder texts cannot be added; true when refused.
    bool refuseIdenticalFolders(const QString& source, const QString& destination);
    // The local paths of dropped folders, in their order; after a message, nothing when one of
    // them is no folder of this computer.
    std::optional<QStringList> droppedFolders(const QList<QUrl>& urls);
    // Routes a drag of URLs over a folder field, its button or the list; true when it took it.
    bool dragEvent(QObject* watched, QEvent* event);
    // Shows why the list cannot go into a batch file, if it cannot; true when refused.
    bool refuseUnsafeBatchText();
    void logXCopyLines(const QString& heading);
    QString exeBaseName() const;
    double dpiX() const;
    double dpiY() const;
    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
    double toTwipsX(int pixels) const;
    double toTwipsY(int pixels) const;

    PromptBox& promptBox() const;
    ShellHelper& shellHelper() const;
    PathHelper& pathHelper() const;

    Companions& companions_;
    std::unique_ptr<SettingsStore> settingsStore_;
    std::unique_ptr<RunLog> runLog_;
    frmOptionHolder optionDialog_;

    // AppSettings held in memory between load and unload.
    QString InitDir;
    QString BatDir;
    QString XOption;
    bool copyRunning_ = false;
    bool closeRequestOpen_ = false;
    bool unloaded_ = false; // the settings were written: the window's life is over
    QString runFilesFolder_;

    BatchListModel* model_ = nullptr;
    // Tests the folders of every row created; a share that does not answer costs a bounded wait.
    std::unique_ptr<FolderProbe> folderProbe_;
    std::unique_ptr<CommonDialog> dlgXCopy;
    frmPreview* previewWindow_ = nullptr; // a child window, created on first use

public:
    // Controls, named as the window's design names them.
    QMenu* mnuFile = nullptr;
    QMenu* mnuList = nullptr;
    QMenu* mnuOption = nullptr;
    QMenu* mnuHelp = nullptr;
    std::array<QAction*, 8> mnuF{};
    std::array<QAction*, 10> mnuL{};
    std::array<QAction*, 1> mnuO{};
    std::array<QAction*, 1> mnuH{};
    QToolBar* tlbXCopy = nullptr;
    QWidget* picFolder = nullptr;
    HotButton* cmdFrom = nullptr;
    HotButton* cmdTo = nullptr;
    QLineEdit* txtFrom = nullptr;
    QLineEdit* txtTo = nullptr;
    QWidget* picBatList = nullptr;
    QStatusBar* stbBatList = nullptr;
    QTreeView* lsvBatList = nullptr;
    QStatusBar* stbXCopy = nullptr;

private:
    // Toolbar buttons and status-bar panels found by key in Form_Load.
    QAction* btnOpen = nullptr;
    QAction* btnSave = nullptr;
    QAction* btnAdd = nullptr;
    QAction* btnDelete = nullptr;
    QAction* btnUp = nullptr;
    QAction* btnDown = nullptr;
    QAction* btnBat = nullptr;
    QAction* btnExec = nullptr;
    QAction* btnPreview = nullptr;
    QLabel* pnlFileName = nullptr;
    QLabel* pnlBatName = nullptr;
    QLabel* pnlSave = nullptr;
};

// Finds a toolbar button by its key; separators have no key and are never returned.
QAction* findToolbarButton(const QToolBar* toolbar, const QString& key);
// Finds a status-bar panel by its key.
QLabel* findStatusPanel(const QStatusBar* statusBar, const QString& key);

} // namespace xcpy

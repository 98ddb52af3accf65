#pragma once

#include "batchlist/batch_entry.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace xcpy {

class PreviewRun;

// The modeless window of the preview: for each row of the list the files and megabytes a run
// would copy now, or why it would copy nothing or fail, with the total and the interpreter's
// messages. It follows the preview as it comes and can cancel it; the main window stays usable.
class frmPreview : public QDialog {
    Q_OBJECT
public:
    explicit frmPreview(QWidget* owner);
    ~frmPreview() override;

    // Shows the window and starts a preview of the rows, whose XCOPY lines the batch holds, with
    // the interpreter; a preview still running is cancelled first.
    void start(const QString& interpreter, const QByteArray& batch, const QList<BatchEntry>& rows);
    bool running() const;

    void cmdCancel_Click();
    void cmdClose_Click();

    // Closing the window (its close box, Esc, 閉じる) cancels the preview.
    void reject() override;

private:
    void showProgress();
    void showEnd();
    void showRow(int row);
    void showTotal();

    PreviewRun* run_ = nullptr;
    qsizetype shownMessageLength_ = 0;

    QLabel* lblStatus = nullptr;
    QProgressBar* prgPreview = nullptr;
    QTreeWidget* lsvPreview = nullptr;
    QLabel* lblTotal = nullptr;
    QPlainTextEdit* txtMessages = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdClose = nullptr;
};

} // namespace xcpy

#include "app/preview_window.h"

#include "files/preview_run.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace xcpy {
namespace {

enum Column { SourceColumn, DestinationColumn, FilesColumn, MegabytesColumn, OutcomeColumn };

} // namespace

frmPreview::frmPreview(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("見るだけ"));
    setModal(false);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    prgPreview = new QProgressBar(this);
    prgPreview->setObjectName(QStringLiteral("prgPreview"));
    prgPreview->setFormat(QStringLiteral("%v / %m 行"));

    lsvPreview = new QTreeWidget(this);
    lsvPreview->setObjectName(QStringLiteral("lsvPreview"));
    lsvPreview->setHeaderLabels({QStringLiteral("元フォルダ"), QStringLiteral("先フォルダ"),
                                 QStringLiteral("ファイル"), QStringLiteral("MB"),
                                 QStringLiteral("理由")});
    lsvPreview->setRootIsDecorated(false);
    lsvPreview->setTextElideMode(Qt::ElideMiddle); // a folder's last part tells rows apart
    lsvPreview->setUniformRowHeights(true);
    lsvPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    lsvPreview->headerItem()->setTextAlignment(FilesColumn, Qt::AlignRight | Qt::AlignVCenter);
    lsvPreview->headerItem()->setTextAlignment(MegabytesColumn, Qt::AlignRight | Qt::AlignVCenter);
    QHeaderView* header = lsvPreview->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(SourceColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(DestinationColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(FilesColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(MegabytesColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(OutcomeColumn, QHeaderView::Interactive);
    header->resizeSection(OutcomeColumn, 260);

    lblTotal = new QLabel(this);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    txtMessages = new QPlainTextEdit(this);
    txtMessages->setObjectName(QStringLiteral("txtMessages"));
    txtMessages->setReadOnly(true);
    txtMessages->setMaximumHeight(txtMessages->fontMetrics().lineSpacing() * 5);
    txtMessages->hide(); // shown once the interpreter has something to say

    cmdCancel = new QPushButton(QStringLiteral("中止"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdCancel, &QPushButton::clicked, this, &frmPreview::cmdCancel_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmPreview::cmdClose_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblStatus);
    layout->addWidget(prgPreview);
    layout->addWidget(lsvPreview, 1);
    layout->addWidget(lblTotal);
    layout->addWidget(txtMessages);
    layout->addLayout(buttons);
    resize(760, 360);
}

frmPreview::~frmPreview() = default;

void frmPreview::start(const QString& interpreter, const QByteArray& batch,
                       const QList<BatchEntry>& rows) {
    delete run_; // cancels a preview still running
    run_ = new PreviewRun(static_cast<int>(rows.size()), this);
    connect(run_, &PreviewRun::progressed, this, &frmPreview::showProgress);
    connect(run_, &PreviewRun::ended, this, &frmPreview::showEnd);

    lsvPreview->clear();
    QList<QTreeWidgetItem*> items;
    for (const BatchEntry& row : rows) {
        auto* item = new QTreeWidgetItem({row.source, row.destination});
        item->setToolTip(SourceColumn, row.source);
        item->setToolTip(DestinationColumn, row.destination);
        item->setTextAlignment(FilesColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(MegabytesColumn, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    lsvPreview->addTopLevelItems(items);
    shownMessageLength_ = 0;
    prgPreview->setRange(0, std::max<int>(static_cast<int>(rows.size()), 1));
    prgPreview->setValue(0);
    txtMessages->clear();
    txtMessages->hide();
    cmdCancel->setEnabled(true);
    lblStatus->setText(QStringLiteral("確認しています（何もコピーしません）"));
    showTotal();
    show();
    raise();
    activateWindow();

    run_->start(interpreter, batch);
}

bool frmPreview::running() const {
    return run_ && run_->state() == PreviewRun::State::Running;
}

void frmPreview::cmdCancel_Click() {
    if (run_)
        run_->cancel(); // never waits for the interpreter
}

void frmPreview::cmdClose_Click() {
    reject();
}

void frmPreview::reject() {
    cmdCancel_Click();
    QDialog::reject();
}

void frmPreview::showProgress() {
    const PreviewPlan& plan = run_->plan();
    const auto [first, last] = run_->takeChangedRows();
    for (int row = first; row <= last; ++row)
        showRow(row);
    // Rows the cancel left untold were not checked.
    prgPreview->setValue(plan.rowsDone() - plan.cancelled());
    if (const QString& messages = run_->messages(); messages.size() != shownMessageLength_) {
        shownMessageLength_ = messages.size();
        txtMessages->setPlainText(messages);
        txtMessages->setVisible(!messages.isEmpty());
    }
    showTotal();
}

void frmPreview::showEnd() {
    showProgress();
    cmdCancel->setEnabled(false);
    const PreviewPlan& plan = run_->plan();
    switch (run_->state()) {
    case PreviewRun::State::Finished:
        lblStatus->setText(QStringLiteral("確認が終わりました（何もコピーしていません）"));
        break;
    case PreviewRun::State::Cancelled:
        lblStatus->setText(QStringLiteral("中止しました（%1 行のうち %2 行を確認）")
                               .arg(plan.rows().size())
                               .arg(plan.rows().size() - plan.cancelled()));
        break;
    default:
        lblStatus->setText(run_->failure());
        break;
    }
}

void frmPreview::showRow(int row) {
    QTreeWidgetItem* item = lsvPreview->topLevelItem(row);
    const PreviewRow& told = run_->plan().rows().at(row);
    const bool counted =
        told.outcome == PreviewOutcome::Checking || told.outcome == PreviewOutcome::Copies ||
        told.outcome == PreviewOutcome::UpToDate || told.outcome == PreviewOutcome::NothingToCopy;
    item->setText(FilesColumn, counted ? QString::number(told.files) : QString());
    item->setText(MegabytesColumn, counted ? megabytesText(told.bytes) : QString());
    item->setText(OutcomeColumn, outcomeText(told));
    item->setIcon(OutcomeColumn,
                  isFailure(told.outcome) ? QIcon(QStringLiteral(":/icons/ng.png")) : QIcon());
}

void frmPreview::showTotal() {
    const PreviewPlan& plan = run_->plan();
    QString text = QStringLiteral("合計 %1 ファイル、%2 MB")
                       .arg(plan.files())
                       .arg(megabytesText(plan.bytes()));
    if (const int failures = plan.failures())
        text += QStringLiteral("（コピーできない行 %1）").arg(failures);
    lblTotal->setText(text);
}

} // namespace xcpy

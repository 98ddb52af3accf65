// Composition of the main window: controls, names, captions, design geometry and tab order.
#include "app/frmXCopy.h"

#include "batchlist/batch_list_model.h"
#include "batchlist/batch_list_view.h"
#include "common/twips.h"
#include "companions/hot_button.h"

#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

namespace xcpy {
namespace {

struct MenuItem {
    const char* caption; // "-" is a separator
    QKeySequence shortcut;
};

struct ToolbarItem {
    const char* key; // nullptr is a separator
    const char* tooltip;
    const char* picture;
};

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/app-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

void frmXCopy::composeWindow() {
    setObjectName(QStringLiteral("frmXCopy"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(programIcon());

    composeMenus();
    composeToolbar();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    composeListArea();
    composeStatusBar();
    composeFolderArea();

    // Tab order: the folder fields, then the list.
    setTabOrder(txtFrom, txtTo);
    setTabOrder(txtTo, lsvBatList);
    txtFrom->setFocus(); // the first control in the tab order that takes the focus

    // Design inner area 9270 x 7215 twips, below the menu bar.
    resize(toPixelsX(9270), toPixelsY(7215) + menuBar()->sizeHint().height());
}

void frmXCopy::composeMenus() {
    auto addMenu = [this](const char* name, const QString& title) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addItems = [this](QMenu* menu, const char* arrayName, auto& actions,
                           std::initializer_list<MenuItem> items, void (frmXCopy::*handler)(int)) {
        int index = 0;
        for (const MenuItem& item : items) {
            const QString caption = QString::fromUtf8(item.caption);
            QAction* action =
                caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
            action->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(arrayName)).arg(index));
            action->setShortcut(item.shortcut);
            connect(action, &QAction::triggered, this,
                    [this, handler, index] { (this->*handler)(index); });
            actions[index++] = action;
        }
    };

    mnuFile = addMenu("mnuFile", QStringLiteral("ファイル(&F)"));
    addItems(mnuFile, "mnuF", mnuF,
             {{"新規(&N)", {}},
              {"開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
              {"保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S)},
              {"-", {}},
              {"バッチ作成(&B)", {}},
              {"実行(&X)", {}},
              {"-", {}},
              {"終了(&Q)", QKeySequence(Qt::CTRL | Qt::Key_Q)}},
             &frmXCopy::mnuF_Click);
    connect(mnuFile, &QMenu::aboutToShow, this, &frmXCopy::mnuFile_Click);

    mnuList = addMenu("mnuList", QStringLiteral("リスト(&L)"));
    addItems(mnuList, "mnuL", mnuL,
             {{"元フォルダ(&F)", QKeySequence(Qt::CTRL | Qt::Key_F)},
              {"先フォルダ(&T)", QKeySequence(Qt::CTRL | Qt::Key_T)},
              {"-", {}},
              {"追加(&A)", QKeySequence(Qt::CTRL | Qt::Key_A)},
              {"削除(&D)", QKeySequence(Qt::Key_Delete)},
              {"-", {}},
              {"順序を上へ", QKeySequence(Qt::CTRL | Qt::Key_Up)},
              {"順序を下へ", QKeySequence(Qt::CTRL | Qt::Key_Down)},
              {"-", {}},
              {"見るだけ(&V)", QKeySequence(Qt::CTRL | Qt::Key_P)}},
             &frmXCopy::mnuL_Click);
    connect(mnuList, &QMenu::aboutToShow, this, &frmXCopy::mnuList_Click);

    mnuOption = addMenu("mnuOption", QStringLiteral("オプション(&O)"));
    addItems(mnuOption, "mnuO", mnuO, {{"XCopyのオプション", {}}}, &frmXCopy::mnuO_Click);

    mnuHelp = addMenu("mnuHelp", QStringLiteral("ヘルプ(&H)"));
    addItems(mnuHelp, "mnuH", mnuH, {{"バージョン情報(&A)", {}}}, &frmXCopy::mnuH_Click);
}

void frmXCopy::composeToolbar() {
    tlbXCopy = new QToolBar(this);
    tlbXCopy->setObjectName(QStringLiteral("tlbXCopy"));
    tlbXCopy->setMovable(false);
    tlbXCopy->setFloatable(false);
    tlbXCopy->setIconSize(QSize(16, 16));
    tlbXCopy->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tlbXCopy->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, tlbXCopy);

    static const ToolbarItem items[] = {
        {"Open", "バックアップリストを開く", "open"},
        {"Save", "バックアップリストを保存", "save"},
        {nullptr, nullptr, nullptr},
        {"Add", "リストに追加", "add"},
        {"Delete", "リストから削除", "delete"},
        {nullptr, nullptr, nullptr},
        {"Up", "上へ移動", "up"},
        {"Down", "下へ移動", "down"},
        {nullptr, nullptr, nullptr},
        {"Bat", "バッチファイル作成", "bat"},
        {"Exec", "バッチ実行", "exec"},
        {"Preview", "見るだけ（コピーせずに確認）", "preview"},
    };
    for (const ToolbarItem& item : items) {
        if (!item.key) {
            tlbXCopy->addSeparator();
            continue;
        }
        QAction* button = tlbXCopy->addAction(
            QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(item.picture))), QString());
        button->setObjectName(QString::fromLatin1(item.key));
        button->setToolTip(QString::fromUtf8(item.tooltip));
        connect(button, &QAction::triggered, this,
                [this, button] { tlbXCopy_ButtonClick(button); });
    }
}

void frmXCopy::composeFolderArea() {
    auto* frame = new QFrame(centralWidget());
    frame->setObjectName(QStringLiteral("picFolder"));
    frame->setFrameShape(QFrame::Box); // removed when the window loads
    picFolder = frame;
    picFolder->setGeometry(toPixelsX(0), toPixelsY(450 - 360), toPixelsX(6300), toPixelsY(690));

    const QIcon folderIcon(QStringLiteral(":/icons/folder.png"));
    auto makeRow = [&](const char* buttonName, const char* caption, const char* fieldName,
                       double top) {
        auto* button = new HotButton(picFolder);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setText(QString::fromUtf8(caption));
        button->setIcon(folderIcon);
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(toPixelsX(0), toPixelsY(top), toPixelsX(1290), toPixelsY(315));
        auto* field = new QLineEdit(QStringLiteral("Text1"), picFolder);
        field->setObjectName(QString::fromLatin1(fieldName));
        field->setGeometry(toPixelsX(1275), toPixelsY(top), toPixelsX(4140), toPixelsY(315));
        field->installEventFilter(this);
        button->setAcceptDrops(true); // a folder dropped on the button fills its field
        button->installEventFilter(this);
        return std::pair{button, field};
    };
    std::tie(cmdFrom, txtFrom) = makeRow("cmdFrom", "元フォルダ", "txtFrom", 0);
    std::tie(cmdTo, txtTo) = makeRow("cmdTo", "先フォルダ", "txtTo", 300);
    txtTo->raise(); // the destination row overlaps the source row by 15 twips
    connect(cmdFrom, &HotButton::Click, this, &frmXCopy::cmdFrom_Click);
    connect(cmdTo, &HotButton::Click, this, &frmXCopy::cmdTo_Click);
    picFolder->installEventFilter(this);
}

void frmXCopy::composeListArea() {
    auto* frame = new QFrame(centralWidget());
    frame->setObjectName(QStringLiteral("picBatList"));
    frame->setFrameShape(QFrame::Box); // removed when the window loads
    picBatList = frame;
    picBatList->setGeometry(toPixelsX(75), toPixelsY(1275 - 360), toPixelsX(6165), toPixelsY(2415));

    stbBatList = new QStatusBar(picBatList);
    stbBatList->setObjectName(QStringLiteral("stbBatList"));
    stbBatList->setSizeGripEnabled(false);
    stbBatList->setGeometry(toPixelsX(150), toPixelsY(75), toPixelsX(5715), toPixelsY(315));
    stbBatList->setFixedHeight(toPixelsY(315));
    for (const char* title : {"元フォルダ", "先フォルダ"}) {
        auto* panel = new QLabel(QString::fromUtf8(title), stbBatList);
        panel->setToolTip(panel->text());
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(toPixelsX(1440));
        stbBatList->addWidget(panel, 1);
    }

    lsvBatList = new QTreeView(picBatList);
    lsvBatList->setObjectName(QStringLiteral("lsvBatList"));
    lsvBatList->setGeometry(toPixelsX(150), toPixelsY(450), toPixelsX(5715), toPixelsY(1515));
    model_ = new BatchListModel(this);
    model_->setMarkIcons(QIcon(QStringLiteral(":/icons/ok.png")),
                         QIcon(QStringLiteral(":/icons/ng.png")));
    lsvBatList->setModel(model_);
    configureBatchListView(lsvBatList);
    // The title strip above the list carries the column titles.
    lsvBatList->header()->hide();
    lsvBatList->header()->setStretchLastSection(false); // both columns follow the layout
    lsvBatList->installEventFilter(this);
    lsvBatList->setColumnWidth(0, toPixelsX(1440));
    lsvBatList->setColumnWidth(1, toPixelsX(1440));
    lsvBatList->setContextMenuPolicy(Qt::PreventContextMenu);
    lsvBatList->viewport()->installEventFilter(this);
    lsvBatList->viewport()->setAcceptDrops(true); // folders dropped from a file manager
    connect(lsvBatList, &QTreeView::clicked, this, [this] { lsvBatList_ItemClick(); });
    picBatList->installEventFilter(this);
}

void frmXCopy::composeStatusBar() {
    stbXCopy = new QStatusBar(this);
    stbXCopy->setObjectName(QStringLiteral("stbXCopy"));
    stbXCopy->setMinimumHeight(toPixelsY(390));
    setStatusBar(stbXCopy);
    auto addPanel = [this](const char* key, const QString& text, int stretch) {
        auto* panel = new QLabel(text, stbXCopy);
        panel->setObjectName(QString::fromLatin1(key));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        stbXCopy->addWidget(panel, stretch);
        return panel;
    };
    for (const char* key : {"FileName", "BatName"}) {
        QLabel* panel = addPanel(key, QString(), 1);
        panel->setMinimumWidth(toPixelsX(1440));
        panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    QLabel* save = addPanel("Save", QStringLiteral("保存"), 0);
    save->setToolTip(save->text());
    save->setAlignment(Qt::AlignCenter);
    save->setFrameStyle(QFrame::NoFrame);
    save->setFixedWidth(toPixelsX(500));
}

QAction* findToolbarButton(const QToolBar* toolbar, const QString& key) {
    for (QAction* action : toolbar->actions())
        if (!action->isSeparator() && action->objectName() == key)
            return action;
    return nullptr;
}

QLabel* findStatusPanel(const QStatusBar* statusBar, const QString& key) {
    return statusBar->findChild<QLabel*>(key, Qt::FindDirectChildrenOnly);
}

} // namespace xcpy

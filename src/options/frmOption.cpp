#include "options/frmOption.h"

#include "common/twips.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <limits>

namespace xcpy {

int centredOffset(double ownerSize, double dialogSize) {
    return static_cast<int>(twips::whole(ownerSize - dialogSize) / 2);
}

double centredEdge(double ownerEdge, double ownerSize, double dialogSize) {
    return ownerEdge + centredOffset(ownerSize, dialogSize);
}

frmOption::frmOption(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("オプション設定"));

    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    // Places a control from its design-time position and size in twips.
    auto place = [dpiX, dpiY](QWidget* w, double left, double top, double width, double height) {
        w->setGeometry(twips::toPixels(left, dpiX), twips::toPixels(top, dpiY),
                       twips::toPixels(width, dpiX), twips::toPixels(height, dpiY));
    };

    setFixedSize(twips::toPixels(5220, dpiX), twips::toPixels(1485, dpiY));

    fraXCopy = new QGroupBox(QStringLiteral("XCOPYコマンドのオプションを設定します"), this);
    fraXCopy->setObjectName(QStringLiteral("fraXCopy"));
    place(fraXCopy, 75, 150, 5040, 765);

    txtXOption = new QLineEdit(fraXCopy);
    txtXOption->setObjectName(QStringLiteral("txtXOption"));
    txtXOption->setMaxLength(std::numeric_limits<int>::max()); // a line edit cuts at 32,767
    place(txtXOption, 150, 300, 3390, 315);

    cmdXInit = new QPushButton(QStringLiteral("初期化"), fraXCopy);
    cmdXInit->setObjectName(QStringLiteral("cmdXInit"));
    place(cmdXInit, 3600, 300, 1300, 315);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    place(cmdOK, 2400, 1050, 1300, 315);

    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    place(cmdCancel, 3750, 1050, 1300, 315);

    setTabOrder(txtXOption, cmdXInit);
    setTabOrder(cmdXInit, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, &frmOption::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOption::cmdCancel_Click);
    connect(cmdXInit, &QPushButton::clicked, this, &frmOption::cmdXInit_Click);
}

frmOption::~frmOption() = default;

void frmOption::setXOption(const QString& o_XOption) {
    m_XOption = o_XOption;
}

QString frmOption::XOption() const {
    return m_XOption;
}

bool frmOption::ShowEx(QWidget* o_Owner) {
    placeOn(o_Owner);
    txtXOption->setText(m_XOption);
    m_Cancel = true;
    txtXOption->setFocus();
    // Esc and the close box end here through reject(), which leaves the flag set.
    exec();
    return !m_Cancel;
}

void frmOption::cmdOK_Click() {
    m_XOption = txtXOption->text();
    m_Cancel = false;
    accept();
}

void frmOption::cmdCancel_Click() {
    m_Cancel = true;
    reject();
}

void frmOption::cmdXInit_Click() {
    txtXOption->setText(kDefaultXOption);
}

void frmOption::placeOn(QWidget* owner) {
    QRect ownerArea;
    if (owner) {
        QWidget* window = owner->window();
        ownerArea = owner->isWindow() ? owner->frameGeometry()
                                      : QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
        // Stacks above the owner's window without becoming its child widget.
        if (QWindow* ownerHandle = window->windowHandle()) {
            winId();
            windowHandle()->setTransientParent(ownerHandle);
        }
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        ownerArea = screen->availableGeometry();
    }

    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    const QSize size = frameGeometry().size();
    const double left = centredEdge(twips::fromPixels(ownerArea.x(), dpiX),
                                    twips::fromPixels(ownerArea.width(), dpiX),
                                    twips::fromPixels(size.width(), dpiX));
    const double top = centredEdge(twips::fromPixels(ownerArea.y(), dpiY),
                                   twips::fromPixels(ownerArea.height(), dpiY),
                                   twips::fromPixels(size.height(), dpiY));
    move(twips::toPixels(left, dpiX), twips::toPixels(top, dpiY));
}

frmOption& frmOptionHolder::get() {
    if (!m_Dialog)
        m_Dialog = std::make_unique<frmOption>();
    return *m_Dialog;
}

} // namespace xcpy

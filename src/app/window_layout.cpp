// The resize handlers: the layout arithmetic in twips applied to the window's controls.
#include "app/frmXCopy.h"

#include "app/layout.h"
#include "common/twips.h"

#include <QLineEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

namespace xcpy {
namespace {

// Geometry of a widget in twips, shifted by yOffset pixels (client area vs. central widget).
layout::Rect twipsRect(const QWidget* widget, double dpiX, double dpiY, int yOffset = 0) {
    const QRect r = widget->geometry();
    return {twips::fromPixels(r.x(), dpiX), twips::fromPixels(r.y() + yOffset, dpiY),
            twips::fromPixels(r.width(), dpiX), twips::fromPixels(r.height(), dpiY)};
}

void place(QWidget* widget, const std::optional<layout::Rect>& rect, double dpiX, double dpiY,
           int yOffset = 0) {
    if (!rect)
        return;
    widget->setGeometry(twips::toPixels(rect->left, dpiX),
                        twips::toPixels(rect->top, dpiY) - yOffset,
                        twips::toPixels(rect->width, dpiX), twips::toPixels(rect->height, dpiY));
}

} // namespace

void frmXCopy::Form_Resize() {
    // The window's client area holds the toolbar, the central widget and the status bar; the
    // folder and list areas live in the central widget, below the toolbar.
    const int toolbarPixels = tlbXCopy->isVisible() ? tlbXCopy->height() : 0;
    const int statusPixels = stbXCopy->isVisible() ? stbXCopy->height() : 0;
    layout::FormInput in;
    in.toolbarHeight = toTwipsY(toolbarPixels);
    in.innerWidth = toTwipsX(centralWidget()->width());
    in.innerHeight = toTwipsY(toolbarPixels + centralWidget()->height() + statusPixels);
    in.txtFromHeight = toTwipsY(txtFrom->height());
    in.txtToHeight = toTwipsY(txtTo->height());
    in.statusHeight = toTwipsY(statusPixels);
    in.picFolder = twipsRect(picFolder, dpiX(), dpiY(), toolbarPixels);
    in.picBatList = twipsRect(picBatList, dpiX(), dpiY(), toolbarPixels);

    const layout::FormResult out = layout::formResize(in);
    place(picFolder, out.picFolder, dpiX(), dpiY(), toolbarPixels);
    place(picBatList, out.picBatList, dpiX(), dpiY(), toolbarPixels);
}

void frmXCopy::picFolder_Resize() {
    layout::FolderInput in;
    in.innerWidth = toTwipsX(picFolder->width());
    in.txtFrom = twipsRect(txtFrom, dpiX(), dpiY());
    in.txtTo = twipsRect(txtTo, dpiX(), dpiY());
    const layout::FolderResult out = layout::folderResize(in);
    place(txtFrom, out.txtFrom, dpiX(), dpiY());
    place(txtTo, out.txtTo, dpiX(), dpiY());
}

void frmXCopy::picBatList_Resize() {
    layout::ListInput in;
    in.innerWidth = toTwipsX(picBatList->width());
    in.innerHeight = toTwipsY(picBatList->height());
    in.stbBatList = twipsRect(stbBatList, dpiX(), dpiY());
    in.lsvBatList = twipsRect(lsvBatList, dpiX(), dpiY());
    const layout::ListResult out = layout::listResize(in);
    place(stbBatList, out.stbBatList, dpiX(), dpiY());
    place(lsvBatList, out.lsvBatList, dpiX(), dpiY());
    if (out.column1Width)
        lsvBatList->setColumnWidth(0, toPixelsX(*out.column1Width));
    if (out.column2Width)
        lsvBatList->setColumnWidth(1, toPixelsX(*out.column2Width));
}

} // namespace xcpy

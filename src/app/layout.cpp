#include "app/layout.h"

#include "common/twips.h"

namespace xcpy::layout {

namespace {

// A control refuses a negative size; such a placement is dropped.
std::optional<Rect> place(double left, double top, double width, double height) {
    if (width < 0 || height < 0)
        return std::nullopt;
    return Rect{left, top, width, height};
}

std::optional<double> columnWidth(double listWidth) {
    const double width = static_cast<double>(twips::whole(listWidth) / 2) - kColumnMargin;
    if (width < 0)
        return std::nullopt;
    return width;
}

} // namespace

FormResult formResize(const FormInput& in) {
    FormResult out;
    double top = static_cast<double>(twips::whole(in.toolbarHeight + kToolbarGap));

    out.picFolder = place(0, top, in.innerWidth, in.txtFromHeight + in.txtToHeight);
    const double folderHeight = out.picFolder.value_or(in.picFolder).height;
    top = static_cast<double>(twips::whole(folderHeight + top));

    const double status = static_cast<double>(twips::whole(in.statusHeight));
    out.picBatList = place(0, top, in.innerWidth, in.innerHeight - top - status);
    return out;
}

FolderResult folderResize(const FolderInput& in) {
    FolderResult out;
    out.txtFrom =
        place(in.txtFrom.left, in.txtFrom.top, in.innerWidth - in.txtFrom.left, in.txtFrom.height);
    const double width = out.txtFrom.value_or(in.txtFrom).width;
    out.txtTo = place(in.txtTo.left, in.txtTo.top, width, in.txtTo.height);
    return out;
}

ListResult listResize(const ListInput& in) {
    ListResult out;
    out.stbBatList = place(0, 0, in.innerWidth, in.stbBatList.height);
    const double stbHeight = out.stbBatList.value_or(in.stbBatList).height;

    out.lsvBatList = place(0, stbHeight, in.innerWidth, in.innerHeight - stbHeight);
    const double listWidth = out.lsvBatList.value_or(in.lsvBatList).width;

    out.column1Width = columnWidth(listWidth);
    out.column2Width = columnWidth(listWidth);
    return out;
}

} // namespace xcpy::layout

#pragma once

#include <optional>

// Placement arithmetic of the main window, in twips. The functions take the controls' current
// geometry and return the geometry to apply; std::nullopt means "leave this control as it is".
// A placement with a negative width or height is skipped and the later steps still run, reading
// the control's last size where they need one.
namespace xcpy::layout {

struct Rect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

// Gap left between the toolbar and the folder area.
inline constexpr double kToolbarGap = 30;
// Left edge of the source and destination fields inside the folder area.
inline constexpr double kFieldLeft = 1275;
// Room taken from each half of the list width for a list column.
inline constexpr double kColumnMargin = 30;

struct FormInput {
    double toolbarHeight = 0;
    double innerWidth = 0; // client area, toolbar and status bar included
    double innerHeight = 0;
    double txtFromHeight = 0;
    double txtToHeight = 0;
    double statusHeight = 0;
    Rect picFolder; // current geometry
    Rect picBatList;
};

struct FormResult {
    std::optional<Rect> picFolder;
    std::optional<Rect> picBatList;
};

// Stacks the folder area under the toolbar and lets the list area fill the rest above the
// status bar.
FormResult formResize(const FormInput& in);

struct FolderInput {
    double innerWidth = 0; // of picFolder
    Rect txtFrom;          // current geometry
    Rect txtTo;
};

struct FolderResult {
    std::optional<Rect> txtFrom;
    std::optional<Rect> txtTo;
};

// Stretches both fields to the right edge of the folder area; txtTo follows txtFrom's width.
FolderResult folderResize(const FolderInput& in);

struct ListInput {
    double innerWidth = 0; // of picBatList
    double innerHeight = 0;
    Rect stbBatList; // current geometry
    Rect lsvBatList;
};

struct ListResult {
    std::optional<Rect> stbBatList;
    std::optional<Rect> lsvBatList;
    std::optional<double> column1Width;
    std::optional<double> column2Width;
};

// Puts the list's status strip on top, the list view under it, and splits the list width
// between the two columns.
ListResult listResize(const ListInput& in);

} // namespace xcpy::layout

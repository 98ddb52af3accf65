#include "app/layout.h"

#include <gtest/gtest.h>

namespace xcpy::layout {
namespace {

// The main window's areas, laid out by the three resize handlers in the order the window runs
// them, applying what they return.
struct Window {
    Rect picFolder{0, 0, 100, 100}, picBatList{0, 0, 100, 100};
    Rect txtFrom{kFieldLeft, 0, 500, 315}, txtTo{kFieldLeft, 315, 500, 315};
    Rect stbBatList{0, 0, 100, 315}, lsvBatList{0, 0, 100, 100};
    double column1 = 10, column2 = 10;

    void resize(double width, double height) {
        const FormResult form = formResize(
            {360, width, height, txtFrom.height, txtTo.height, 390, picFolder, picBatList});
        picFolder = form.picFolder.value_or(picFolder);
        picBatList = form.picBatList.value_or(picBatList);
        const FolderResult folder = folderResize({picFolder.width, txtFrom, txtTo});
        txtFrom = folder.txtFrom.value_or(txtFrom);
        txtTo = folder.txtTo.value_or(txtTo);
        const ListResult list =
            listResize({picBatList.width, picBatList.height, stbBatList, lsvBatList});
        stbBatList = list.stbBatList.value_or(stbBatList);
        lsvBatList = list.lsvBatList.value_or(lsvBatList);
        column1 = list.column1Width.value_or(column1);
        column2 = list.column2Width.value_or(column2);
    }
};

TEST(Layout, workedExampleThenMinimisedAndRestored) {
    Window w;
    w.resize(9270, 7215);
    EXPECT_EQ(w.picFolder, (Rect{0, 390, 9270, 630}));
    EXPECT_EQ(w.picBatList, (Rect{0, 1020, 9270, 5805}));
    EXPECT_EQ(w.txtFrom.width, 7995);
    EXPECT_EQ(w.txtTo.width, 7995);
    EXPECT_EQ(w.stbBatList, (Rect{0, 0, 9270, 315}));
    EXPECT_EQ(w.lsvBatList, (Rect{0, 315, 9270, 5490}));
    EXPECT_EQ(w.column1, 4605);
    EXPECT_EQ(w.column2, 4605);
    const Window before = w;

    w.resize(9270, 0); // minimised: the list area is kept
    EXPECT_FALSE(formResize({360, 9270, 0, 315, 315, 390, w.picFolder, w.picBatList}).picBatList);
    w.resize(9270, 7215);
    EXPECT_EQ(w.picBatList, before.picBatList);
    EXPECT_EQ(w.lsvBatList, before.lsvBatList);
    EXPECT_EQ(w.txtFrom, before.txtFrom);
}

TEST(Layout, oddAndNarrowWidths_halveTowardZeroOrKeepLastWidths) {
    const std::pair<double, double> columns[] = {{9271, 4605}, {61, 0}, {61.5, 1}};
    for (const auto& [width, column] : columns) {
        const ListResult r = listResize({width, 500, Rect{0, 0, 0, 315}, Rect{}});
        ASSERT_TRUE(r.column1Width && r.column2Width) << width;
        EXPECT_EQ(*r.column1Width, column) << width;
        EXPECT_EQ(*r.column2Width, column) << width;
    }
    const ListResult narrowList = listResize({59, 500, Rect{0, 0, 80, 315}, Rect{}});
    EXPECT_FALSE(narrowList.column1Width || narrowList.column2Width);

    // Narrower than the field left edge (1275): the source keeps its width, the destination
    // still follows it.
    const Rect from{kFieldLeft, 0, 700, 315}, to{kFieldLeft, 315, 400, 315};
    const FolderResult narrow = folderResize({1000, from, to});
    EXPECT_FALSE(narrow.txtFrom);
    ASSERT_TRUE(narrow.txtTo);
    EXPECT_EQ(*narrow.txtTo, (Rect{kFieldLeft, 315, 700, 315}));
    EXPECT_EQ(folderResize({kFieldLeft, from, to}).txtFrom->width, 0);
}

} // namespace
} // namespace xcpy::layout

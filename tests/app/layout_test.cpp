#include "app/layout.h"

#include <gtest/gtest.h>

namespace xcpy::layout {
namespace {

// The main window as first laid out at 9270x7215 twips of client area.
struct Window {
    Rect picFolder{0, 0, 100, 100};
    Rect picBatList{0, 0, 100, 100};
    Rect txtFrom{kFieldLeft, 0, 500, 315};
    Rect txtTo{kFieldLeft, 315, 500, 315};
    Rect stbBatList{0, 0, 100, 315};
    Rect lsvBatList{0, 0, 100, 100};
    double column1 = 10;
    double column2 = 10;

    // Runs the three resize handlers in the order the window sees them, applying what they
    // return.
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

TEST(Layout, typicalWindow_stacksAreasAndSplitsColumns) {
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
}

TEST(Layout, windowEnlarged_growsOnlyWhatFollowsTheSize) {
    Window w;
    w.resize(9270, 7215);
    const Window before = w;

    w.resize(10270, 7215);
    EXPECT_EQ(w.picFolder.width, before.picFolder.width + 1000);
    EXPECT_EQ(w.picBatList.width, before.picBatList.width + 1000);
    EXPECT_EQ(w.txtFrom.width, before.txtFrom.width + 1000);
    EXPECT_EQ(w.txtTo.width, before.txtTo.width + 1000);
    EXPECT_EQ(w.stbBatList.width, before.stbBatList.width + 1000);
    EXPECT_EQ(w.column1, before.column1 + 500);
    EXPECT_EQ(w.column2, before.column2 + 500);

    w.resize(9270, 8215);
    EXPECT_EQ(w.picFolder, before.picFolder);
    EXPECT_EQ(w.picBatList.height, before.picBatList.height + 1000);
    EXPECT_EQ(w.lsvBatList.height, before.lsvBatList.height + 1000);
    EXPECT_EQ(w.column1, before.column1);
}

TEST(Layout, oddListWidth_columnWidthHalvesTowardZero) {
    const struct {
        double width;
        double column;
    } cases[] = {{9271, 4605}, {9270, 4605}, {61, 0}, {61.5, 1}};
    for (const auto& c : cases) {
        const ListResult r = listResize({c.width, 500, Rect{0, 0, 0, 315}, Rect{}});
        ASSERT_TRUE(r.column1Width) << c.width;
        EXPECT_EQ(*r.column1Width, c.column) << c.width;
        EXPECT_EQ(*r.column2Width, c.column) << c.width;
    }
}

TEST(Layout, minimisedThenRestored_listAreaKeptThenSameLayout) {
    Window w;
    w.resize(9270, 7215);
    const Window before = w;

    const FormResult minimised =
        formResize({360, 9270, 0, 315, 315, 390, w.picFolder, w.picBatList});
    EXPECT_FALSE(minimised.picBatList);
    EXPECT_TRUE(minimised.picFolder);

    w.resize(9270, 0);
    EXPECT_EQ(w.picBatList, before.picBatList);
    w.resize(9270, 7215);
    EXPECT_EQ(w.picBatList, before.picBatList);
    EXPECT_EQ(w.lsvBatList, before.lsvBatList);
    EXPECT_EQ(w.txtFrom, before.txtFrom);
}

TEST(Layout, folderAreaNarrowerThanFieldLeft_fieldsKeepLastWidth) {
    const Rect from{kFieldLeft, 0, 700, 315};
    const Rect to{kFieldLeft, 315, 400, 315};
    const FolderResult r = folderResize({1000, from, to});
    EXPECT_FALSE(r.txtFrom);
    // The destination still follows the source field's last width.
    ASSERT_TRUE(r.txtTo);
    EXPECT_EQ(*r.txtTo, (Rect{kFieldLeft, 315, 700, 315}));

    const FolderResult exact = folderResize({kFieldLeft, from, to});
    ASSERT_TRUE(exact.txtFrom);
    EXPECT_EQ(exact.txtFrom->width, 0);
}

TEST(Layout, listNarrowerThanTwoMargins_columnsKeepLastWidth) {
    const ListResult r = listResize({59, 500, Rect{0, 0, 80, 315}, Rect{}});
    ASSERT_TRUE(r.lsvBatList);
    EXPECT_EQ(r.lsvBatList->width, 59);
    EXPECT_FALSE(r.column1Width);
    EXPECT_FALSE(r.column2Width);
}

TEST(Layout, fractionalTwips_edgesRoundHalfToEven) {
    // 352.5 + 30 -> 382; 600.5 + 382 -> 982; status 390.5 -> 390.
    const FormResult r = formResize({352.5, 3000, 5000, 300.5, 300, 390.5, Rect{}, Rect{}});
    ASSERT_TRUE(r.picFolder && r.picBatList);
    EXPECT_EQ(r.picFolder->top, 382);
    EXPECT_EQ(r.picFolder->height, 600.5);
    EXPECT_EQ(r.picBatList->top, 982);
    EXPECT_EQ(r.picBatList->height, 5000 - 982 - 390);
}

} // namespace
} // namespace xcpy::layout

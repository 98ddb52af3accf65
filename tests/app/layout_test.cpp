#include "app/layout.h"

#include <gtest/gtest.h>

namespace xcpy::layout {
namespace {

TEST(Layout, workedExample_andAMinimisedWindowKeepsItsListArea) {
    const Rect start{0, 0, 100, 100};
    const FormResult form = formResize({360, 9270, 7215, 315, 315, 390, start, start});
    EXPECT_EQ(form.picFolder, (Rect{0, 390, 9270, 630}));
    EXPECT_EQ(form.picBatList, (Rect{0, 1020, 9270, 5805}));
    const FolderResult folder =
        folderResize({9270, Rect{kFieldLeft, 0, 500, 315}, Rect{kFieldLeft, 315, 500, 315}});
    EXPECT_EQ(std::pair(folder.txtFrom->width, folder.txtTo->width), std::pair(7995.0, 7995.0));
    const ListResult list = listResize({9270, 5805, Rect{0, 0, 100, 315}, start});
    EXPECT_EQ(list.stbBatList, (Rect{0, 0, 9270, 315}));
    EXPECT_EQ(list.lsvBatList, (Rect{0, 315, 9270, 5490}));
    EXPECT_EQ(std::pair(list.column1Width, list.column2Width),
              std::pair(std::optional(4605.0), std::optional(4605.0)));
    EXPECT_FALSE(
        formResize({360, 9270, 0, 315, 315, 390, *form.picFolder, *form.picBatList}).picBatList);
}

TEST(Layout, oddAndNarrowWidths_halveTowardZeroOrKeepLastWidths) {
    const std::pair<double, double> columns[] = {{9271, 4605}, {61, 0}, {61.5, 1}};
    for (const auto& [width, column] : columns) {
        const ListResult r = listResize({width, 500, Rect{0, 0, 0, 315}, Rect{}});
        EXPECT_EQ(std::pair(r.column1Width, r.column2Width),
                  std::pair(std::optional(column), std::optional(column)))
            << width;
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

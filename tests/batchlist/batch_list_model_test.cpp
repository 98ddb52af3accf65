#include "batchlist/batch_list_model.h"

#include <QPixmap>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(batchlist_Model, markPicture_followsRowMarkOnceIconsAreSet) {
    BatchListModel model;
    model.insertEntry(-1, {"/s", "/d", CheckMark::OK});
    model.insertEntry(-1, {"/s", "/x", CheckMark::NG});
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).isValid());
    QPixmap green(16, 16), red(16, 16);
    green.fill(Qt::green);
    red.fill(Qt::red);
    const QIcon ok(green), ng(red);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setMarkIcons(ok, ng);
    ASSERT_EQ(changed.size(), 1);
    const auto iconAt = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::DecorationRole).value<QIcon>();
    };
    EXPECT_EQ(iconAt(0, 0).cacheKey(), ok.cacheKey());
    EXPECT_EQ(iconAt(1, 0).cacheKey(), ng.cacheKey());
    EXPECT_TRUE(iconAt(0, 1).isNull());
}

} // namespace
} // namespace xcpy

#include "batchlist/batch_list_model.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

BatchEntry makeEntry(const QString& name, CheckMark mark = CheckMark::OK) {
    return {"/s/" + name, "/d/" + name, mark};
}

QStringList sources(const BatchListModel& model) {
    QStringList out;
    for (const BatchEntry& e : model.entries())
        out << e.source;
    return out;
}

QIcon solidIcon(Qt::GlobalColor color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

TEST(batchlist_Model, insertPositions_placeRowOrRejectWithoutSignals) {
    BatchListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy aboutToInsert(&model, &QAbstractItemModel::rowsAboutToBeInserted);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const struct {
        int position;
        const char* name;
        int expectedRow;
        QStringList expectedOrder;
    } steps[] = {
        {0, "a", -1, {}},             // position 0 does not exist, even in an empty list
        {2, "a", -1, {}},             // n+2
        {-1, "a", 0, {"a"}},          // append to the empty list
        {1, "b", 0, {"b", "a"}},      // first
        {3, "c", 2, {"b", "a", "c"}}, // n+1 is the end
        {2, "d", 1, {"b", "d", "a", "c"}},
        {-1, "e", 4, {"b", "d", "a", "c", "e"}},
        {0, "x", -1, {"b", "d", "a", "c", "e"}},
        {-2, "x", -1, {"b", "d", "a", "c", "e"}},
        {7, "x", -1, {"b", "d", "a", "c", "e"}},
    };
    int expectedSignals = 0;
    for (const auto& s : steps) {
        const auto label = ::testing::Message() << "position " << s.position << " name " << s.name;
        EXPECT_EQ(model.insertEntry(s.position, makeEntry(s.name)), s.expectedRow) << label;
        QStringList expected;
        for (const QString& n : s.expectedOrder)
            expected << "/s/" + n;
        EXPECT_EQ(sources(model), expected) << label;
        EXPECT_EQ(model.rowCount(), expected.size()) << label;
        if (s.expectedRow >= 0) {
            ++expectedSignals;
            EXPECT_EQ(inserted.last().at(1).toInt(), s.expectedRow) << label;
            EXPECT_EQ(inserted.last().at(2).toInt(), s.expectedRow) << label;
        }
        EXPECT_EQ(aboutToInsert.size(), expectedSignals) << label;
        EXPECT_EQ(inserted.size(), expectedSignals) << label;
    }
}

TEST(batchlist_Model, storedTexts_comeBackExactlyInBothColumns) {
    BatchListModel model;
    const BatchEntry typed{"  C:\\Data\\Mixed Case\\  ", "d:\\BACKUP\\", CheckMark::NG};
    ASSERT_EQ(model.insertEntry(-1, typed), 0);

    EXPECT_EQ(model.entry(0).source, typed.source);
    EXPECT_EQ(model.entry(0).destination, typed.destination);
    EXPECT_EQ(model.entry(0).mark, CheckMark::NG);
    EXPECT_EQ(model.data(model.index(0, BatchListModel::SourceColumn)).toString(), typed.source);
    EXPECT_EQ(model.data(model.index(0, BatchListModel::DestinationColumn)).toString(),
              typed.destination);
    EXPECT_EQ(model.data(model.index(0, 1), BatchListModel::MarkKeyRole).toString(), "NG");
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);

    // Rows outside the list read as an empty NG entry rather than past the end.
    EXPECT_TRUE(model.entry(1).source.isEmpty());
    EXPECT_TRUE(model.entry(-1).destination.isEmpty());

    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("元フォルダ"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("先フォルダ"));
}

TEST(batchlist_Model, markPicture_followsRowMarkOnceIconsAreSet) {
    BatchListModel model;
    model.insertEntry(-1, makeEntry("ok", CheckMark::OK));
    model.insertEntry(-1, makeEntry("ng", CheckMark::NG));
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).isValid());
    EXPECT_EQ(model.data(model.index(0, 0), BatchListModel::MarkKeyRole).toString(), "OK");
    EXPECT_EQ(model.data(model.index(1, 0), BatchListModel::MarkKeyRole).toString(), "NG");

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QIcon ok = solidIcon(Qt::green);
    const QIcon ng = solidIcon(Qt::red);
    model.setMarkIcons(ok, ng);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.first().at(1).value<QModelIndex>().row(), 1);

    const auto iconAt = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::DecorationRole).value<QIcon>();
    };
    EXPECT_EQ(iconAt(0, 0).cacheKey(), ok.cacheKey());
    EXPECT_EQ(iconAt(1, 0).cacheKey(), ng.cacheKey());
    EXPECT_TRUE(iconAt(0, 1).isNull());
}

TEST(batchlist_Model, removeAndClear_keepModelConsistent) {
    BatchListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.reserve(8);
    for (const char* name : {"a", "b", "c", "d"})
        model.insertEntry(-1, makeEntry(name));

    EXPECT_FALSE(model.removeEntry(4));
    EXPECT_FALSE(model.removeEntry(-1));
    EXPECT_EQ(removed.size(), 0);
    EXPECT_TRUE(model.removeEntry(1));
    EXPECT_EQ(sources(model), (QStringList{"/s/a", "/s/c", "/s/d"}));
    EXPECT_TRUE(model.removeEntry(2));
    EXPECT_EQ(sources(model), (QStringList{"/s/a", "/s/c"}));
    EXPECT_EQ(removed.size(), 2);

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(reset.size(), 1);
    model.clear();
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(model.insertEntry(1, makeEntry("e")), 0);
}

} // namespace
} // namespace xcpy

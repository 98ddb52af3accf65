#include "support/silent_share.h"
#include "support/window_fixture.h"

#include <QElapsedTimer>
#include <QFile>

namespace xcpy::test {
namespace {

using DeadShare = WindowTest;

TEST_F(DeadShare, rowsOnASilentShare_areNgAndTheWindowIsFreeWithinTwoSeconds) {
    const SilentShare share;
    if (!share.unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(share.unavailable);
    load();
    const QString local = makeFolder("local");
    const QString list = path("job.xcpy");
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("%1=%2\r\n%2=%3\r\n%2=%2\r\n")
                   .arg(share.path("backup/a"), local, share.path("backup/b"))
                   .toUtf8());
    file.close();

    QElapsedTimer clock;
    clock.start();
    window->OpenBatList(list);
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(rows(), 3);
    const CheckMark expected[] = {CheckMark::NG, CheckMark::NG, CheckMark::OK};
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(window->model().entry(row).mark, expected[row]) << row;
    EXPECT_EQ(window->model().entry(2).source, local);

    // The share has a test stuck on it: a new folder there is unreachable without another wait.
    clock.restart();
    addPair(local, share.path("other"));
    EXPECT_LT(clock.elapsed(), 400);
    ASSERT_EQ(rows(), 4);
    EXPECT_EQ(window->model().entry(3).mark, CheckMark::NG);
}

} // namespace
} // namespace xcpy::test

#include "support/silent_share.h"
#include "support/window_fixture.h"

#include "files/test_helpers.h"

#include <QElapsedTimer>

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
    ASSERT_TRUE(writeBytes(list, QStringLiteral("%1=%2\r\n%2=%3\r\n%2=%2\r\n")
                                     .arg(share.path("backup/a"), local, share.path("backup/b"))
                                     .toUtf8()));

    QElapsedTimer clock;
    clock.start();
    window->OpenBatList(list);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(marks(), "NNO");

    // The share has a test stuck on it: a new folder there is unreachable without another wait.
    clock.restart();
    addPair(local, share.path("other"));
    EXPECT_LT(clock.elapsed(), 400);
    EXPECT_EQ(marks(), "NNON");
}

} // namespace
} // namespace xcpy::test

#include "support/read_only_folder.h"

#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A headless start of the program with its own home, runtime and configuration folders.
void start(QProcess& program, const QString& home, const QString& runtime) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(XCPY_BIN_DIR "/xcpylist"), {});
    ASSERT_TRUE(program.waitForStarted());
}

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

TEST(SingleInstance, secondStart_exitsAtOnceWithStatusZeroAndNoSettings) {
    // Both processes share one runtime and configuration folder, as two starts by one user do.
    QTemporaryDir home;
    const QString runtime = home.filePath("runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, kOwnerOnly);
    QProcess first, second;
    start(first, home.path(), runtime);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(runtime + "/xcpylist.lock"); }, 10000));
    start(second, home.path(), runtime);
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second start must end by itself";
    EXPECT_EQ(std::pair(second.exitStatus(), second.exitCode()),
              std::pair(QProcess::NormalExit, 0));
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(home.filePath("config/xcpylist/xcpylist.ini")));
    first.kill();
    first.waitForFinished();
}

// A lock that cannot be made is no other instance: the program starts and stays up.
TEST(SingleInstance, lockThatCannotBeMade_stillGivesAWindow) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for a read-only mount and another user's file";
    QTemporaryDir home, runtime;
    QFile::setPermissions(runtime.path(), kOwnerOnly);
    // Another user's lock file of the same name, naming a live process of the same name.
    QLockFile othersLock(runtime.filePath("xcpylist.lock"));
    ASSERT_TRUE(othersLock.tryLock(0));
    ASSERT_EQ(
        ::chown(QFile::encodeName(runtime.filePath("xcpylist.lock")).constData(), 65534, 65534), 0);
    const xcpy::test::ReadOnlyFolder readOnly;
    ASSERT_EQ(readOnly.unavailable, "");
    for (const QString& runtimeFolder : {readOnly.path(), runtime.path()}) {
        QProcess program;
        start(program, home.path(), runtimeFolder);
        EXPECT_FALSE(program.waitForFinished(1500)) << runtimeFolder.toStdString();
        program.kill();
        program.waitForFinished();
    }
}

} // namespace

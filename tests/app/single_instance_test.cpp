#include "support/read_only_folder.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A headless start of the program with its own home, runtime and configuration folders.
QProcessEnvironment programEnvironment(const QString& home, const QString& runtime) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    return env;
}

TEST(SingleInstance, secondStart_exitsAtOnceWithStatusZeroAndNoSettings) {
    // Both processes share one runtime and configuration folder, as two starts by one user do.
    QTemporaryDir home;
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.filePath("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QProcessEnvironment env = programEnvironment(home.path(), home.filePath("runtime"));
    const QString program = QStringLiteral(XCPY_BIN_DIR "/xcpylist");

    QProcess first, second;
    first.setProcessEnvironment(env);
    second.setProcessEnvironment(env);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    QElapsedTimer clock; // until the first instance holds its lock
    clock.start();
    while (QDir(home.filePath("runtime")).entryList({"xcpylist.lock"}, QDir::Files).isEmpty() &&
           clock.elapsed() < 10000)
        QThread::msleep(20);

    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second start must end by itself";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(home.filePath("config/xcpylist/xcpylist.ini")));
    first.terminate();
    first.waitForFinished(5000);
}

// A lock that cannot be made is no other instance: the program starts and stays up.
TEST(SingleInstance, lockThatCannotBeMade_stillGivesAWindow) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for a read-only mount and another user's file";
    QTemporaryDir home, runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Another user's lock file of the same name, naming a live process of the same name.
    QLockFile othersLock(runtime.filePath("xcpylist.lock"));
    ASSERT_TRUE(othersLock.tryLock(0));
    ASSERT_EQ(
        ::chown(QFile::encodeName(runtime.filePath("xcpylist.lock")).constData(), 65534, 65534), 0);
    const xcpy::test::ReadOnlyFolder readOnly;
    ASSERT_EQ(readOnly.unavailable, "");

    for (const QString& runtimeFolder : {readOnly.path(), runtime.path()}) {
        QProcess program;
        program.setProcessEnvironment(programEnvironment(home.path(), runtimeFolder));
        program.start(QStringLiteral(XCPY_BIN_DIR "/xcpylist"), {});
        ASSERT_TRUE(program.waitForStarted());
        EXPECT_FALSE(program.waitForFinished(1500)) << runtimeFolder.toStdString();
        program.kill();
        program.waitForFinished(5000);
    }
}

} // namespace

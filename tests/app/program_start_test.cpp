#include "app/instance_lock.h"
#include "app/qt_translations.h"
#include "app/run_files_folder.h"
#include "support/read_only_folder.h"
#include "support/unprivileged.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace xcpy {
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

TEST(SingleInstance, secondStart_exitsAtOnceWithStatusZeroAndNoSettings) {
    // Both processes share one runtime and configuration folder, as two starts by one user do.
    QTemporaryDir home;
    const QString runtime = home.filePath("runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

// Only a lock of this user naming a live process stops a start; one that cannot be made or that
// belongs to another user must not keep the user from working.
TEST(InstanceLock, onlyThisUsersLiveLockCountsAsAnotherInstance) {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("xcpylist.lock");
    {
        const InstanceLock first(path);
        EXPECT_FALSE(first.heldByAnotherInstance());
        EXPECT_TRUE(InstanceLock(path).heldByAnotherInstance());
    }
    const test::ReadOnlyFolder readOnly;
    ASSERT_EQ(readOnly.unavailable, "");
    EXPECT_FALSE(InstanceLock(readOnly.filePath("xcpylist.lock")).heldByAnotherInstance());
    // A lock left behind by a process that died, where it cannot be removed.
    const test::ReadOnlyFolder leftover([](const QString& folder) {
        // The child ends without unlocking: its lock stays, naming a process that is gone.
        test::inChildProcess(
            [&] { return (new QLockFile(folder + "/xcpylist.lock"))->tryLock(0); });
    });
    ASSERT_EQ(leftover.unavailable, "");
    ASSERT_TRUE(QFile::exists(leftover.filePath("xcpylist.lock")));
    EXPECT_FALSE(InstanceLock(leftover.filePath("xcpylist.lock")).heldByAnotherInstance());
    EXPECT_TRUE(QFile::exists(leftover.filePath("xcpylist.lock"))) << "it could not be removed";
    if (::geteuid() != 0)
        GTEST_SKIP() << "another user's lock file needs root";
    QLockFile others(path);
    ASSERT_TRUE(others.tryLock(0));
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    EXPECT_FALSE(InstanceLock(path).heldByAnotherInstance());
}

// An installed copy, whose folder the user cannot write, is checked by the install tests.
TEST(RunFilesFolder, programFolderWhenWritableElseTheUserDataFolderMadeOnDemand) {
    QTemporaryDir temp;
    const QString program = temp.filePath("bin"), data = temp.filePath("data/xcpylist");
    QDir().mkpath(program);
    EXPECT_EQ(chooseRunFilesFolder(program, data), program);
    EXPECT_FALSE(QDir(data).exists());
    EXPECT_EQ(chooseRunFilesFolder(temp.filePath("gone"), data), data);
    EXPECT_TRUE(QDir(data).exists());
}

TEST(QtTranslations, standardButtonsSpeakJapanese) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
        GTEST_SKIP() << "Qt's Japanese texts are not installed (Debian package "
                        "qt6-translations-l10n)";
    // Deleting the translator removes it again, so later tests see Qt's English texts.
    const std::unique_ptr<QTranslator> japanese(
        installQtTranslations(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("はい(&Y)"));
}

} // namespace
} // namespace xcpy

#include "companions/file_run_log.h"
#include "companions/ini_settings_store.h"
#include "companions/path_helper.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(IniSettingsStore, valuesRoundTripExactlyAcrossRuns) {
    QTemporaryDir config;
    const QStringList values = {
        "/D /E ", "", "C:\\データ\\報告書", " = ; # \" \\ ", "a\tb\nc", "[group]", "%PATH%"};
    {
        IniSettingsStore store(config.path());
        store.Section(QStringLiteral("xcpylist"));
        for (int i = 0; i < values.size(); ++i)
            store.WriteSetting(QStringLiteral("Key%1").arg(i), values[i]);
        QLabel panel(QStringLiteral("/lists/job.xcpy"));
        store.WriteSetting(QStringLiteral("FileName"), QVariant::fromValue<QObject*>(&panel));
    }
    IniSettingsStore store(config.path());
    store.Section(QStringLiteral("xcpylist"));
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(store.ReadSetting(QStringLiteral("Key%1").arg(i), "default").toString(),
                  values[i])
            << i;
    EXPECT_EQ(store.ReadSetting(QStringLiteral("FileName"), "").toString(), "/lists/job.xcpy");
    EXPECT_EQ(store.ReadSetting(QStringLiteral("Missing"), "/D /E ").toString(), "/D /E ");
}

TEST(IniSettingsStore, missingEmptyOrGarbledFile_givesDefaults) {
    QTemporaryDir config;
    const auto readBack = [&] {
        IniSettingsStore store(config.path());
        store.Section(QStringLiteral("xcpylist"));
        return store.ReadSetting(QStringLiteral("XOption"), "/D /E ").toString();
    };
    EXPECT_EQ(readBack(), "/D /E ");
    QDir(config.path()).mkpath("xcpylist");
    for (const QByteArray& content :
         {QByteArray(), QByteArray("\x00\xff\xfe garbage [[[ =\n\x01"),
          QByteArray("[xcpylist]\nXOption=@Variant(\\0\\0\\0\\x7f)\n")}) {
        QFile file(config.filePath("xcpylist/xcpylist.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        EXPECT_EQ(readBack(), "/D /E ");
    }
}

TEST(FileRunLog, unwritableLog_losesLinesWithoutStopping) {
    QTemporaryDir folder;
    FileRunLog log;
    log.LogPath(folder.filePath("no/such/folder/X.log"));
    log.LogOption(true);
    log.LogLine(QStringLiteral("バッチ作成")); // nothing to check but that it returns
    log.LogPath(folder.filePath("X.log"));
    log.LogLine(QStringLiteral("XCOPY実行"));
    log.LogLine(QStringLiteral("XCopy.exe \"a\" \"b\" /D /E "));
    QFile file(folder.filePath("X.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith("\tXCOPY実行"));
    EXPECT_TRUE(lines[1].endsWith("\tXCopy.exe \"a\" \"b\" /D /E "));
}

TEST(PathRules, extensionAndFolder) {
    EXPECT_EQ(extensionOfPath("/lists/job.XCPY"), "XCPY");
    EXPECT_EQ(extensionOfPath("/lists.d/job"), "");
    EXPECT_EQ(extensionOfPath("/lists/job.tar.xcpy"), "xcpy");
    EXPECT_EQ(folderOfPath("/lists/job.xcpy"), "/lists");
}

} // namespace
} // namespace xcpy

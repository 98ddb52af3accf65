#include "companions/file_run_log.h"
#include "companions/ini_settings_store.h"
#include "files/test_helpers.h"
#include "support/read_only_folder.h"

#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(IniSettingsStore, valuesRoundTripExactlyAndBadFilesGiveDefaults) {
    QTemporaryDir config;
    const QStringList values = {"/D /E ", "", "C:\\データ\\報告書", " = ; # \" \\ ", "[g]\n%P%"};
    {
        IniSettingsStore store(config.path());
        store.Section(QStringLiteral("xcpylist"));
        for (int i = 0; i < values.size(); ++i)
            store.WriteSetting(QStringLiteral("Key%1").arg(i), values[i]);
        QLabel panel(QStringLiteral("/lists/job.xcpy"));
        store.WriteSetting(QStringLiteral("FileName"), QVariant::fromValue<QObject*>(&panel));
    }
    const auto read = [&](const QString& key, const QString& folder = {}) {
        IniSettingsStore store(folder.isEmpty() ? config.path() : folder);
        store.Section(QStringLiteral("xcpylist"));
        return store.ReadSetting(key, "default").toString();
    };
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(read(QStringLiteral("Key%1").arg(i)), values[i]) << i;
    EXPECT_EQ(read("FileName"), "/lists/job.xcpy");
    EXPECT_EQ(read("Missing"), "default");

    for (const QByteArray& content : {QByteArray(), QByteArray("\x00\xff\xfe [[[ =\n\x01"),
                                      QByteArray("[xcpylist]\nKey0=@Variant(\\0\\0\\0\\x7f)\n")}) {
        ASSERT_TRUE(writeBytes(config.filePath("xcpylist/xcpylist.ini"), content));
        EXPECT_EQ(read("Key0"), "default");
    }
    QTemporaryDir fresh;
    EXPECT_EQ(read("Key0", fresh.path()), "default");
}

TEST(IniSettingsStore, settingsThatCannotBeStored_sayWhereAndWhy) {
    const struct {
        QString xdg, home, database, expected;
    } folders[] = {
        {"/x", "/h", "/d", "/x"},
        {"relative", "/h", "/d", "/h/.config"},
        {"", "", "/d", "/d/.config"},
        {"", "", "", ""},
    };
    for (const auto& f : folders)
        EXPECT_EQ(userConfigFolder(f.xdg, f.home, f.database), f.expected) << f.xdg.toStdString();

    QTemporaryDir config;
    IniSettingsStore writable(config.filePath("new")); // a folder it has to make
    writable.Section(QStringLiteral("xcpylist"));
    writable.WriteSetting(QStringLiteral("XOption"), QStringLiteral("/E "));
    EXPECT_EQ(writable.WriteFailure(), "");

    IniSettingsStore homeless{QString()}; // kept for this run, and said so
    homeless.Section(QStringLiteral("xcpylist"));
    EXPECT_EQ(homeless.ReadSetting(QStringLiteral("XOption"), "/D /E ").toString(), "/D /E ");
    homeless.WriteSetting(QStringLiteral("XOption"), QStringLiteral("/E "));
    EXPECT_EQ(homeless.ReadSetting(QStringLiteral("XOption"), "/D /E ").toString(), "/E ");
    EXPECT_TRUE(homeless.WriteFailure().contains("ホームフォルダ"));

    const test::ReadOnlyFolder readOnly;
    if (!readOnly.unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(readOnly.unavailable);
    IniSettingsStore store(readOnly.path());
    store.Section(QStringLiteral("xcpylist"));
    store.WriteSetting(QStringLiteral("InitDir"), QStringLiteral("/a"));
    store.WriteSetting(QStringLiteral("BatDir"), QStringLiteral("/b"));
    const QString failure = store.WriteFailure();
    EXPECT_TRUE(failure.contains(readOnly.filePath("xcpylist/xcpylist.ini")) &&
                failure.contains(::geteuid() == 0 ? "読み取り専用" : "権限"))
        << failure.toStdString();
}

TEST(FileRunLog, unwritableLog_losesLinesWithoutStopping) {
    QTemporaryDir folder;
    FileRunLog log;
    log.LogPath(folder.filePath("no/such/folder/X.log"));
    log.LogOption(true);
    log.LogLine(QStringLiteral("バッチ作成")); // nothing to check but that it returns
    log.LogPath(folder.filePath("X.log"));
    log.LogLine(QStringLiteral("XCOPY実行"));
    const QStringList lines =
        QString::fromUtf8(readBytes(folder.filePath("X.log"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith("\tXCOPY実行"));
}

} // namespace
} // namespace xcpy

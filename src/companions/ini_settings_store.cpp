#include "companions/ini_settings_store.h"

#include "common/write_cause.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace xcpy {
namespace {

QString homeOfUserDatabaseEntry() {
    const struct passwd* entry = ::getpwuid(::geteuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}

QString causeText(int error) {
    if (error == ENOTDIR)
        return QStringLiteral("途中にフォルダでないものがあります。");
    switch (writeCauseOf(error)) {
    case WriteCause::NoPermission:
        return QStringLiteral("書き込む権限がありません。");
    case WriteCause::ReadOnlyFileSystem:
        return QStringLiteral("読み取り専用のファイルシステムです。");
    case WriteCause::DiskFull:
        return QStringLiteral("ディスクの空き容量が足りません。");
    case WriteCause::MissingFolder:
    case WriteCause::Other:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

// errno of making a file in `folder`, 0 when that works; the probe file is removed again.
int fileCreationError(const QString& folder) {
    QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.xcpylist-XXXXXX"));
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return errno;
    ::close(fd);
    ::unlink(probe.constData());
    return 0;
}

// Why the settings file cannot be written: the folder cannot be made, no file can be made in it,
// or the file itself cannot be written.
QString whyNotWritable(const QString& filePath) {
    const QString folder = QFileInfo(filePath).absolutePath();
    const QString existing = nearestExistingFolder(folder);
    if (!QFileInfo(existing).isDir())
        return causeText(ENOTDIR);
    if (const int error = fileCreationError(existing))
        return causeText(error);
    if (existing == folder) {
        const QByteArray path = QFile::encodeName(filePath);
        const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0 && errno != ENOENT)
            return causeText(errno);
        if (fd >= 0)
            ::close(fd);
    }
    return QStringLiteral("ファイルに書き込めませんでした。");
}

} // namespace

QString userConfigFolder(const QString& xdgConfigHome, const QString& home,
                         const QString& databaseHome) {
    if (QDir::isAbsolutePath(xdgConfigHome))
        return xdgConfigHome;
    for (const QString& folder : {home, databaseHome})
        if (!folder.isEmpty())
            return QDir(folder).filePath(QStringLiteral(".config"));
    return {};
}

IniSettingsStore::IniSettingsStore()
    : IniSettingsStore(userConfigFolder(qEnvironmentVariable("XDG_CONFIG_HOME"),
                                        qEnvironmentVariable("HOME"), homeOfUserDatabaseEntry())) {}

IniSettingsStore::IniSettingsStore(QString configDir) : configDir_(std::move(configDir)) {}

IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::Section(const QVariant& name) {
    section_ = name.toString();
    if (!configDir_.isEmpty())
        settings_ = std::make_unique<QSettings>(filePath(), QSettings::IniFormat);
}

// The two store options and the toolbar height change nothing in this store.
void IniSettingsStore::StoreOption2(bool) {}
void IniSettingsStore::StoreOption1(bool) {}
void IniSettingsStore::ToolbarHeight(qint32) {}

void IniSettingsStore::AttachWindow(QWidget* window) {
    window_ = window;
}

QString IniSettingsStore::filePath() const {
    if (configDir_.isEmpty())
        return {};
    return QDir(configDir_)
        .filePath(section_ + QLatin1Char('/') + section_ + QStringLiteral(".ini"));
}

QVariant IniSettingsStore::ReadSetting(const QVariant& key, const QVariant& defaultValue) {
    if (!settings_)
        return memory_.contains(key.toString()) ? QVariant(memory_.value(key.toString()))
                                                : defaultValue;
    // A missing, empty or garbled file reads as "nothing stored".
    if (settings_->status() != QSettings::NoError)
        return defaultValue;
    const QString fullKey = section_ + QLatin1Char('/') + key.toString();
    if (!settings_->contains(fullKey))
        return defaultValue;
    const QVariant stored = settings_->value(fullKey);
    // Only texts are ever written; anything else is a garbled entry.
    if (stored.typeId() != QMetaType::QString)
        return defaultValue;
    return stored;
}

void IniSettingsStore::WriteSetting(const QVariant& key, const QVariant& value) {
    if (!settings_) {
        memory_.insert(key.toString(), settingValueText(value));
        if (writeFailure_.isEmpty())
            writeFailure_ = QStringLiteral("ホームフォルダが見つからないため、設定はこの実行の間"
                                           "だけ使われ、保存されていません。");
        return;
    }
    settings_->setValue(section_ + QLatin1Char('/') + key.toString(), settingValueText(value));
    settings_->sync();
    if (settings_->status() == QSettings::NoError || !writeFailure_.isEmpty())
        return;
    const QString cause = settings_->status() == QSettings::FormatError
                              ? QStringLiteral("ファイルの内容が壊れています。")
                              : whyNotWritable(filePath());
    writeFailure_ = QStringLiteral("設定を保存できませんでした。\n%1\n%2")
                        .arg(QDir::toNativeSeparators(filePath()), cause);
}

QString IniSettingsStore::WriteFailure() const {
    return writeFailure_;
}

} // namespace xcpy

#include "companions/ini_settings_store.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace xcpy {

IniSettingsStore::IniSettingsStore(QString configDir) : configDir_(std::move(configDir)) {
    if (configDir_.isEmpty())
        configDir_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::Section(const QVariant& name) {
    section_ = name.toString();
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
    return QDir(configDir_)
        .filePath(section_ + QLatin1Char('/') + section_ + QStringLiteral(".ini"));
}

QVariant IniSettingsStore::ReadSetting(const QVariant& key, const QVariant& defaultValue) {
    // A missing, empty or garbled file reads as "nothing stored".
    if (!settings_ || settings_->status() != QSettings::NoError)
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
    if (!settings_)
        return;
    settings_->setValue(section_ + QLatin1Char('/') + key.toString(), settingValueText(value));
    settings_->sync();
}

} // namespace xcpy

#pragma once

#include "companions/settings_store.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QSettings;

namespace xcpy {

// Settings in an INI file <configDir>/<section>/<section>.ini, group <section>.
class IniSettingsStore : public SettingsStore {
public:
    // configDir: the user's configuration folder; empty means the platform's usual one.
    explicit IniSettingsStore(QString configDir = {});
    ~IniSettingsStore() override;

    void Section(const QVariant& name) override;
    void StoreOption2(bool on) override;
    void StoreOption1(bool on) override;
    void AttachWindow(QWidget* window) override;
    void ToolbarHeight(qint32 twips) override;
    QVariant ReadSetting(const QVariant& key, const QVariant& defaultValue) override;
    void WriteSetting(const QVariant& key, const QVariant& value) override;

    QString filePath() const;

private:
    QString configDir_;
    QString section_;
    std::unique_ptr<QSettings> settings_;
    QPointer<QWidget> window_;
};

} // namespace xcpy

#pragma once

#include "companions/settings_store.h"

#include <QMap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QSettings;

namespace xcpy {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else .config in
// $HOME, else .config in the home folder of the user's entry in the user database; empty when
// there is none of them.
QString userConfigFolder(const QString& xdgConfigHome, const QString& home,
                         const QString& databaseHome);

// Settings in an INI file <configDir>/<section>/<section>.ini, group <section>. Without a
// configuration folder the values live in memory for this run only.
class IniSettingsStore : public SettingsStore {
public:
    IniSettingsStore(); // in the user's configuration folder
    explicit IniSettingsStore(QString configDir);
    ~IniSettingsStore() override;

    void Section(const QVariant& name) override;
    void StoreOption2(bool on) override;
    void StoreOption1(bool on) override;
    void AttachWindow(QWidget* window) override;
    void ToolbarHeight(qint32 twips) override;
    QVariant ReadSetting(const QVariant& key, const QVariant& defaultValue) override;
    void WriteSetting(const QVariant& key, const QVariant& value) override;
    QString WriteFailure() const override;

    QString filePath() const;

private:
    QString configDir_;
    QString section_;
    std::unique_ptr<QSettings> settings_;
    QPointer<QWidget> window_;
    QMap<QString, QString> memory_; // the values, where there is no file to keep them
    QString writeFailure_;
};

} // namespace xcpy

#pragma once

#include <QVariant>

class QWidget;

namespace xcpy {

// Persisted settings of the program, one set per section (the executable base name).
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual void Section(const QVariant& name) = 0;
    virtual void StoreOption2(bool on) = 0;
    virtual void StoreOption1(bool on) = 0;
    virtual void AttachWindow(QWidget* window) = 0;
    virtual void ToolbarHeight(qint32 twips) = 0;
    // The value last written under the key in an earlier run, else the default.
    virtual QVariant ReadSetting(const QVariant& key, const QVariant& defaultValue) = 0;
    // The value is a text, or an object whose "text" property is the text to store.
    virtual void WriteSetting(const QVariant& key, const QVariant& value) = 0;
    // Why the values written in this run will not be there in the next one, in words for the
    // user naming the file and the cause; empty when they were stored.
    virtual QString WriteFailure() const = 0;
};

// The text a setting value stands for: the text itself, or the "text" property of an object.
QString settingValueText(const QVariant& value);

} // namespace xcpy

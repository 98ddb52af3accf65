#include "companions/settings_store.h"

#include <QObject>

namespace xcpy {

QString settingValueText(const QVariant& value) {
    if (value.canConvert<QObject*>()) {
        if (const QObject* object = value.value<QObject*>())
            return object->property("text").toString();
    }
    return value.toString();
}

} // namespace xcpy

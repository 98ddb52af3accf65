#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace xcpy {

QTranslator* installQtTranslations(QCoreApplication& app, const QString& folder) {
    auto* translator = new QTranslator(&app);
    // "qt" is the catalogue that pulls in the per-module ones (qtbase_ja.qm and so on).
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"),
                          QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace xcpy

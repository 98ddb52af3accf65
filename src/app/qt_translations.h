#pragma once

#include <QLibraryInfo>
#include <QString>

class QCoreApplication;
class QTranslator;

namespace xcpy {

// Installs Qt's own Japanese texts (standard buttons, file dialogs, the folder picker) from
// `folder`, so that they match the program's Japanese interface whatever the system language.
// Returns the installed translator, owned by `app`, or nullptr when the folder has no Japanese
// catalogue: the program then runs with Qt's English texts.
QTranslator*
installQtTranslations(QCoreApplication& app,
                      const QString& folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

} // namespace xcpy

#include "app/modMain.h"
#include "app/qt_translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    xcpy::installQtTranslations(app);
    return xcpy::runProgram(app);
}

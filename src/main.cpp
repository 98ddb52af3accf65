#include "app/modMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    return xcpy::runProgram(app);
}

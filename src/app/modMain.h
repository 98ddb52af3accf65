#pragma once

#include <QStringList>

class QApplication;

namespace xcpy {

// The command line's argument text: everything after the program's name, joined by blanks.
QString commandLineText(const QStringList& arguments);

// Starts the program: ends at once (status 0) when another instance runs, else shows the
// main window and runs until it is closed.
int runProgram(QApplication& app);

} // namespace xcpy

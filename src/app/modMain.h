#pragma once

#include <QStringList>

class QApplication;

namespace xcpy {

class frmXCopy;

// Loads the main window with the command line's argument text (everything after the program's
// name, joined by single blanks), captions it with the version comment and shows it.
void startMainWindow(frmXCopy& window, const QStringList& arguments);

// Starts the program: ends at once (status 0) when another instance runs, else shows the
// main window and runs until it is closed.
int runProgram(QApplication& app);

} // namespace xcpy

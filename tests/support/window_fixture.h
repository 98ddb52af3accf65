#pragma once

#include "app/frmXCopy.h"
#include "batchlist/batch_list_model.h"
#include "support/fakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <gtest/gtest.h>
#include <memory>

namespace xcpy::test {

// A main window over recording fakes, with its run files in a temporary folder.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        window = std::make_unique<frmXCopy>(fakes);
        window->setRunFilesFolder(temp.path());
    }

    void load(const QString& commandLine = {}) { window->Form_Load(commandLine); }
    QString path(const QString& name) const { return temp.filePath(name); }
    QString makeFolder(const QString& name) const {
        QDir(temp.path()).mkpath(name);
        return temp.filePath(name);
    }
    QAction* button(const char* key) const {
        return findToolbarButton(window->tlbXCopy, QString::fromLatin1(key));
    }
    QLabel* panel(const char* key) const { return window->findChild<QLabel*>(key); }
    int rows() const { return window->model().rowCount(); }
    QString source(int row) const { return window->model().entry(row).source; }
    QString destination(int row) const { return window->model().entry(row).destination; }
    // The rows' marks, "O" for OK and "N" for NG.
    QString marks() const {
        QString marks;
        for (int row = 0; row < rows(); ++row)
            marks += window->model().entry(row).mark == CheckMark::OK ? 'O' : 'N';
        return marks;
    }
    static QString exeBaseName() {
        return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    }
    // Switches the unsaved-changes flag off, as a save would.
    void markSaved() { panel("Save")->setEnabled(false); }
    // Adds a pair through the folder fields, as a user would with typed texts.
    void addPair(const QString& from, const QString& to) {
        window->txtFrom->setText(from);
        window->txtTo->setText(to);
        window->AddBatchEntry();
    }
    // Shows the window and waits for it to take the keyboard, for tests that type keys.
    void showActive() {
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QStringList shownMessages() const { return fakes.prompt.messages; }
    // The routines that reported errors, in order.
    QStringList errorRoutines() const {
        QStringList routines;
        for (const auto& error : fakes.prompt.errors)
            routines << error.first;
        return routines;
    }

    QTemporaryDir temp;
    FakeCompanions fakes;
    std::unique_ptr<frmXCopy> window;
};

} // namespace xcpy::test

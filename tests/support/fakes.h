#pragma once

#include "companions/companions.h"
#include "companions/path_helper.h"
#include "companions/prompt_box.h"
#include "companions/run_log.h"
#include "companions/settings_store.h"
#include "companions/shell_helper.h"

#include <QMap>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include <ostream>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace xcpy::test {

// Every companion call of a test, in order, as "Component.Operation(arg, arg)".
struct CallLog {
    QStringList calls;
    void add(const QString& component, const QString& operation, const QStringList& args = {});
    // The calls of one component only, in order.
    QStringList of(const QString& component) const;
};

// What the fake settings store holds; it outlives the store, which the window destroys.
struct FakeSettingsData {
    QMap<QString, QString> values;
};

class FakeSettingsStore : public SettingsStore {
public:
    FakeSettingsStore(CallLog& log, FakeSettingsData& data) : log_(log), data_(data) {}
    void Section(const QVariant& name) override;
    void StoreOption2(bool on) override;
    void StoreOption1(bool on) override;
    void AttachWindow(QWidget* window) override;
    void ToolbarHeight(qint32 twips) override;
    QVariant ReadSetting(const QVariant& key, const QVariant& defaultValue) override;
    void WriteSetting(const QVariant& key, const QVariant& value) override;

private:
    CallLog& log_;
    FakeSettingsData& data_;
};

class FakeRunLog : public RunLog {
public:
    FakeRunLog(CallLog& log, QStringList& lines) : log_(log), lines_(lines) {}
    void LogLine(const QString& text) override;
    void LogPath(const QString& path) override;
    void LogOption(bool on) override;

private:
    CallLog& log_;
    QStringList& lines_;
};

// A message as it was shown.
struct ShownMessage {
    QString text;
    qint32 style = 0;
    QString title;
};

class FakePromptBox : public PromptBox {
public:
    explicit FakePromptBox(CallLog& log) : log_(log) {}
    void ErrorReport(const QString& routine, const ErrorInfo& error) override;
    qint32 Message(QWidget* owner, const QVariant& text, qint32 style,
                   const QString& title) override;
    void VersionInfo(QWidget* owner, const ApplicationInfo& app, QObject* extra) override;
    bool FileDialog(QWidget* owner, CommonDialog& dialog, FileDialogKind kind) override;

    // Scripted answers, taken in order; an empty queue answers OK / cancels the dialog.
    std::deque<qint32> messageAnswers;
    std::deque<std::optional<QString>> fileChoices; // nullopt: the user cancels
    // Called while a message is shown, before it is answered.
    std::function<void(const ShownMessage&)> onMessage;

    QList<ShownMessage> messages;
    QList<CommonDialog> dialogs;
    QList<FileDialogKind> dialogKinds;
    QList<QPair<QString, ErrorInfo>> errors;

private:
    CallLog& log_;
};

class FakeShellHelper : public ShellHelper {
public:
    explicit FakeShellHelper(CallLog& log) : log_(log) {}
    qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) override;
    QString BrowseFolder(QWidget* owner, const QString& prompt) override;

    std::deque<QString> folderChoices; // empty text: the user cancels
    // Runs in place of the command; may throw ComponentError to fail the start.
    std::function<qint32(const QString&)> onRun;
    QStringList commandLines;
    QStringList prompts;

private:
    CallLog& log_;
};

class FakePathHelper : public PathHelper {
public:
    explicit FakePathHelper(CallLog& log) : log_(log) {}
    void FieldFocus(QLineEdit* field) override;
    QString FolderOf(const QString& path) override;
    QString ExtensionOf(const QString& path) override;

private:
    CallLog& log_;
};

// The factory tests hand to the window: every component records into one call log.
class FakeCompanions : public Companions {
public:
    FakeCompanions() : prompt(log), shell(log), path(log) {}

    std::unique_ptr<SettingsStore> createSettingsStore() override;
    std::unique_ptr<RunLog> createRunLog() override;
    PromptBox& promptBox() override { return prompt; }
    ShellHelper& shellHelper() override { return shell; }
    PathHelper& pathHelper() override { return path; }

    CallLog log;
    FakeSettingsData settings;
    QStringList logLines;
    FakePromptBox prompt;
    FakeShellHelper shell;
    FakePathHelper path;
};

} // namespace xcpy::test

#pragma once

#include "companions/companions.h"
#include "companions/path_helper.h"
#include "companions/prompt_box.h"
#include "companions/run_log.h"
#include "companions/settings_store.h"
#include "companions/shell_helper.h"

#include <QLineEdit>
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

// Takes the next scripted answer, if any.
template <class T> std::optional<T> popFront(std::deque<T>& queue) {
    if (queue.empty())
        return std::nullopt;
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}

// Every companion call of a test, in order, as "Component.Operation(arg, arg)".
struct CallLog {
    QStringList calls;
    void add(const char* component, const char* operation, const QStringList& args = {}) {
        calls << QStringLiteral("%1.%2(%3)").arg(component, operation, args.join(", "));
    }
};

// The values outlive the store, which the window destroys. Only the writes are logged.
struct FakeSettingsStore : SettingsStore {
    FakeSettingsStore(CallLog& log, QMap<QString, QString>& values, const QString& writeFailure)
        : log(log), values(values), writeFailure(writeFailure) {}
    void Section(const QVariant&) override {}
    void StoreOption2(bool) override {}
    void StoreOption1(bool) override {}
    void AttachWindow(QWidget*) override {}
    void ToolbarHeight(qint32) override {}
    QVariant ReadSetting(const QVariant& key, const QVariant& defaultValue) override {
        return values.contains(key.toString()) ? QVariant(values[key.toString()]) : defaultValue;
    }
    void WriteSetting(const QVariant& key, const QVariant& value) override {
        log.add("SettingsStore", "WriteSetting", {key.toString(), settingValueText(value)});
        values[key.toString()] = settingValueText(value);
    }
    QString WriteFailure() const override { return writeFailure; }
    CallLog& log;
    QMap<QString, QString>& values;
    const QString& writeFailure;
};

struct FakeRunLog : RunLog {
    explicit FakeRunLog(QStringList& lines) : lines(lines) {}
    void LogLine(const QString& text) override { lines << text; }
    void LogPath(const QString&) override {}
    void LogOption(bool) override {}
    QStringList& lines;
};

struct FakePromptBox : PromptBox {
    void ErrorReport(const QString& routine, const ErrorInfo& error) override {
        errors.append({routine, error});
    }
    qint32 Message(QWidget*, const QVariant& text, qint32 style, const QString& title) override {
        messages << QStringLiteral("%1|%2|%3").arg(text.toString(), QString::number(style), title);
        if (onMessage)
            onMessage();
        return popFront(messageAnswers).value_or(msg::kAnswerOk);
    }
    void VersionInfo(QWidget*, const ApplicationInfo&, QObject*) override {}
    bool FileDialog(QWidget*, CommonDialog& dialog, FileDialogKind kind) override {
        dialogs << dialog;
        dialogKinds << kind;
        const std::optional<QString> choice = popFront(fileChoices).value_or(std::nullopt);
        if (choice)
            dialog.FileName = *choice;
        return choice.has_value();
    }

    // Scripted answers, taken in order; an empty queue answers OK / cancels the dialog.
    std::deque<qint32> messageAnswers;
    std::deque<std::optional<QString>> fileChoices; // nullopt: the user cancels
    std::function<void()> onMessage;                // runs while the message is shown
    QStringList messages;                           // each as "text|style|title"
    QList<CommonDialog> dialogs;
    QList<FileDialogKind> dialogKinds;
    QList<QPair<QString, ErrorInfo>> errors;
};

struct FakeShellHelper : ShellHelper {
    explicit FakeShellHelper(CallLog& log) : log(log) {}
    qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) override {
        log.add("ShellHelper", "RunAndWait",
                {commandLine, QString::number(windowStyle), wait ? "true" : "false"});
        commandLines << commandLine;
        const qint32 status = onRun ? onRun(commandLine) : 0;
        lastSummary = QStringLiteral("終了コード %1").arg(status);
        return status;
    }
    QString LastRunSummary() const override { return lastSummary; }
    QString BrowseFolder(QWidget*, const QString& prompt) override {
        log.add("ShellHelper", "BrowseFolder", {prompt});
        return popFront(folderChoices).value_or(QString());
    }

    std::deque<QString> folderChoices; // empty text: the user cancels
    // Runs in place of the command; may throw ComponentError to fail the start.
    std::function<qint32(const QString&)> onRun;
    QStringList commandLines;
    QString lastSummary;
    CallLog& log;
};

struct FakePathHelper : PathHelper {
    explicit FakePathHelper(CallLog& log) : log(log) {}
    void FieldFocus(QLineEdit* field) override {
        log.add("PathHelper", "FieldFocus", {field ? field->objectName() : QString()});
    }
    QString FolderOf(const QString& path) override { return folderOfPath(path); }
    QString ExtensionOf(const QString& path) override { return extensionOfPath(path); }
    CallLog& log;
};

// The factory tests hand to the window: every component records into one call log.
struct FakeCompanions : Companions {
    std::unique_ptr<SettingsStore> createSettingsStore() override {
        return std::make_unique<FakeSettingsStore>(log, settings, settingsWriteFailure);
    }
    std::unique_ptr<RunLog> createRunLog() override {
        return std::make_unique<FakeRunLog>(logLines);
    }
    PromptBox& promptBox() override { return prompt; }
    ShellHelper& shellHelper() override { return shell; }
    PathHelper& pathHelper() override { return path; }

    CallLog log;
    QMap<QString, QString> settings;
    QString settingsWriteFailure; // what the settings store reports after its writes
    QStringList logLines;
    FakePromptBox prompt;
    FakeShellHelper shell{log};
    FakePathHelper path{log};
};

} // namespace xcpy::test

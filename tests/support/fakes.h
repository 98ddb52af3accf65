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
#include <QWidget>
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
    void add(const char* component, const char* operation, const QStringList& args = {}) {
        calls << QStringLiteral("%1.%2(%3)").arg(component, operation, args.join(", "));
    }
};

// The values outlive the store, which the window destroys. Only the writes are logged.
class FakeSettingsStore : public SettingsStore {
public:
    FakeSettingsStore(CallLog& log, QMap<QString, QString>& values, const QString& writeFailure)
        : log_(log), values_(values), writeFailure_(writeFailure) {}
    void Section(const QVariant&) override {}
    void StoreOption2(bool) override {}
    void StoreOption1(bool) override {}
    void AttachWindow(QWidget*) override {}
    void ToolbarHeight(qint32) override {}
    QVariant ReadSetting(const QVariant& key, const QVariant& defaultValue) override {
        return values_.contains(key.toString()) ? QVariant(values_[key.toString()]) : defaultValue;
    }
    void WriteSetting(const QVariant& key, const QVariant& value) override {
        const QObject* object = value.canConvert<QObject*>() ? value.value<QObject*>() : nullptr;
        log_.add("SettingsStore", "WriteSetting",
                 {key.toString(), object ? '<' + object->objectName() + '>' : value.toString()});
        values_[key.toString()] = settingValueText(value);
    }
    QString WriteFailure() const override { return writeFailure_; }

private:
    CallLog& log_;
    QMap<QString, QString>& values_;
    const QString& writeFailure_;
};

class FakeRunLog : public RunLog {
public:
    explicit FakeRunLog(QStringList& lines) : lines_(lines) {}
    void LogLine(const QString& text) override { lines_ << text; }
    void LogPath(const QString&) override {}
    void LogOption(bool) override {}

private:
    QStringList& lines_;
};

struct ShownMessage {
    QString text;
    qint32 style = 0;
    QString title;
};

class FakePromptBox : public PromptBox {
public:
    void ErrorReport(const QString& routine, const ErrorInfo& error) override {
        errors.append({routine, error});
    }
    qint32 Message(QWidget*, const QVariant& text, qint32 style, const QString& title) override {
        messages << ShownMessage{text.toString(), style, title};
        if (messageAnswers.empty())
            return msg::kAnswerOk;
        const qint32 answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    void VersionInfo(QWidget*, const ApplicationInfo&, QObject*) override {}
    bool FileDialog(QWidget*, CommonDialog& dialog, FileDialogKind kind) override {
        dialogs << dialog;
        dialogKinds << kind;
        const std::optional<QString> choice =
            fileChoices.empty() ? std::nullopt : fileChoices.front();
        if (!fileChoices.empty())
            fileChoices.pop_front();
        if (choice)
            dialog.FileName = *choice;
        return choice.has_value();
    }

    // Scripted answers, taken in order; an empty queue answers OK / cancels the dialog.
    std::deque<qint32> messageAnswers;
    std::deque<std::optional<QString>> fileChoices; // nullopt: the user cancels
    QList<ShownMessage> messages;
    QList<CommonDialog> dialogs;
    QList<FileDialogKind> dialogKinds;
    QList<QPair<QString, ErrorInfo>> errors;
};

class FakeShellHelper : public ShellHelper {
public:
    explicit FakeShellHelper(CallLog& log) : log_(log) {}
    qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) override {
        log_.add("ShellHelper", "RunAndWait",
                 {commandLine, QString::number(windowStyle), wait ? "true" : "false"});
        commandLines << commandLine;
        const qint32 status = onRun ? onRun(commandLine) : 0;
        lastSummary = QStringLiteral("終了コード %1").arg(status);
        return status;
    }
    QString LastRunSummary() const override { return lastSummary; }
    QString BrowseFolder(QWidget*, const QString& prompt) override {
        log_.add("ShellHelper", "BrowseFolder", {prompt});
        if (folderChoices.empty())
            return {};
        const QString choice = folderChoices.front();
        folderChoices.pop_front();
        return choice;
    }

    std::deque<QString> folderChoices; // empty text: the user cancels
    // Runs in place of the command; may throw ComponentError to fail the start.
    std::function<qint32(const QString&)> onRun;
    QStringList commandLines;
    QString lastSummary;

private:
    CallLog& log_;
};

class FakePathHelper : public PathHelper {
public:
    explicit FakePathHelper(CallLog& log) : log_(log) {}
    void FieldFocus(QLineEdit* field) override {
        log_.add("PathHelper", "FieldFocus", {field ? field->objectName() : QString()});
    }
    QString FolderOf(const QString& path) override { return folderOfPath(path); }
    QString ExtensionOf(const QString& path) override { return extensionOfPath(path); }

private:
    CallLog& log_;
};

// The factory tests hand to the window: every component records into one call log.
class FakeCompanions : public Companions {
public:
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

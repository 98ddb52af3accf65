#include "support/fakes.h"

#include "companions/component_error.h"

#include <QLineEdit>
#include <QWidget>

namespace xcpy::test {
namespace {

QString describe(const QVariant& value) {
    if (value.canConvert<QObject*>()) {
        if (const QObject* object = value.value<QObject*>())
            return QStringLiteral("<%1>").arg(object->objectName());
    }
    return value.toString();
}

QString boolText(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

void CallLog::add(const QString& component, const QString& operation, const QStringList& args) {
    calls << QStringLiteral("%1.%2(%3)").arg(component, operation, args.join(QStringLiteral(", ")));
}

QStringList CallLog::of(const QString& component) const {
    QStringList result;
    for (const QString& call : calls)
        if (call.startsWith(component + QLatin1Char('.')))
            result << call;
    return result;
}

void FakeSettingsStore::Section(const QVariant& name) {
    log_.add("SettingsStore", "Section", {name.toString()});
}
void FakeSettingsStore::StoreOption2(bool on) {
    log_.add("SettingsStore", "StoreOption2", {boolText(on)});
}
void FakeSettingsStore::StoreOption1(bool on) {
    log_.add("SettingsStore", "StoreOption1", {boolText(on)});
}
void FakeSettingsStore::AttachWindow(QWidget* window) {
    log_.add("SettingsStore", "AttachWindow", {window ? window->objectName() : QString()});
}
void FakeSettingsStore::ToolbarHeight(qint32 twips) {
    log_.add("SettingsStore", "ToolbarHeight", {QString::number(twips)});
}
QVariant FakeSettingsStore::ReadSetting(const QVariant& key, const QVariant& defaultValue) {
    log_.add("SettingsStore", "ReadSetting", {key.toString(), defaultValue.toString()});
    const auto found = data_.values.constFind(key.toString());
    return found == data_.values.constEnd() ? defaultValue : QVariant(*found);
}
void FakeSettingsStore::WriteSetting(const QVariant& key, const QVariant& value) {
    log_.add("SettingsStore", "WriteSetting", {key.toString(), describe(value)});
    data_.values[key.toString()] = settingValueText(value);
}

void FakeRunLog::LogLine(const QString& text) {
    log_.add("RunLog", "LogLine", {text});
    lines_ << text;
}
void FakeRunLog::LogPath(const QString& path) {
    log_.add("RunLog", "LogPath", {path});
}
void FakeRunLog::LogOption(bool on) {
    log_.add("RunLog", "LogOption", {boolText(on)});
}

void FakePromptBox::ErrorReport(const QString& routine, const ErrorInfo& error) {
    log_.add("PromptBox", "ErrorReport", {routine, QString::number(error.number)});
    errors.append({routine, error});
}

qint32 FakePromptBox::Message(QWidget*, const QVariant& text, qint32 style, const QString& title) {
    log_.add("PromptBox", "Message", {text.toString(), QString::number(style), title});
    const ShownMessage shown{text.toString(), style, title};
    messages << shown;
    if (onMessage)
        onMessage(shown);
    if (messageAnswers.empty())
        return msg::kAnswerOk;
    const qint32 answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

void FakePromptBox::VersionInfo(QWidget*, const ApplicationInfo& app, QObject* extra) {
    log_.add("PromptBox", "VersionInfo",
             {app.title, app.version, extra ? QStringLiteral("object") : QStringLiteral("null")});
}

bool FakePromptBox::FileDialog(QWidget*, CommonDialog& dialog, FileDialogKind kind) {
    log_.add("PromptBox", "FileDialog", {dialog.DialogTitle, QString::number(int(kind))});
    dialogs << dialog;
    dialogKinds << kind;
    if (fileChoices.empty())
        return false;
    const std::optional<QString> choice = fileChoices.front();
    fileChoices.pop_front();
    if (!choice)
        return false;
    dialog.FileName = *choice;
    return true;
}

qint32 FakeShellHelper::RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) {
    log_.add("ShellHelper", "RunAndWait",
             {commandLine, QString::number(windowStyle), boolText(wait)});
    commandLines << commandLine;
    return onRun ? onRun(commandLine) : 0;
}

QString FakeShellHelper::BrowseFolder(QWidget*, const QString& prompt) {
    log_.add("ShellHelper", "BrowseFolder", {prompt});
    prompts << prompt;
    if (folderChoices.empty())
        return {};
    const QString choice = folderChoices.front();
    folderChoices.pop_front();
    return choice;
}

void FakePathHelper::FieldFocus(QLineEdit* field) {
    log_.add("PathHelper", "FieldFocus", {field ? field->objectName() : QString()});
}
QString FakePathHelper::FolderOf(const QString& path) {
    log_.add("PathHelper", "FolderOf", {path});
    return folderOfPath(path);
}
QString FakePathHelper::ExtensionOf(const QString& path) {
    log_.add("PathHelper", "ExtensionOf", {path});
    return extensionOfPath(path);
}

std::unique_ptr<SettingsStore> FakeCompanions::createSettingsStore() {
    return std::make_unique<FakeSettingsStore>(log, settings);
}

std::unique_ptr<RunLog> FakeCompanions::createRunLog() {
    return std::make_unique<FakeRunLog>(log, logLines);
}

} // namespace xcpy::test

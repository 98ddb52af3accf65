#include "companions/qt_prompt_box.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>

namespace xcpy {
namespace {

QString titleOrProgramName(const QString& title) {
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

QMessageBox::Icon iconOf(qint32 style) {
    switch (style & 0xF0) {
    case 16:
        return QMessageBox::Critical;
    case msg::kIconQuestion:
        return QMessageBox::Question;
    case msg::kIconExclamation:
        return QMessageBox::Warning;
    case msg::kIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// A question with Yes and No only has no way out but an answer: Esc and the close box, which
// would otherwise answer No, do nothing.
class MessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool answerRequired = false;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (answerRequired && event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (answerRequired) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

} // namespace

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i].trimmed() + QStringLiteral(" (") + parts[i + 1].trimmed() +
                       QLatin1Char(')');
    return filters;
}

void QtPromptBox::ErrorReport(const QString& routine, const ErrorInfo& error) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    QStringLiteral("%1 でエラーが発生しました。\n\nエラー番号: %2\n%3")
                        .arg(routine)
                        .arg(error.number)
                        .arg(error.description));
    box.exec();
}

qint32 QtPromptBox::Message(QWidget* owner, const QVariant& text, qint32 style,
                            const QString& title) {
    MessageBox box(iconOf(style), titleOrProgramName(title), text.toString(), QMessageBox::NoButton,
                   owner);
    box.answerRequired = (style & 0x0F) == msg::kYesNo;
    struct Choice {
        QMessageBox::StandardButton button;
        qint32 answer;
    };
    QList<Choice> choices;
    switch (style & 0x0F) {
    case msg::kOkCancel:
        choices = {{QMessageBox::Ok, msg::kAnswerOk}, {QMessageBox::Cancel, msg::kAnswerCancel}};
        break;
    case msg::kYesNoCancel:
        choices = {{QMessageBox::Yes, msg::kAnswerYes},
                   {QMessageBox::No, msg::kAnswerNo},
                   {QMessageBox::Cancel, msg::kAnswerCancel}};
        break;
    case msg::kYesNo:
        choices = {{QMessageBox::Yes, msg::kAnswerYes}, {QMessageBox::No, msg::kAnswerNo}};
        break;
    default:
        choices = {{QMessageBox::Ok, msg::kAnswerOk}};
        break;
    }
    for (const Choice& choice : choices)
        box.addButton(choice.button);
    box.setDefaultButton(choices.front().button);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Choice& choice : choices)
        if (choice.button == pressed)
            return choice.answer;
    // Closed without a button (Esc on a box that has Cancel or OK only).
    return choices.size() == 1 ? msg::kAnswerOk : msg::kAnswerCancel;
}

void QtPromptBox::VersionInfo(QWidget* owner, const ApplicationInfo& app, QObject*) {
    QMessageBox::about(owner, QStringLiteral("バージョン情報"),
                       QStringLiteral("<b>%1</b> バージョン %2<br>%3<br><br>%4")
                           .arg(app.title.toHtmlEscaped(), app.version.toHtmlEscaped(),
                                app.comments.toHtmlEscaped(),
                                QFileInfo(app.path, app.exeName).filePath().toHtmlEscaped()));
}

bool QtPromptBox::FileDialog(QWidget* owner, CommonDialog& dialog, FileDialogKind kind) {
    const bool save = kind == FileDialogKind::Save;
    QFileDialog box(owner, dialog.DialogTitle);
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // No overwrite question and no default suffix: the name comes back as the user typed it.
    box.setOption(QFileDialog::DontConfirmOverwrite, true);
    box.setNameFilters(qtNameFilters(dialog.Filter));
    box.setDirectory(dialog.InitDir);
    if (!dialog.FileName.isEmpty())
        box.selectFile(dialog.FileName);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return false;
    dialog.FileName = box.selectedFiles().constFirst();
    return true;
}

} // namespace xcpy

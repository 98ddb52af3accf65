#pragma once

#include <QString>
#include <QVariant>

class QObject;
class QWidget;

namespace xcpy {

// Message-box style numbers and answers, in the Windows message-box codes the program uses.
namespace msg {
inline constexpr qint32 kOk = 0;
inline constexpr qint32 kOkCancel = 1;
inline constexpr qint32 kYesNoCancel = 3;
inline constexpr qint32 kYesNo = 4;
inline constexpr qint32 kIconQuestion = 32;
inline constexpr qint32 kIconExclamation = 48;
inline constexpr qint32 kIconInformation = 64;

inline constexpr qint32 kAnswerOk = 1;
inline constexpr qint32 kAnswerCancel = 2;
inline constexpr qint32 kAnswerYes = 6;
inline constexpr qint32 kAnswerNo = 7;
} // namespace msg

// The one file dialog of the main window, prepared by the caller before it is shown.
struct CommonDialog {
    QString DialogTitle;
    QString Filter; // "description | pattern" pairs
    qint32 Flags = 0;
    QString InitDir;
    QString FileName;
};

enum class FileDialogKind : qint16 { Open = 0, Save = 1 };

// What went wrong, for the error report.
struct ErrorInfo {
    qint32 number = 0;
    QString description;
};

// What the version information shows of the program.
struct ApplicationInfo {
    QString title;
    QString exeName;
    QString path;
    QString version;
    QString comments;
};

// Prompts, the about box and file dialogs.
class PromptBox {
public:
    virtual ~PromptBox() = default;

    virtual void ErrorReport(const QString& routine, const ErrorInfo& error) = 0;
    // Modal message; returns the answer code of the pressed button.
    virtual qint32 Message(QWidget* owner, const QVariant& text, qint32 style,
                           const QString& title) = 0;
    virtual void VersionInfo(QWidget* owner, const ApplicationInfo& app, QObject* extra) = 0;
    // True when the user chose a file; its full path is then in dialog.FileName.
    virtual bool FileDialog(QWidget* owner, CommonDialog& dialog, FileDialogKind kind) = 0;
};

} // namespace xcpy

#pragma once

#include "companions/prompt_box.h"

#include <QStringList>

namespace xcpy {

class QtPromptBox : public PromptBox {
public:
    void ErrorReport(const QString& routine, const ErrorInfo& error) override;
    qint32 Message(QWidget* owner, const QVariant& text, qint32 style,
                   const QString& title) override;
    void VersionInfo(QWidget* owner, const ApplicationInfo& app, QObject* extra) override;
    bool FileDialog(QWidget* owner, CommonDialog& dialog, FileDialogKind kind) override;
};

// "description | pattern" pairs, separated by "|", as Qt name filters "description (pattern)".
QStringList qtNameFilters(const QString& filter);

} // namespace xcpy

#include "app/qt_translations.h"
#include "companions/qt_prompt_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

namespace xcpy {
namespace {

// Asks a Yes/No/Cancel question through the prompt box and returns the texts of its
// Yes, No and Cancel buttons, answering Cancel.
QStringList yesNoCancelButtonTexts() {
    QStringList texts;
    QObject scope;
    QTimer::singleShot(0, &scope, [&texts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (auto button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            texts << box->button(button)->text();
        box->button(QMessageBox::Cancel)->click();
    });
    QTimer::singleShot(5000, &scope, [] {
        ADD_FAILURE() << "question left open";
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Cancel)->click();
    });
    QtPromptBox prompts;
    EXPECT_EQ(prompts.Message(nullptr, QStringLiteral("保存しますか？"),
                              msg::kYesNoCancel | msg::kIconInformation, QString()),
              msg::kAnswerCancel);
    return texts;
}

TEST(QtTranslations, standardButtonsSpeakJapaneseOrStayEnglishWithoutCatalogue) {
    const QTemporaryDir emptyFolder;
    {
        const std::unique_ptr<QTranslator> none(
            installQtTranslations(*QCoreApplication::instance(), emptyFolder.path()));
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(yesNoCancelButtonTexts(), QStringList({"&Yes", "&No", "Cancel"}));
    }

    const QString systemFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(systemFolder + QStringLiteral("/qtbase_ja.qm")))
        GTEST_SKIP() << "Qt's Japanese texts are not installed (Debian package "
                        "qt6-translations-l10n)";
    // Deleting the translator removes it again, so later tests see Qt's English texts.
    const std::unique_ptr<QTranslator> japanese(
        installQtTranslations(*QCoreApplication::instance()));
    ASSERT_NE(japanese, nullptr);
    EXPECT_EQ(yesNoCancelButtonTexts(),
              QStringList({QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
                           QStringLiteral("キャンセル")}));
}

} // namespace
} // namespace xcpy

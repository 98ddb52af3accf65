#include "app/qt_translations.h"
#include "companions/qt_prompt_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

namespace xcpy {
namespace {

TEST(QtTranslations, standardButtonsOfAQuestionSpeakJapanese) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
        GTEST_SKIP() << "Qt's Japanese texts are not installed (Debian package "
                        "qt6-translations-l10n)";
    // Deleting the translator removes it again, so later tests see Qt's English texts.
    const std::unique_ptr<QTranslator> japanese(
        installQtTranslations(*QCoreApplication::instance()));
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
        QApplication::activeModalWidget()->close();
    });
    QtPromptBox().Message(nullptr, QStringLiteral("保存しますか？"),
                          msg::kYesNoCancel | msg::kIconInformation, QString());
    EXPECT_EQ(texts, QStringList({QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
                                  QStringLiteral("キャンセル")}));
}

} // namespace
} // namespace xcpy

#include "companions/qt_path_helper.h"
#include "companions/qt_prompt_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace xcpy {
namespace {

// Shows a message of `style` and lets `answer` act on the box from inside its event loop. A
// guard presses a button if the action leaves the box open, so a fault fails instead of hanging.
qint32 showAndAnswer(qint32 style, const std::function<void(QMessageBox&)>& answer) {
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        answer(*box);
    });
    QTimer::singleShot(5000, &scope, [] {
        ADD_FAILURE() << "message left open";
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->buttons().constFirst()->click();
    });
    QtPromptBox prompt;
    return prompt.Message(nullptr, QStringLiteral("text"), style, QStringLiteral("title"));
}

TEST(QtPromptBox, styleNumbers_giveTheirButtonsIconAndAnswers) {
    using B = QMessageBox::StandardButton;
    const struct {
        qint32 style;
        QList<B> buttons;
        QList<qint32> answers;
        QMessageBox::Icon icon;
        qint32 onEsc; // 0: Esc and the close box are ignored, the box waits for Yes or No
    } cases[] = {
        {48, {B::Ok}, {1}, QMessageBox::Warning, 1},
        {64, {B::Ok}, {1}, QMessageBox::Information, 1},
        {65, {B::Ok, B::Cancel}, {1, 2}, QMessageBox::Information, 2},
        {67, {B::Yes, B::No, B::Cancel}, {6, 7, 2}, QMessageBox::Information, 2},
        {68, {B::Yes, B::No}, {6, 7}, QMessageBox::Information, 0},
        {36, {B::Yes, B::No}, {6, 7}, QMessageBox::Question, 0},
    };
    for (const auto& c : cases) {
        QMessageBox::StandardButtons all;
        for (B button : c.buttons)
            all |= button;
        for (qsizetype i = 0; i < c.buttons.size(); ++i) {
            const qint32 answer = showAndAnswer(c.style, [&](QMessageBox& box) {
                EXPECT_EQ(box.standardButtons(), all) << c.style;
                EXPECT_EQ(box.icon(), c.icon) << c.style;
                EXPECT_EQ(box.windowTitle(), "title");
                box.button(c.buttons[i])->click();
            });
            EXPECT_EQ(answer, c.answers[i]) << c.style << " button " << i;
        }
        const qint32 onEsc = showAndAnswer(c.style, [&](QMessageBox& box) {
            QTest::keyClick(&box, Qt::Key_Escape);
            if (!box.isVisible())
                return;
            box.close();
            EXPECT_TRUE(box.isVisible()) << c.style << ": the close box answered";
            if (box.isVisible())
                box.button(B::Yes)->click();
        });
        EXPECT_EQ(onEsc, c.onEsc ? c.onEsc : msg::kAnswerYes) << c.style;
    }
}

TEST(QtPathHelper, folderAndExtensionOfAFilePath) {
    QtPathHelper helper;
    const struct {
        const char* path;
        const char* folder;
        const char* extension;
    } cases[] = {
        {"/lists/LIST.XCPY", "/lists", "XCPY"},
        {"/lists.old/job.bak.xcpy", "/lists.old", "xcpy"},
        {"/lists.old/job", "/lists.old", ""},
        {"/a b/.xcpy", "/a b", "xcpy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(helper.FolderOf(c.path) + '|' + helper.ExtensionOf(c.path),
                  QString(c.folder) + '|' + c.extension);
    }
}

} // namespace
} // namespace xcpy

#include "companions/qt_prompt_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(QtPromptBox, escAndCloseBoxAnswerOnlyAQuestionThatHasAWayOut) {
    const struct {
        qint32 style;
        qint32 answer; // after Esc, the close box and then, if still open, Yes
    } cases[] = {
        {msg::kYesNo | msg::kIconInformation, msg::kAnswerYes},
        {msg::kYesNoCancel | msg::kIconInformation, msg::kAnswerCancel},
        {msg::kOkCancel | msg::kIconInformation, msg::kAnswerCancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, Qt::Key_Escape);
            if (box->isVisible())
                box->close();
            if (box->isVisible())
                box->button(QMessageBox::Yes)->click();
        });
        QtPromptBox prompt;
        EXPECT_EQ(prompt.Message(nullptr, QStringLiteral("?"), c.style, QStringLiteral("t")),
                  c.answer);
    }
}

} // namespace
} // namespace xcpy

#include "options/frmOption.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace xcpy {
namespace {

QLineEdit* field(frmOption& d) {
    return d.findChild<QLineEdit*>("txtXOption");
}
void click(frmOption& d, const char* name) {
    QTest::mouseClick(d.findChild<QPushButton*>(name), Qt::LeftButton);
}

// Runs ShowEx while `act` drives the modal dialog from inside its event loop. A guard closes
// the dialog if the action fails to, so a broken test fails instead of hanging.
bool showAndDo(frmOption& d, QWidget* owner, const std::function<void()>& act) {
    QObject guard;
    QTimer::singleShot(0, &guard, act);
    QTimer::singleShot(5000, &guard, [&] {
        ADD_FAILURE() << "dialog left open";
        d.done(QDialog::Rejected);
    });
    return d.ShowEx(owner);
}

TEST(FrmOption, buttonsAndKeys_afterAnEditReturnConfirmationAndKeepOrReplaceText) {
    const QString start = QStringLiteral("/S /Y"), edited = QStringLiteral("  /I ");
    const struct {
        const char* name;
        std::function<void(frmOption&)> act;
        bool confirmed;
        QString text;
    } cases[] = {
        {"Enter", [](frmOption& d) { QTest::keyClick(field(d), Qt::Key_Return); }, true, edited},
        {"Cancel", [](frmOption& d) { click(d, "cmdCancel"); }, false, start},
        {"reset, OK", [](frmOption& d) { click(d, "cmdXInit"), click(d, "cmdOK"); }, true,
         "/D /E "},
        {"Esc", [](frmOption& d) { QTest::keyClick(field(d), Qt::Key_Escape); }, false, start},
        {"close box", [](frmOption& d) { d.close(); }, false, start},
    };
    frmOption d; // one dialog for all: each show starts cancelled and shows the text it is given
    for (const auto& c : cases) {
        d.setXOption(start);
        const auto editThenAct = [&] { field(d)->setText(edited), c.act(d); };
        EXPECT_EQ(showAndDo(d, nullptr, editThenAct), c.confirmed) << c.name;
        EXPECT_EQ(d.XOption(), c.text) << c.name;
    }
}

TEST(FrmOption, showEx_centresOnTheOwnerAndTakesTextOfAnyLength) {
    QWidget owner;
    owner.setGeometry(300, 250, 520, 330); // away from the screen's centre
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    frmOption d;
    const QString longText(40000, u'x');
    d.setXOption(longText);
    QRect shown;
    EXPECT_TRUE(showAndDo(d, &owner, [&] {
        shown = d.frameGeometry();
        click(d, "cmdOK");
    }));
    const QPoint offset = shown.center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << ", " << offset.y();
    EXPECT_EQ(d.XOption(), longText);
}

} // namespace
} // namespace xcpy

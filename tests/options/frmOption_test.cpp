#include "app/twips.h"
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
    return d.findChild<QLineEdit*>(QStringLiteral("txtXOption"));
}

QPushButton* button(frmOption& d, const char* name) {
    return d.findChild<QPushButton*>(QString::fromLatin1(name));
}

// Runs ShowEx while `act` drives the modal dialog from inside its event loop. A guard closes
// the dialog if the action fails to, so a broken test fails instead of hanging.
bool showAndDo(frmOption& d, QWidget* owner, std::function<void()> act) {
    QObject guard;
    QTimer::singleShot(0, &guard, [&] {
        EXPECT_TRUE(d.isVisible());
        act();
    });
    QTimer::singleShot(5000, &guard, [&] {
        ADD_FAILURE() << "dialog left open";
        d.done(QDialog::Rejected);
    });
    return d.ShowEx(owner);
}

TEST(FrmOption, buttonsAndKeys_returnConfirmationAndKeepOrReplaceText) {
    const QString start = QStringLiteral("/S /Y");
    const struct {
        const char* name;
        std::function<void(frmOption&)> act;
        bool confirmed;
        QString text;
    } cases[] = {
        {"OK unedited", [](frmOption& d) { QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton); },
         true, start},
        {"Cancel",
         [](frmOption& d) {
             field(d)->setText(QStringLiteral("/X"));
             QTest::mouseClick(button(d, "cmdCancel"), Qt::LeftButton);
         },
         false, start},
        {"reset then Cancel",
         [](frmOption& d) {
             QTest::mouseClick(button(d, "cmdXInit"), Qt::LeftButton);
             QTest::mouseClick(button(d, "cmdCancel"), Qt::LeftButton);
         },
         false, start},
        {"reset then OK",
         [](frmOption& d) {
             QTest::mouseClick(button(d, "cmdXInit"), Qt::LeftButton);
             EXPECT_TRUE(d.isVisible());
             QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
         },
         true, QStringLiteral("/D /E ")},
        {"emptied then OK",
         [](frmOption& d) {
             field(d)->clear();
             QTest::mouseClick(button(d, "cmdOK"), Qt::LeftButton);
         },
         true, QString()},
        {"edited then Enter",
         [](frmOption& d) {
             field(d)->setText(QStringLiteral("  /I "));
             QTest::keyClick(field(d), Qt::Key_Return);
         },
         true, QStringLiteral("  /I ")},
        {"edited then Esc",
         [](frmOption& d) {
             field(d)->setText(QStringLiteral("/I"));
             QTest::keyClick(field(d), Qt::Key_Escape);
         },
         false, start},
        {"close box",
         [](frmOption& d) {
             field(d)->setText(QStringLiteral("/X"));
             d.close();
         },
         false, start},
    };
    for (const auto& c : cases) {
        frmOption d;
        d.setXOption(start);
        const bool confirmed = showAndDo(d, nullptr, [&] { c.act(d); });
        EXPECT_EQ(confirmed, c.confirmed) << c.name;
        EXPECT_EQ(d.XOption(), c.text) << c.name;
        EXPECT_FALSE(d.isVisible()) << c.name;
    }
}

TEST(FrmOption, reusedInstance_keepsTextAndResetsCancelledFlagEachShow) {
    frmOptionHolder holder;
    EXPECT_FALSE(holder.created());
    frmOption& d = holder.get();
    EXPECT_EQ(&holder.get(), &d);

    d.setXOption(QStringLiteral("/A"));
    EXPECT_TRUE(showAndDo(d, nullptr, [&] {
        field(d)->setText(QStringLiteral("/B"));
        d.cmdOK_Click();
    }));
    // A second show starts cancelled again, from the text kept from the first, as its own
    // top-level window with the field focused.
    QWidget owner;
    owner.show();
    EXPECT_FALSE(showAndDo(d, &owner, [&] {
        EXPECT_EQ(field(d)->text(), QStringLiteral("/B"));
        EXPECT_EQ(d.focusWidget(), field(d));
        EXPECT_EQ(d.parentWidget(), nullptr);
        d.reject();
    }));
    EXPECT_EQ(d.XOption(), QStringLiteral("/B"));
}

TEST(FrmOption, centring_roundsDifferenceHalfToEvenAndHalvesTowardZero) {
    const struct {
        double ownerEdge, ownerSize, dialogSize, edge;
    } cases[] = {
        {0, 9000, 5000, 2000},  {1000, 9000, 5000, 3000}, {0, 8931, 5000, 1965},
        {0, 5000, 8931, -1965}, {0, 5001, 5000, 0},       {0, 5000, 5001, 0},
        {0, 5002.5, 5000, 1},   {0, 5003.5, 5000, 2},     {-300, 5000, 5000, -300},
    };
    for (const auto& c : cases)
        EXPECT_EQ(centredEdge(c.ownerEdge, c.ownerSize, c.dialogSize), c.edge)
            << c.ownerSize << " vs " << c.dialogSize;
}

TEST(FrmOption, shownOnOwner_centredInTwipsEvenWhenWiderThanOwner) {
    for (const QRect ownerRect : {QRect(100, 80, 600, 400), QRect(300, 200, 200, 50)}) {
        QWidget owner;
        owner.setGeometry(ownerRect);
        owner.show();
        frmOption d;
        QPoint shownAt;
        showAndDo(d, &owner, [&] {
            shownAt = d.frameGeometry().topLeft();
            d.reject();
        });
        const double dx = d.logicalDpiX(), dy = d.logicalDpiY();
        const QRect o = owner.frameGeometry();
        const QSize s = d.frameGeometry().size();
        const double left =
            centredEdge(twips::fromPixels(o.x(), dx), twips::fromPixels(o.width(), dx),
                        twips::fromPixels(s.width(), dx));
        const double top =
            centredEdge(twips::fromPixels(o.y(), dy), twips::fromPixels(o.height(), dy),
                        twips::fromPixels(s.height(), dy));
        EXPECT_EQ(shownAt, QPoint(twips::toPixels(left, dx), twips::toPixels(top, dy)));
        if (o.width() < s.width()) {
            EXPECT_LT(shownAt.x(), o.x());
        }
    }
}

} // namespace
} // namespace xcpy

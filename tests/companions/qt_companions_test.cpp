#include "companions/dbus_notifier.h"
#include "companions/file_run_log.h"
#include "companions/ini_settings_store.h"
#include "companions/qt_path_helper.h"
#include "companions/qt_prompt_box.h"
#include "files/test_helpers.h"
#include "support/read_only_folder.h"
#include "support/unprivileged.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <sys/resource.h>

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
        QList<std::pair<B, qint32>> answers; // each button and the code it answers
        QMessageBox::Icon icon;
        qint32 onEsc; // 0: Esc and the close box are ignored, the box waits for Yes or No
    } cases[] = {
        {48, {{B::Ok, 1}}, QMessageBox::Warning, 1},
        {65, {{B::Ok, 1}, {B::Cancel, 2}}, QMessageBox::Information, 2},
        {67, {{B::Yes, 6}, {B::No, 7}, {B::Cancel, 2}}, QMessageBox::Information, 2},
        {68, {{B::Yes, 6}, {B::No, 7}}, QMessageBox::Information, 0},
    };
    for (const auto& c : cases) {
        for (const auto& [button, code] : c.answers) {
            const qint32 answer = showAndAnswer(c.style, [&](QMessageBox& box) {
                EXPECT_EQ(box.buttons().size(), c.answers.size()) << c.style;
                EXPECT_EQ(box.icon(), c.icon) << c.style;
                EXPECT_EQ(box.windowTitle(), "title");
                ASSERT_NE(box.button(button), nullptr) << c.style;
                box.button(button)->click();
            });
            EXPECT_EQ(answer, code) << c.style;
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
    for (const auto& [path, folderAndExtension] : {std::pair("/lists/LIST.XCPY", "/lists|XCPY"),
                                                   {"/lists.old/job.bak.xcpy", "/lists.old|xcpy"},
                                                   {"/lists.old/job", "/lists.old|"},
                                                   {"/a b/.xcpy", "/a b|xcpy"}})
        EXPECT_EQ(helper.FolderOf(path) + '|' + helper.ExtensionOf(path), folderAndExtension);
}

TEST(IniSettingsStore, valuesRoundTripExactlyAndBadFilesGiveDefaults) {
    QTemporaryDir config;
    const QString folder = config.filePath("new"); // a folder the store has to make
    const QStringList values = {"/D /E ", "", "C:\\データ\\報告書", " = ; # \" \\ ", "[g]\n%P%"};
    {
        IniSettingsStore store(folder);
        store.Section(QStringLiteral("xcpylist"));
        for (int i = 0; i < values.size(); ++i)
            store.WriteSetting(QStringLiteral("Key%1").arg(i), values[i]);
        QLabel panel(QStringLiteral("/lists/job.xcpy"));
        store.WriteSetting(QStringLiteral("FileName"), QVariant::fromValue<QObject*>(&panel));
    }
    const auto read = [&](const QString& key) {
        IniSettingsStore store(folder);
        store.Section(QStringLiteral("xcpylist"));
        return store.ReadSetting(key, "default").toString();
    };
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(read(QStringLiteral("Key%1").arg(i)), values[i]) << i;
    EXPECT_EQ(read("FileName"), "/lists/job.xcpy");
    EXPECT_EQ(read("Missing"), "default");
    for (const QByteArray& content : {QByteArray(), QByteArray("\x00\xff\xfe [[[ =\n\x01"),
                                      QByteArray("[xcpylist]\nKey0=@Variant(\\0\\0\\0\\x7f)\n")}) {
        ASSERT_TRUE(writeBytes(folder + "/xcpylist/xcpylist.ini", content));
        EXPECT_EQ(read("Key0"), "default");
    }
}

TEST(IniSettingsStore, settingsThatCannotBeStored_sayWhereAndWhy) {
    EXPECT_EQ(userConfigFolder("/x", "/h", "/d"), "/x");
    EXPECT_EQ(userConfigFolder("relative", "/h", "/d"), "/h/.config");
    EXPECT_EQ(userConfigFolder("", "", "/d"), "/d/.config");
    EXPECT_EQ(userConfigFolder("", "", ""), "");

    IniSettingsStore homeless{QString()}; // kept for this run, and said so
    homeless.Section(QStringLiteral("xcpylist"));
    EXPECT_EQ(homeless.ReadSetting(QStringLiteral("XOption"), "/D /E ").toString(), "/D /E ");
    homeless.WriteSetting(QStringLiteral("XOption"), QStringLiteral("/E "));
    EXPECT_EQ(homeless.ReadSetting(QStringLiteral("XOption"), "/D /E ").toString(), "/E ");
    EXPECT_TRUE(homeless.WriteFailure().contains("ホームフォルダ"));

    const test::ReadOnlyFolder readOnly;
    if (!readOnly.unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(readOnly.unavailable);
    IniSettingsStore store(readOnly.path());
    store.Section(QStringLiteral("xcpylist"));
    store.WriteSetting(QStringLiteral("InitDir"), QStringLiteral("/a"));
    const QString failure = store.WriteFailure();
    EXPECT_TRUE(failure.contains(readOnly.filePath("xcpylist/xcpylist.ini")) &&
                failure.contains(::geteuid() == 0 ? "読み取り専用" : "権限"))
        << failure.toStdString();
}

// Every run of the program appends to the lines of the runs before. A log that cannot be
// written loses whole lines and nothing else: later lines arrive once it can be written again,
// in a folder made late, in a file deleted meanwhile, after a disk that was full.
TEST(FileRunLog, keepsEarlierRuns_andAfterAFailureWritesWholeLinesAgain) {
    QTemporaryDir folder;
    const QString path = folder.filePath("later/X.log");
    const auto lines = [&] {
        QStringList texts;
        for (const QString& line : QString::fromUtf8(readBytes(path)).split(u'\n'))
            texts << line.section(u'\t', 1);
        return texts;
    };
    {
        FileRunLog first;
        first.LogPath(path);
        first.LogOption(true);
        first.LogLine(QStringLiteral("lost"));
        QDir().mkpath(folder.filePath("later"));
        first.LogLine(QStringLiteral("XCOPY実行"));
    }
    FileRunLog second;
    second.LogPath(path);
    second.LogOption(true);
    second.LogLine(QStringLiteral("バッチ作成"));
    EXPECT_EQ(lines(), QStringList({"XCOPY実行", "バッチ作成", ""}));
    EXPECT_TRUE(
        QString::fromUtf8(readBytes(path)).startsWith(QDate::currentDate().toString(Qt::ISODate)));

    QFile::remove(path);
    second.LogLine(QStringLiteral("next"));
    EXPECT_EQ(lines(), QStringList({"next", ""}));

    // A file size limit stands in for a disk that fills in the middle of a line.
    EXPECT_TRUE(test::inChildProcess([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const qint64 size = QFileInfo(path).size();
        rlimit limit{rlim_t(size + 10), RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        second.LogLine(QString(100, u'x'));
        const bool unchanged = QFileInfo(path).size() == size;
        limit.rlim_cur = RLIM_INFINITY;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        second.LogLine(QStringLiteral("after"));
        return unchanged && lines() == QStringList({"next", "after", ""});
    }));
}

// The fake notification service: records each notification, answers with its id.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
    uint nextId = 7;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        calls << QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
                     .arg(app)
                     .arg(replaces)
                     .arg(icon, summary, body, actions.join(u','),
                          hints.value("desktop-entry").toString())
                     .arg(timeout);
        return nextId++;
    }
};

// A bus of the test's own: no service files, so nothing is started for a missing service.
const char kPrivateBusConfig[] = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// The notifier against a fake service on a private bus: the call carries the texts and the
// "default" action, a click on that notification comes back, other signals do not; without
// the service nothing is shown and nothing fails.
TEST(DBusNotifier, notifyReachesTheServiceAndItsClickComesBack_withoutServiceNothing) {
    QTemporaryDir folder;
    const QString config = folder.filePath("bus.conf");
    ASSERT_TRUE(
        writeBytes(config, QByteArray(kPrivateBusConfig).replace("%1", folder.path().toUtf8())));
    QProcess bus;
    bus.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
    if (!bus.waitForStarted(5000))
        GTEST_SKIP() << "dbus-daemon cannot be started (Debian package dbus-daemon)";
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << bus.readAllStandardError().toStdString();
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    {
        QDBusConnection client = QDBusConnection::connectToBus(address, "notifier-client");
        QDBusConnection server = QDBusConnection::connectToBus(address, "notifier-service");
        ASSERT_TRUE(client.isConnected() && server.isConnected());
        DBusNotifier notifier(client);
        QStringList clicked;
        notifier.notify("nobody", "there", [&] { clicked << "nobody"; });
        // A call after it on the same connection is answered after it.
        EXPECT_FALSE(client.interface()->isServiceRegistered("org.freedesktop.Notifications"));

        FakeNotificationService service;
        ASSERT_TRUE(server.registerObject("/org/freedesktop/Notifications", &service,
                                          QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
        notifier.notify(QStringLiteral("正常に終了しました (終了コード 0)"),
                        QStringLiteral("2 / 2 ファイル"), [&] { clicked << "first"; });
        notifier.notify("second", "", [&] { clicked << "second"; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 2; }));
        const QString app = QCoreApplication::applicationName();
        EXPECT_EQ(service.calls[0], QStringList({app, "0", app, "正常に終了しました (終了コード 0)",
                                                 "2 / 2 ファイル", "default,開く", app, "-1"})
                                        .join(u'|'));

        const auto send = [&](const char* member, uint id, const QVariant& detail) {
            QDBusMessage signal = QDBusMessage::createSignal(
                "/org/freedesktop/Notifications", "org.freedesktop.Notifications", member);
            signal << id << detail;
            server.send(signal);
        };
        send("ActionInvoked", 7, QStringLiteral("other"));
        send("NotificationClosed", 8, 2u);
        send("ActionInvoked", 8, QStringLiteral("default"));
        send("ActionInvoked", 9, QStringLiteral("default"));
        send("ActionInvoked", 7, QStringLiteral("default"));
        // Signals come in the order sent: once the last is in, so are the others.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !clicked.isEmpty(); }));
        EXPECT_EQ(clicked, QStringList("first"));
    }
    bus.kill();
    bus.waitForFinished();
}

} // namespace
} // namespace xcpy

#include "qt_companions_test.moc"

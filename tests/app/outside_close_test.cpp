#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// The helper program: a window whose questions are answered through its standard input.
class SignalTarget {
public:
    explicit SignalTarget(const QStringList& arguments) {
        process_.start(QStringLiteral(XCPY_BIN_DIR "/xcpy_signal_target"), arguments);
        waitFor("ready");
    }
    ~SignalTarget() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    void signal(int number) { ::kill(pid_t(process_.processId()), number); }
    void answer(const char* code) {
        process_.write(QByteArray(code) + '\n');
        process_.waitForBytesWritten(5000);
    }
    // True when the output shows line the given number of times within 10 seconds.
    bool waitFor(const QString& line, qsizetype times = 1) {
        QElapsedTimer clock;
        clock.start();
        while (lines().count(line) < times && clock.elapsed() < 10000)
            process_.waitForReadyRead(100);
        return lines().count(line) == times;
    }
    QStringList lines() {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        return output_.split('\n', Qt::SkipEmptyParts);
    }
    bool ends() { return process_.waitForFinished(10000); }
    bool running() const { return process_.state() == QProcess::Running; }

private:
    QProcess process_;
    QString output_;
};

const QString kAsk = QStringLiteral("asked: バッチファイルに保存しますか？");
const QString kSettingsWritten = QStringLiteral("wrote FileName=");

TEST(OutsideClose, signalsGoThroughTheCloseRequestAndASecondOneEndsWithTheSettings) {
    {
        SignalTarget nothingUnsaved({});
        nothingUnsaved.signal(SIGTERM);
        ASSERT_TRUE(nothingUnsaved.ends());
        EXPECT_EQ(nothingUnsaved.lines(), QStringList({"ready", kSettingsWritten}));
    }
    SignalTarget unsaved({"unsaved"});
    unsaved.signal(SIGHUP);
    ASSERT_TRUE(unsaved.waitFor(kAsk));
    unsaved.answer("2"); // Cancel: the program goes on, nothing written
    ASSERT_TRUE(unsaved.waitFor("answered"));
    EXPECT_TRUE(unsaved.running());
    EXPECT_FALSE(unsaved.lines().contains(kSettingsWritten));

    unsaved.signal(SIGINT);
    ASSERT_TRUE(unsaved.waitFor(kAsk, 2)) << "asked again";
    unsaved.signal(SIGTERM); // while the question is open
    ASSERT_TRUE(unsaved.ends());
    EXPECT_TRUE(unsaved.lines().contains(kSettingsWritten));
}

} // namespace

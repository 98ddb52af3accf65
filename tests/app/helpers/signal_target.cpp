// A main window over fakes whose questions are answered through standard input, for tests that
// send it termination signals. Prints "ready" once it listens, "asked: TEXT" for each question
// (then reads the answer code as a line and prints "answered"), and "wrote FileName=..." if it
// wrote its settings.
// With the argument "unsaved" the list has a change that is not saved.
#include "app/frmXCopy.h"
#include "app/outside_close.h"
#include "support/fakes.h"

#include <QApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class StdinPromptBox : public xcpy::test::FakePromptBox {
public:
    qint32 Message(QWidget*, const QVariant& text, qint32, const QString&) override {
        say("asked: " + text.toString());
        QEventLoop waiting;
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        qint32 answer = xcpy::msg::kAnswerCancel;
        QObject::connect(&input, &QSocketNotifier::activated, [&] {
            char line[16] = {};
            if (::read(STDIN_FILENO, line, sizeof line - 1) > 0)
                answer = std::atoi(line);
            say("answered");
            waiting.quit();
        });
        waiting.exec();
        return answer;
    }
};

class Companions : public xcpy::test::FakeCompanions {
public:
    xcpy::PromptBox& promptBox() override { return stdinPrompt; }
    StdinPromptBox stdinPrompt;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Companions companions;
    int status = 0;
    {
        xcpy::frmXCopy window(companions);
        const xcpy::OutsideCloseRequests outsideCloses(window);
        window.Form_Load({});
        if (app.arguments().contains("unsaved")) {
            window.txtFrom->setText("/a");
            window.txtTo->setText("/b");
            window.AddBatchEntry();
        }
        say("ready");
        status = app.exec();
    }
    if (companions.settings.contains("FileName"))
        say("wrote FileName=" + companions.settings["FileName"]);
    return status;
}

#pragma once

#include "companions/run_progress.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringDecoder>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QKeyEvent;

namespace xcpy {

// The window of a running command: shows what the command prints, how far it has come and,
// at the end, its result, and passes what the user types to it. It only displays and
// translates keys; the owner connects it to the process.
class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    // Lines kept in the output area; older ones are dropped so long runs stay cheap.
    static constexpr int kMaxLines = 10000;

    ConsoleWindow(const QString& program, const QString& commandLine, QWidget* parent = nullptr);

    // Takes raw bytes of the output, in the order written; a character split between two
    // calls comes out whole.
    void appendOutput(const QByteArray& bytes);
    // Takes bytes of the command's progress channel; the bar follows a few times a second.
    void appendProgress(const QByteArray& bytes);
    // The command has ended with `status` (-1: it did not end on its own): shows the result
    // line and the bar's result state, and returns the result with the counts and the time.
    QString showResult(qint32 status);
    // While running, the close box asks the owner to stop the command instead of closing.
    void setRunning(bool running) { running_ = running; }
    bool isRunning() const { return running_; }

    QPlainTextEdit* outputArea() const { return output_; }
    QProgressBar* progressBar() const { return bar_; }
    QLabel* resultLine() const { return result_; }
    // Everything shown so far, including text still waiting to be drawn.
    QString outputText();

signals:
    // Bytes for the command's standard input.
    void inputTyped(const QByteArray& bytes);
    // Ctrl+D / Ctrl+Z: no more input.
    void endOfInputRequested();
    // Ctrl+C without a selection.
    void interruptRequested();
    // The close box while the command runs.
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool handleKey(QKeyEvent* event);
    void queue(QString text);
    void flush();
    void showProgress();

    QString program_;
    QPlainTextEdit* output_;
    QProgressBar* bar_;
    QLabel* counts_;
    QLabel* result_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    QString pending_;
    QTimer flushTimer_;
    RunProgress progress_;
    QElapsedTimer clock_;
    qint64 lastProgressMs_ = 0;
    QTimer progressTimer_;
    bool running_ = false;
};

} // namespace xcpy

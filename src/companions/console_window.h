#pragma once

#include "companions/run_progress.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTimer>
#include <QWidget>

#include <functional>

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

    // Milliseconds on a steady clock; the run's times are told from it.
    using Clock = std::function<qint64()>;

    ConsoleWindow(const QString& program, const QString& commandLine, QWidget* parent = nullptr,
                  Clock clock = {});

    // Takes raw bytes of the output, in the order written; a character split between two
    // calls comes out whole.
    void appendOutput(const QByteArray& bytes);
    // Takes bytes of the command's progress channel. The bar follows, and when the last XCOPY
    // line has ended the result is shown at once, while the command may still wait at a pause.
    void appendProgress(const QByteArray& bytes);
    // The command has ended with `status` (-1: it did not end on its own; with `processLeft`,
    // it was stopped but the system still holds it): shows the result line and the bar's result
    // state, and returns the result with the counts and the time. A copy whose last line had
    // ended keeps that line's result, however the command ended after it.
    QString showResult(qint32 status, bool processLeft = false);
    // While running, the close box asks the owner to stop the command instead of closing.
    void setRunning(bool running) { running_ = running; }
    bool isRunning() const { return running_; }

    QPlainTextEdit* outputArea() const { return output_; }
    QProgressBar* progressBar() const { return bar_; }
    QLabel* resultLine() const { return result_; }
    const RunProgress& progress() const { return progress_; }
    // Everything shown so far, including text still waiting to be drawn.
    QString outputText();

signals:
    // The last XCOPY line has ended: its result in words and the counts with the time taken.
    void copyEnded(const QString& result, const QString& counts);
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
    void rememberReading(int line);
    void scrollToEnd();
    void showProgress();
    // Shows `result` in the result line, the bar and the title; returns the counts with the
    // time taken.
    QString showOutcome(const RunResult& result);

    QString program_;
    QPlainTextEdit* output_;
    QProgressBar* bar_;
    QLabel* counts_;
    QLabel* result_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    QString pending_;
    QTimer flushTimer_;
    RunProgress progress_;
    Clock clock_;
    qint64 startMs_;
    QTimer progressTimer_;
    bool running_ = false;
    bool copyShown_ = false; // the result of the copy is on screen
    bool following_ = true;  // the view stays at the end of the output
    QTextCursor reading_;    // else the line the user left it at: its block, kept through edits
    int readingLine_ = 0;    // and the line within the block
};

} // namespace xcpy

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QTimer>
#include <QWidget>

class QPlainTextEdit;
class QKeyEvent;

namespace xcpy {

// The window of a running command: shows what the command prints and passes what the user
// types to it. It only displays and translates keys; the owner connects it to the process.
class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    enum class Channel { Output, Error };

    // Lines kept in the output area; older ones are dropped so long runs stay cheap.
    static constexpr int kMaxLines = 10000;

    ConsoleWindow(const QString& program, const QString& commandLine, QWidget* parent = nullptr);

    // Takes raw bytes of one channel; a character split between two calls comes out whole.
    void appendOutput(const QByteArray& bytes, Channel channel = Channel::Output);
    // While running, the close box asks the owner to stop the command instead of closing.
    void setRunning(bool running) { running_ = running; }
    bool isRunning() const { return running_; }

    QPlainTextEdit* outputArea() const { return output_; }
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
    struct Piece {
        QString text;
        Channel channel;
    };

    bool handleKey(QKeyEvent* event);
    void queue(QString text, Channel channel);
    void flush();

    QPlainTextEdit* output_;
    QStringDecoder outDecoder_{QStringDecoder::Utf8};
    QStringDecoder errDecoder_{QStringDecoder::Utf8};
    QList<Piece> pending_;
    qsizetype pendingSize_ = 0;
    QTimer flushTimer_;
    bool running_ = false;
};

} // namespace xcpy

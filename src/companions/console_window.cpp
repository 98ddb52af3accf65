#include "companions/console_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace xcpy {

namespace {

// Output arriving within this time is drawn in one go.
constexpr int kFlushDelayMs = 20;
// Waiting text beyond this many characters is drawn at once.
constexpr qsizetype kMaxPendingChars = 1 << 20;

// Carriage returns and other control characters would show as boxes; only tabs and line
// breaks are kept. "\r\n" thus becomes a plain line break.
QString printable(QString text) {
    qsizetype kept = 0;
    for (const QChar c : std::as_const(text)) {
        if (c.unicode() >= 0x20 || c == u'\n' || c == u'\t')
            text[kept++] = c;
    }
    text.truncate(kept);
    return text;
}

} // namespace

ConsoleWindow::ConsoleWindow(const QString& program, const QString& commandLine, QWidget* parent)
    : QWidget(parent, Qt::Window), output_(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("XCOPY実行中 - %1").arg(program));
    resize(720, 420);

    auto* command = new QLabel(commandLine, this);
    command->setObjectName(QStringLiteral("commandLine"));
    command->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command->setTextFormat(Qt::PlainText);
    command->setWordWrap(true);

    output_->setObjectName(QStringLiteral("output"));
    output_->setReadOnly(true);
    output_->setUndoRedoEnabled(false);
    output_->setMaximumBlockCount(kMaxLines);
    output_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    output_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Read-only still lets the area take focus and keys, which go to the command.
    output_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    output_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(command);
    layout->addWidget(output_, 1);
    setFocusProxy(output_);

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushDelayMs);
    connect(&flushTimer_, &QTimer::timeout, this, &ConsoleWindow::flush);
}

void ConsoleWindow::appendOutput(const QByteArray& bytes, Channel channel) {
    QStringDecoder& decoder = channel == Channel::Error ? errDecoder_ : outDecoder_;
    queue(decoder(bytes), channel);
}

QString ConsoleWindow::outputText() {
    flush();
    return output_->toPlainText();
}

void ConsoleWindow::queue(QString text, Channel channel) {
    text = printable(std::move(text));
    if (text.isEmpty())
        return;
    pendingSize_ += text.size();
    if (!pending_.isEmpty() && pending_.last().channel == channel)
        pending_.last().text += text;
    else
        pending_.append({std::move(text), channel});
    // A flood is drawn at once rather than held, so the waiting text stays small.
    if (pendingSize_ > kMaxPendingChars)
        flush();
    else if (!flushTimer_.isActive())
        flushTimer_.start();
}

void ConsoleWindow::flush() {
    flushTimer_.stop();
    if (pending_.isEmpty())
        return;

    // When the waiting text alone fills the area, whatever is shown and the older part of
    // the waiting text would be dropped at once: skip drawing them.
    qsizetype lines = 0;
    for (qsizetype i = pending_.size() - 1; i >= 0; --i) {
        const QString& text = pending_[i].text;
        qsizetype at = text.size();
        while ((at = text.lastIndexOf(u'\n', at - 1)) >= 0) {
            if (++lines == kMaxLines) {
                pending_[i].text.remove(0, at + 1);
                pending_.remove(0, i);
                output_->clear();
                break;
            }
            if (at == 0)
                break;
        }
        if (lines == kMaxLines)
            break;
    }

    QScrollBar* bar = output_->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    QTextCursor cursor(output_->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat outFormat;
    QTextCharFormat errFormat;
    errFormat.setForeground(QColor(0xc0, 0x20, 0x20));
    cursor.beginEditBlock();
    for (const Piece& piece : std::as_const(pending_))
        cursor.insertText(piece.text, piece.channel == Channel::Error ? errFormat : outFormat);
    cursor.endEditBlock();
    pending_.clear();
    pendingSize_ = 0;
    // Follow the output unless the user has scrolled back to read.
    if (atBottom)
        bar->setValue(bar->maximum());
}

bool ConsoleWindow::handleKey(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    if (ctrl && key == Qt::Key_C) {
        // With a selection Ctrl+C copies as usual; otherwise it interrupts the command.
        if (output_->textCursor().hasSelection())
            return false;
        emit interruptRequested();
        return true;
    }
    if (ctrl && (key == Qt::Key_D || key == Qt::Key_Z)) {
        emit endOfInputRequested();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        queue(QStringLiteral("\n"), Channel::Output);
        emit inputTyped("\n");
        return true;
    }
    const QString text = event->text();
    if (ctrl || text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
        if (c.unicode() == 0x7f)
            return false;
    }
    queue(text, Channel::Output);
    emit inputTyped(text.toUtf8());
    return true;
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == output_ && event->type() == QEvent::KeyPress)
        return handleKey(static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

void ConsoleWindow::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        emit closeRequested();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace xcpy

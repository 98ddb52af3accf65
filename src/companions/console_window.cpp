#include "companions/console_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace xcpy {

namespace {

// Output arriving within this time is drawn in one go.
constexpr int kFlushDelayMs = 20;
// Waiting text beyond this many characters is drawn at once.
constexpr qsizetype kMaxPendingChars = 1 << 20;
// The bar, the counts and the time follow the run this often.
constexpr int kProgressIntervalMs = 250;

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
    : QWidget(parent, Qt::Window), program_(program), output_(new QPlainTextEdit(this)),
      bar_(new QProgressBar(this)), counts_(new QLabel(this)), result_(new QLabel(this)) {
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

    // Busy until the command tells how far it has come; a foreign interpreter never does.
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setRange(0, 0);
    bar_->setTextVisible(false);
    bar_->setFocusPolicy(Qt::NoFocus);
    counts_->setObjectName(QStringLiteral("progressText"));
    counts_->setTextFormat(Qt::PlainText);
    result_->setObjectName(QStringLiteral("result"));
    result_->setTextFormat(Qt::PlainText);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    result_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(command);
    layout->addWidget(output_, 1);
    layout->addWidget(bar_);
    layout->addWidget(counts_);
    layout->addWidget(result_);
    setFocusProxy(output_);

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushDelayMs);
    connect(&flushTimer_, &QTimer::timeout, this, &ConsoleWindow::flush);
    clock_.start();
    progressTimer_.setInterval(kProgressIntervalMs);
    connect(&progressTimer_, &QTimer::timeout, this, &ConsoleWindow::showProgress);
    progressTimer_.start();
    showProgress();
}

void ConsoleWindow::appendOutput(const QByteArray& bytes) {
    queue(decoder_(bytes));
}

void ConsoleWindow::appendProgress(const QByteArray& bytes) {
    progress_.feed(bytes);
    lastProgressMs_ = clock_.elapsed();
}

QString ConsoleWindow::outputText() {
    flush();
    return output_->toPlainText();
}

void ConsoleWindow::showProgress() {
    const qint64 elapsed = clock_.elapsed();
    QString text = QStringLiteral("経過 ") + durationText(elapsed);
    if (progress_.known()) {
        const int percent = static_cast<int>(progress_.fraction() * 100.0);
        if (bar_->maximum() != 100) {
            bar_->setRange(0, 100);
            bar_->setTextVisible(true);
        }
        bar_->setValue(percent);
        const auto left = estimateLeftMs(progress_.fraction(), elapsed);
        text = progressCountsText(progress_) + QStringLiteral("   ") + text +
               QStringLiteral("   残り ") +
               (left ? QStringLiteral("約 ") + durationText(*left) : QStringLiteral("計算中"));
        setWindowTitle(QStringLiteral("%1% XCOPY実行中 - %2").arg(percent).arg(program_));
    }
    counts_->setText(text);
}

QString ConsoleWindow::showResult(qint32 status) {
    progressTimer_.stop();
    flush();
    // The copy took until its last report; a final pause waiting for a key is no part of it.
    const qint64 elapsed = progress_.known() ? lastProgressMs_ : clock_.elapsed();
    const RunResult result = describeRunResult(status, progress_);
    counts_->setText(progress_.known() ? progressCountsText(progress_) +
                                             QStringLiteral("   所要時間 ") + durationText(elapsed)
                                       : QStringLiteral("所要時間 ") + durationText(elapsed));
    // A clean run, or one that never told its progress, fills the bar; any other stays
    // where the copy stopped.
    bar_->setRange(0, 100);
    const bool full = !progress_.known() || result.state == RunState::Success;
    bar_->setValue(full ? 100 : static_cast<int>(progress_.fraction() * 100.0));
    // The bar takes the colour of the result: green, amber or red.
    const QColor colour = result.state == RunState::Success   ? QColor(0x2e, 0x9d, 0x3e)
                          : result.state == RunState::Partial ? QColor(0xd9, 0x8c, 0x00)
                                                              : QColor(0xc6, 0x28, 0x28);
    QPalette palette = bar_->palette();
    palette.setColor(QPalette::Highlight, colour);
    bar_->setPalette(palette);
    bar_->setProperty("state", static_cast<int>(result.state));
    result_->setText(result.text);
    QPalette textPalette = result_->palette();
    textPalette.setColor(QPalette::WindowText, colour);
    result_->setPalette(textPalette);
    result_->show();
    setWindowTitle(QStringLiteral("XCOPY終了 - %1").arg(program_));
    return runSummaryText(result, progress_, elapsed);
}

void ConsoleWindow::queue(QString text) {
    text = printable(std::move(text));
    if (text.isEmpty())
        return;
    pending_ += text;
    // A flood is drawn at once rather than held, so the waiting text stays small.
    if (pending_.size() > kMaxPendingChars)
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
    qsizetype at = pending_.size();
    while ((at = pending_.lastIndexOf(u'\n', at - 1)) >= 0) {
        if (++lines == kMaxLines) {
            pending_.remove(0, at + 1);
            output_->clear();
            break;
        }
        if (at == 0)
            break;
    }

    QScrollBar* bar = output_->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    QTextCursor cursor(output_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(pending_);
    pending_.clear();
    // Follow the output unless the user has scrolled back to read.
    if (atBottom)
        bar->setValue(bar->maximum());
}

bool ConsoleWindow::handleKey(QKeyEvent* event) {
    // A finished command reads nothing more; the area then acts as any read-only text.
    if (!running_)
        return false;
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
        queue(QStringLiteral("\n"));
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
    queue(text);
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

#include "companions/console_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

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

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Green, amber, red; a run with nothing to copy is neither good nor bad.
QColor resultColour(RunState state) {
    switch (state) {
    case RunState::Success:
        return {0x2e, 0x9d, 0x3e};
    case RunState::Partial:
        return {0xd9, 0x8c, 0x00};
    case RunState::NothingToCopy:
        return {0x54, 0x6e, 0x7a};
    case RunState::Failure:
        break;
    }
    return {0xc6, 0x28, 0x28};
}

} // namespace

ConsoleWindow::ConsoleWindow(const QString& program, const QString& commandLine, QWidget* parent,
                             Clock clock)
    : QWidget(parent, Qt::Window), program_(program), output_(new QPlainTextEdit(this)),
      bar_(new QProgressBar(this)), counts_(new QLabel(this)), result_(new QLabel(this)),
      clock_(clock ? std::move(clock) : Clock(steadyMs)), startMs_(clock_()) {
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
    // The view follows the output until the user scrolls away from the end, and again once
    // back at it. Only the user's scrolling decides: the area moves its scroll bar on its own
    // as it lays long lines out anew (lines not laid out yet count as one, so the range even
    // shrinks for a moment). A following view is taken along to the end, a reader's view back
    // to the line the user left it at.
    QScrollBar* scroll = output_->verticalScrollBar();
    connect(scroll, &QAbstractSlider::actionTriggered, this, [this, scroll] {
        following_ = scroll->sliderPosition() >= scroll->maximum();
        rememberReading(scroll->sliderPosition());
    });
    connect(scroll, &QAbstractSlider::rangeChanged, this, [this, scroll](int, int maximum) {
        if (following_) {
            scrollToEnd();
            return;
        }
        const QTextBlock block = reading_.block();
        const int line =
            block.firstLineNumber() + std::min(readingLine_, std::max(block.lineCount() - 1, 0));
        if (line <= maximum)
            scroll->setValue(line);
    });

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
    // A long result (a stopped run) wraps instead of widening the window.
    result_->setWordWrap(true);
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
    progressTimer_.setInterval(kProgressIntervalMs);
    connect(&progressTimer_, &QTimer::timeout, this, &ConsoleWindow::showProgress);
    progressTimer_.start();
    showProgress();
}

void ConsoleWindow::appendOutput(const QByteArray& bytes) {
    queue(decoder_(bytes));
}

void ConsoleWindow::appendProgress(const QByteArray& bytes) {
    progress_.feed(bytes, clock_() - startMs_);
    if (copyShown_)
        return;
    if (!progress_.copyEnded()) {
        showProgress();
        return;
    }
    // The copy is over; what follows is the final pause.
    progressTimer_.stop();
    flush();
    const RunResult result = describeRunResult(progress_.endStatus(), progress_);
    emit copyEnded(result.text, showOutcome(result));
}

QString ConsoleWindow::outputText() {
    flush();
    return output_->toPlainText();
}

void ConsoleWindow::showProgress() {
    const qint64 elapsed = progress_.copyMs(clock_() - startMs_);
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

QString ConsoleWindow::showResult(qint32 status, bool processLeft) {
    progressTimer_.stop();
    flush();
    // A command stopped but still held by the system is not waited for; it ends on its own.
    const RunResult result =
        progress_.copyEnded() ? describeRunResult(progress_.endStatus(), progress_)
        : processLeft
            ? RunResult{RunState::Failure,
                        QStringLiteral("コピーを中止しました (%1 はシステムの応答を待っています。"
                                       "応答があれば自動的に終了します)")
                            .arg(program_)}
            : describeRunResult(status, progress_);
    showOutcome(result);
    return runSummaryText(result, progress_, progress_.copyMs(clock_() - startMs_));
}

QString ConsoleWindow::showOutcome(const RunResult& result) {
    copyShown_ = true;
    const QString counts =
        (progress_.known() ? progressCountsText(progress_) + QStringLiteral("   ") : QString()) +
        QStringLiteral("所要時間 ") + durationText(progress_.copyMs(clock_() - startMs_));
    counts_->setText(counts);
    // A finished run, or one that never told its progress, fills the bar; any other stays
    // where the copy stopped.
    bar_->setRange(0, 100);
    const bool full = !progress_.known() || result.state == RunState::Success ||
                      result.state == RunState::NothingToCopy;
    bar_->setValue(full ? 100 : static_cast<int>(progress_.fraction() * 100.0));
    // The bar and the result line take the colour of the result.
    const QColor colour = resultColour(result.state);
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
    return counts;
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

    QTextCursor cursor(output_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(pending_);
    pending_.clear();
}

void ConsoleWindow::rememberReading(int line) {
    const QTextBlock block = output_->document()->findBlockByLineNumber(line);
    reading_ = QTextCursor(block);
    readingLine_ = line - block.firstLineNumber();
}

void ConsoleWindow::scrollToEnd() {
    output_->verticalScrollBar()->setValue(output_->verticalScrollBar()->maximum());
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
    // While xcpycmd waits for an answer or a key it shows the answer itself; anything else
    // typed is shown here, as a terminal would.
    const bool echo = !progress_.waiting();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (echo)
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
    if (echo)
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

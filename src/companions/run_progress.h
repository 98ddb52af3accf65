#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace xcpy {

// What the progress channel of a run has told so far: which of its XCOPY lines runs, what
// each line planned and what it has done, how each line ended and when the interpreter waited
// for the user (the "line", "plan", "done", "end", "wait" and "resume" lines of xcpycmd).
class RunProgress {
public:
    // Takes bytes from the channel that arrived at `atMs` on the run's clock; a line split
    // between two calls is read once whole.
    void feed(const QByteArray& bytes, qint64 atMs);

    // False until the interpreter has said anything (a foreign one never does).
    bool known() const { return lineCount_ > 0; }
    // The share of the whole run done, 0 to 1: each XCOPY line weighs the same, and within
    // a line the bytes count and every file adds a little, so many tiny files move the bar.
    double fraction() const;

    qint64 doneFiles() const { return finished_.doneFiles + current_.doneFiles; }
    qint64 plannedFiles() const { return finished_.plannedFiles + current_.plannedFiles; }
    qint64 doneBytes() const { return finished_.doneBytes + current_.doneBytes; }
    qint64 plannedBytes() const { return finished_.plannedBytes + current_.plannedBytes; }

    // The last XCOPY line has ended: the copy's result is final, whatever follows (a pause).
    bool copyEnded() const { return known() && line_ == lineCount_ && lineEnded_; }
    // The highest status the ended lines gave, as the interpreter returns it.
    qint32 endStatus() const { return endStatus_; }
    // The interpreter waits for an answer or a key; what is typed now is its answer.
    bool waiting() const { return waiting_; }
    // The time the copy has taken by `nowMs`: up to the last line's end, without the time the
    // interpreter waited for the user.
    qint64 copyMs(qint64 nowMs) const;

private:
    struct Amounts {
        qint64 plannedFiles = 0;
        qint64 plannedBytes = 0;
        qint64 doneFiles = 0;
        qint64 doneBytes = 0;
    };

    void take(const QByteArray& line, qint64 atMs);

    QByteArray partial_;
    int line_ = 0;
    int lineCount_ = 0;
    bool lineDone_ = false;  // the current line has sent a "done"
    bool lineEnded_ = false; // the current line has sent its "end"
    qint32 endStatus_ = 0;
    qint64 endedAtMs_ = 0; // when the last line ended
    bool waiting_ = false;
    qint64 waitingSinceMs_ = 0;
    qint64 waitedMs_ = 0; // waits for the user before the copy ended
    Amounts finished_;    // the lines before the current one
    Amounts current_;
};

// "n / N ファイル, x / y MB".
QString progressCountsText(const RunProgress& progress);
// "m:ss", or "h:mm:ss" from an hour on.
QString durationText(qint64 milliseconds);
// The time left at the pace so far, once there is enough of a run to judge it.
std::optional<qint64> estimateLeftMs(double fraction, qint64 elapsedMs);

enum class RunState { Success, Partial, Failure, NothingToCopy };

struct RunResult {
    RunState state;
    QString
        text; // the result in words with the exit status, e.g. "正常に終了しました (終了コード 0)"
};

// The result of a run from the interpreter's exit status (-1: it did not end on its own). A
// run that reports success but copied fewer files than it planned (a question answered No)
// says that files were left uncopied; status 1 with nothing left uncopied says that there was
// nothing to copy.
RunResult describeRunResult(qint32 status, const RunProgress& progress);
// The result with the files and bytes copied, where the channel gave them, and the time taken.
QString runSummaryText(const RunResult& result, const RunProgress& progress, qint64 elapsedMs);

} // namespace xcpy

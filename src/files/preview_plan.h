#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <limits>
#include <utility>

// What a preview ("xcpycmd /plan") tells about each XCOPY line of the list, one row per line.
namespace xcpy {

enum class PreviewOutcome {
    Waiting,          // its line has not started yet
    Checking,         // its line is being planned
    Copies,           // would copy files now
    UpToDate,         // its files are all at the destination already
    NothingToCopy,    // selects no file
    SourceMissing,    // the source folder is not there
    SourceUnreadable, // the source folder cannot be read
    DriveMissing,     // the destination's drive is not there
    BadCommand,       // the switches, or source and destination together, are wrong
    Refused,          // a refusal this program does not know; PreviewRow::reason holds its word
    Cancelled,        // the preview was cancelled before the line was told
    NotTold,          // the interpreter ended without telling the line
};

struct PreviewRow {
    PreviewOutcome outcome = PreviewOutcome::Waiting;
    qint64 files = 0; // to copy (found so far while Checking)
    qint64 bytes = 0;
    QByteArray reason; // the interpreter's word for a refusal
};

// True for the outcomes that mean the row's copy would fail rather than find nothing to do.
bool isFailure(PreviewOutcome outcome);

// The outcome in words for the user: empty for a row that copies or has not started.
QString outcomeText(const PreviewRow& row);

// "12.3" (MB of 1,048,576 bytes, one decimal).
QString megabytesText(qint64 bytes);

// Reads the interpreter's preview lines ("line K N", "scan F B", "plan F B", "found M",
// "refused WHY") into one row per XCOPY line of the batch. Anything else is ignored.
class PreviewPlan {
public:
    explicit PreviewPlan(int rowCount);

    // Takes bytes as they come; a line split between two calls is read once whole.
    void feed(const QByteArray& bytes);
    // The interpreter has ended (or was stopped): rows it never told become NotTold
    // (Cancelled when cancelled), the bytes of an unfinished last line are read.
    void end(bool cancelled);

    const QList<PreviewRow>& rows() const { return rows_; }
    // 0-based row of the line being planned or last told, -1 before the first.
    int currentRow() const { return current_; }
    // Rows with their final outcome.
    int rowsDone() const { return done_; }
    // Files and bytes to copy, of the rows told so far and the one being planned.
    qint64 files() const;
    qint64 bytes() const;
    // The rows told something since the last call, first and last (first > last when none), so
    // that only those are shown again.
    std::pair<int, int> takeChangedRows();
    // Rows whose copy would fail (isFailure), and rows the cancel left untold.
    int failures() const;
    int cancelled() const;

private:
    void take(const QByteArray& line);
    // Gives the current row its final outcome; false when no row is being planned.
    bool finish(PreviewOutcome outcome);
    void changed(int row);

    QList<PreviewRow> rows_;
    QByteArray partial_;
    int current_ = -1;
    int done_ = 0;
    qint64 planned_ = -1; // files of the current line's "plan", -1 before it
    int firstChanged_ = std::numeric_limits<int>::max();
    int lastChanged_ = -1;
};

} // namespace xcpy

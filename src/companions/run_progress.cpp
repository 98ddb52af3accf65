#include "companions/run_progress.h"

#include <QList>

#include <algorithm>

namespace xcpy {

namespace {

// Creating, renaming and timing one file costs about as much as copying this many bytes.
constexpr double kBytesPerFile = 32768.0;
constexpr double kBytesPerMB = 1024.0 * 1024.0;

QString megabytes(qint64 bytes) {
    return QString::number(static_cast<double>(bytes) / kBytesPerMB, 'f', 1);
}

} // namespace

void RunProgress::feed(const QByteArray& bytes, qint64 atMs) {
    partial_ += bytes;
    qsizetype start = 0;
    for (qsizetype end; (end = partial_.indexOf('\n', start)) >= 0; start = end + 1)
        take(partial_.mid(start, end - start), atMs);
    partial_.remove(0, start);
}

void RunProgress::take(const QByteArray& line, qint64 atMs) {
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() == 1) {
        if (words[0] == "wait" && !waiting_) {
            waiting_ = true;
            waitingSinceMs_ = atMs;
        } else if (words[0] == "resume" && waiting_) {
            waiting_ = false;
            if (!copyEnded())
                waitedMs_ += atMs - waitingSinceMs_;
        }
        return;
    }
    if (words.size() == 2 && words[0] == "end" && known() && !lineEnded_) {
        bool ok = false;
        const qint32 status = words[1].toInt(&ok);
        if (!ok || status < 0)
            return;
        lineEnded_ = true;
        endStatus_ = std::max(endStatus_, status);
        endedAtMs_ = atMs;
        return;
    }
    if (words.size() != 3)
        return;
    bool firstOk = false;
    bool secondOk = false;
    const qint64 first = words[1].toLongLong(&firstOk);
    const qint64 second = words[2].toLongLong(&secondOk);
    if (!firstOk || !secondOk || first < 0 || second < 0)
        return;
    if (words[0] == "line") {
        finished_.plannedFiles += current_.plannedFiles;
        finished_.plannedBytes += current_.plannedBytes;
        finished_.doneFiles += current_.doneFiles;
        finished_.doneBytes += current_.doneBytes;
        current_ = {};
        lineDone_ = false;
        lineEnded_ = false;
        line_ = static_cast<int>(first);
        lineCount_ = static_cast<int>(std::max(first, second));
    } else if (words[0] == "plan") {
        current_.plannedFiles = first;
        current_.plannedBytes = second;
    } else if (words[0] == "done") {
        current_.doneFiles = first;
        current_.doneBytes = second;
        lineDone_ = true;
    }
}

double RunProgress::fraction() const {
    if (!known())
        return 0.0;
    const double planned =
        static_cast<double>(current_.plannedBytes) + kBytesPerFile * current_.plannedFiles;
    const double done =
        static_cast<double>(current_.doneBytes) + kBytesPerFile * current_.doneFiles;
    const double ofLine = planned > 0 ? std::min(done / planned, 1.0) : (lineDone_ ? 1.0 : 0.0);
    return std::clamp((line_ - 1 + ofLine) / lineCount_, 0.0, 1.0);
}

qint64 RunProgress::copyMs(qint64 nowMs) const {
    if (copyEnded())
        return endedAtMs_ - waitedMs_;
    return nowMs - waitedMs_ - (waiting_ ? nowMs - waitingSinceMs_ : 0);
}

QString progressCountsText(const RunProgress& progress) {
    return QStringLiteral("%1 / %2 ファイル, %3 / %4 MB")
        .arg(progress.doneFiles())
        .arg(progress.plannedFiles())
        .arg(megabytes(progress.doneBytes()), megabytes(progress.plannedBytes()));
}

QString durationText(qint64 milliseconds) {
    const qint64 seconds = std::max<qint64>(milliseconds, 0) / 1000;
    const QChar zero(u'0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

std::optional<qint64> estimateLeftMs(double fraction, qint64 elapsedMs) {
    // Too early a guess jumps about more than it helps.
    if (fraction < 0.01 || elapsedMs < 2000)
        return std::nullopt;
    return static_cast<qint64>(static_cast<double>(elapsedMs) * (1.0 - fraction) / fraction);
}

RunResult describeRunResult(qint32 status, const RunProgress& progress) {
    if (status < 0)
        return {RunState::Failure, QStringLiteral("エラーで終了しました (強制終了)")};
    const QString code = QStringLiteral(" (終了コード %1)").arg(status);
    if (status >= 4)
        return {RunState::Failure, QStringLiteral("エラーで終了しました") + code};
    if (progress.doneFiles() < progress.plannedFiles())
        return {RunState::Partial, QStringLiteral("コピーされなかったファイルがあります") + code};
    // 1: a line found no file to copy.
    if (status == 1 && progress.plannedFiles() == 0)
        return {RunState::NothingToCopy,
                QStringLiteral("コピーするファイルがありませんでした") + code};
    if (status == 1)
        return {RunState::NothingToCopy,
                QStringLiteral("コピーするファイルがない行がありました") + code};
    if (status > 0)
        return {RunState::Partial, QStringLiteral("コピーされなかったファイルがあります") + code};
    return {RunState::Success, QStringLiteral("正常に終了しました") + code};
}

QString runSummaryText(const RunResult& result, const RunProgress& progress, qint64 elapsedMs) {
    QString text = result.text;
    if (progress.known())
        text += QStringLiteral(", ") + progressCountsText(progress);
    return text + QStringLiteral(", 所要時間 ") + durationText(elapsedMs);
}

} // namespace xcpy

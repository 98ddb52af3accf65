#include "files/preview_plan.h"

#include <algorithm>
#include <utility>

namespace xcpy {

bool isFailure(PreviewOutcome outcome) {
    switch (outcome) {
    case PreviewOutcome::SourceMissing:
    case PreviewOutcome::SourceUnreadable:
    case PreviewOutcome::DriveMissing:
    case PreviewOutcome::BadCommand:
    case PreviewOutcome::Refused:
    case PreviewOutcome::NotTold:
        return true;
    default:
        return false;
    }
}

QString outcomeText(const PreviewRow& row) {
    switch (row.outcome) {
    case PreviewOutcome::Waiting:
    case PreviewOutcome::Copies:
        return {};
    case PreviewOutcome::Checking:
        return QStringLiteral("確認中");
    case PreviewOutcome::UpToDate:
        return QStringLiteral("最新です（コピーするファイルはありません）");
    case PreviewOutcome::NothingToCopy:
        return QStringLiteral("コピーするファイルがありません");
    case PreviewOutcome::SourceMissing:
        return QStringLiteral("元フォルダがありません");
    case PreviewOutcome::SourceUnreadable:
        return QStringLiteral("元フォルダを読めません");
    case PreviewOutcome::DriveMissing:
        return QStringLiteral("先フォルダのドライブがありません");
    case PreviewOutcome::BadCommand:
        return QStringLiteral("スイッチ文字列かフォルダの組み合わせが正しくありません");
    case PreviewOutcome::Refused:
        return QStringLiteral("コピーできません（%1）").arg(QString::fromLatin1(row.reason));
    case PreviewOutcome::Cancelled:
        return QStringLiteral("中止しました");
    case PreviewOutcome::NotTold:
        return QStringLiteral("確認できませんでした");
    }
    return {};
}

QString megabytesText(qint64 bytes) {
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

PreviewPlan::PreviewPlan(int rowCount) : rows_(rowCount) {}

void PreviewPlan::feed(const QByteArray& bytes) {
    partial_ += bytes;
    qsizetype start = 0;
    for (qsizetype end; (end = partial_.indexOf('\n', start)) >= 0; start = end + 1)
        take(partial_.mid(start, end - start));
    partial_.remove(0, start);
}

void PreviewPlan::end(bool cancelled) {
    if (!partial_.isEmpty())
        take(std::exchange(partial_, {}));
    const PreviewOutcome untold = cancelled ? PreviewOutcome::Cancelled : PreviewOutcome::NotTold;
    for (int i = 0; i < rows_.size(); ++i)
        if (rows_[i].outcome == PreviewOutcome::Waiting ||
            rows_[i].outcome == PreviewOutcome::Checking) {
            rows_[i] = {untold, 0, 0, {}};
            ++done_;
            changed(i);
        }
}

std::pair<int, int> PreviewPlan::takeChangedRows() {
    return {std::exchange(firstChanged_, std::numeric_limits<int>::max()),
            std::exchange(lastChanged_, -1)};
}

void PreviewPlan::changed(int row) {
    firstChanged_ = std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
}

qint64 PreviewPlan::files() const {
    qint64 sum = 0;
    for (const PreviewRow& row : rows_)
        sum += row.files;
    return sum;
}

qint64 PreviewPlan::bytes() const {
    qint64 sum = 0;
    for (const PreviewRow& row : rows_)
        sum += row.bytes;
    return sum;
}

int PreviewPlan::failures() const {
    return static_cast<int>(std::count_if(rows_.cbegin(), rows_.cend(), [](const PreviewRow& row) {
        return isFailure(row.outcome);
    }));
}

int PreviewPlan::cancelled() const {
    return static_cast<int>(std::count_if(rows_.cbegin(), rows_.cend(), [](const PreviewRow& row) {
        return row.outcome == PreviewOutcome::Cancelled;
    }));
}

void PreviewPlan::take(const QByteArray& line) {
    const QList<QByteArray> words = line.trimmed().split(' ');
    const QByteArray& word = words[0];
    if (word == "refused" && words.size() == 2) {
        static const std::pair<const char*, PreviewOutcome> known[] = {
            {"source-missing", PreviewOutcome::SourceMissing},
            {"source-unreadable", PreviewOutcome::SourceUnreadable},
            {"drive-missing", PreviewOutcome::DriveMissing},
            {"bad-command", PreviewOutcome::BadCommand},
            {"no-files", PreviewOutcome::NothingToCopy}};
        PreviewOutcome outcome = PreviewOutcome::Refused;
        for (const auto& [reason, meaning] : known)
            if (words[1] == reason)
                outcome = meaning;
        if (finish(outcome))
            rows_[current_].reason = words[1];
        return;
    }
    qint64 numbers[2] = {0, 0};
    for (qsizetype i = 1; i < words.size() && i <= 2; ++i) {
        bool ok = false;
        numbers[i - 1] = words[i].toLongLong(&ok);
        if (!ok || numbers[i - 1] < 0)
            return;
    }
    const qsizetype count = words.size() - 1;
    if (word == "line" && count == 2) {
        // Lines are told in order; one out of place or beyond the list belongs to no row.
        const qint64 number = numbers[0];
        if (number < 1 || number > rows_.size() || number - 1 <= current_)
            return;
        current_ = static_cast<int>(number - 1);
        rows_[current_].outcome = PreviewOutcome::Checking;
        planned_ = -1;
        changed(current_);
    } else if ((word == "scan" || word == "plan") && count == 2) {
        if (current_ < 0 || rows_[current_].outcome != PreviewOutcome::Checking)
            return;
        rows_[current_].files = numbers[0];
        rows_[current_].bytes = numbers[1];
        changed(current_);
        if (word == "plan")
            planned_ = numbers[0];
    } else if (word == "found" && count == 1) {
        if (planned_ < 0)
            return;
        finish(planned_ > 0     ? PreviewOutcome::Copies
               : numbers[0] > 0 ? PreviewOutcome::UpToDate
                                : PreviewOutcome::NothingToCopy);
    }
}

bool PreviewPlan::finish(PreviewOutcome outcome) {
    if (current_ < 0 || rows_[current_].outcome != PreviewOutcome::Checking)
        return false;
    PreviewRow& row = rows_[current_];
    row.outcome = outcome;
    if (outcome != PreviewOutcome::Copies)
        row.files = row.bytes = 0;
    ++done_;
    changed(current_);
    return true;
}

} // namespace xcpy

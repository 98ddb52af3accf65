#include "interpreter/line_report.h"

#include "interpreter/messages.h"
#include "interpreter/progress.h"

#include <algorithm>

namespace xcpycmd {

using messages::errorText;

void LineReport::error(int status, const std::string& message) {
    con_.errorLine(message);
    status_ = std::max(status_, status);
    if (!o_.continueOnError)
        stopped_ = true;
}

void LineReport::copyFailed(const std::string& srcPath, const std::string& dstPath,
                            const CopyError& failure) {
    switch (failure.stage) {
    case CopyStage::OpenSource:
        error(kBadCommand, "コピー元を開けません - " + srcPath + ": " + errorText(failure.error));
        break;
    case CopyStage::ReadSource:
        error(kWriteFailed, "コピー元を読めません - " + srcPath + ": " + errorText(failure.error));
        break;
    default:
        error(kWriteFailed, "書き込めません - " + dstPath + ": " + errorText(failure.error));
        break;
    }
}

void LineReport::notAnswered(const std::string& path) {
    con_.errorLine("入力が終わったため、「いいえ」とみなしました。コピーしません - " + path);
    status_ = std::max(status_, static_cast<int>(kNotAnswered));
}

void LineReport::copied(const std::string& srcPath, const std::string& dstPath, off_t bytes) {
    if (!o_.quiet)
        con_.line(o_.fullNames ? srcPath + " -> " + dstPath : srcPath);
    ++copied_;
    if (ProgressWriter* progress = con_.progress())
        progress->fileDone(bytes);
}

std::string LineReport::summary() const {
    if (o_.treeOnly)
        return std::to_string(foldersMade_) + " 個のフォルダーを作成しました";
    if (o_.listOnly)
        return std::to_string(copied_) +
               " 個のファイルがコピーの対象です (/L のため何も書き込んでいません)";
    return std::to_string(copied_) + " 個のファイルをコピーしました";
}

} // namespace xcpycmd

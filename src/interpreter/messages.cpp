#include "interpreter/messages.h"

#include <cerrno>
#include <cstring>

namespace xcpycmd::messages {

std::string errorText(int error) {
    switch (error) {
    case ENOENT:
        return "ファイルまたはフォルダーがありません";
    case EACCES:
    case EPERM:
        return "アクセスが拒否されました";
    case ENOSPC:
        return "ディスクに空きがありません";
    case EDQUOT:
        return "ディスク使用量の上限を超えました";
    case EROFS:
        return "読み取り専用のファイル システムです";
    case ENOTDIR:
        return "パスの途中にフォルダーでないものがあります";
    case EISDIR:
        return "フォルダーです";
    case EEXIST:
        return "同じ名前のものが既にあります";
    case EIO:
        return "入出力エラーが起きました";
    case ELOOP:
        return "シンボリック リンクがループしています";
    case ENAMETOOLONG:
        return "名前が長すぎます";
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます";
    case EFBIG:
        return "ファイルが大きすぎます";
    case EBUSY:
        return "使用中です";
    case EXDEV:
        return "別のファイル システムをまたいでいます";
    default:
        return std::string("エラー ") + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

} // namespace xcpycmd::messages

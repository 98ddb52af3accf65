#include "interpreter/exclude_list.h"

#include "files/codepage.h"
#include "interpreter/file_read.h"

#include <algorithm>
#include <deque>

namespace xcpycmd {
namespace {

std::string limitText() {
    return "すべての除外リストを合わせて " + std::to_string(ExcludeList::kMaxLines / 10000) +
           " 万行・" + std::to_string(ExcludeList::kMaxBytes >> 20) + " MB まで";
}

} // namespace

bool ExcludeList::load(const std::vector<std::string>& files, std::string& error) {
    std::deque<std::string> texts; // the lines point into these; a deque never moves them
    std::vector<std::string_view> lines;
    std::size_t bytes = 0;
    for (const std::string& file : files) {
        std::string raw;
        std::string why;
        if (readCommandFile(file, raw, why) != ReadOutcome::Read) {
            error = "除外リストのファイルを読めません - " + file + ": " + why;
            return false;
        }
        if (xcpy::startsWithUtf8Bom(raw))
            raw.erase(0, 3);
        std::string& text = texts.emplace_back();
        if (xcpy::checkedUtf8(raw).ok()) {
            text = std::move(raw);
        } else if (auto cp932 = xcpy::cp932ToUtf8(raw); cp932.ok()) {
            text = std::move(cp932.text);
        } else {
            error = "除外リストのファイルの文字コードを解釈できません - " + file;
            return false;
        }
        // Lists written on Windows separate folders with '\'.
        std::replace(text.begin(), text.end(), '\\', '/');
        const std::string_view all(text);
        for (std::size_t start = 0; start < all.size();) {
            std::size_t end = all.find('\n', start);
            if (end == std::string_view::npos)
                end = all.size();
            std::string_view line = all.substr(start, end - start);
            start = end + 1;
            if (line.ends_with('\r'))
                line.remove_suffix(1);
            // A blank line would exclude everything; it is no entry.
            if (line.find_first_not_of(" \t") == std::string_view::npos)
                continue;
            bytes += line.size();
            if (lines.size() == kMaxLines || bytes > kMaxBytes) {
                error = "除外リストが長すぎます (" + limitText() + ") - " + file;
                return false;
            }
            lines.push_back(line);
        }
    }
    matcher_ = SubstringMatcher(std::move(lines));
    return true;
}

} // namespace xcpycmd

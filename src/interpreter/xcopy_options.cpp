#include "interpreter/xcopy_options.h"

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

namespace xcpycmd {
namespace {

std::string upperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// m-d-y, with a two or four digit year; the start of that day in local time.
std::optional<std::time_t> parseDate(std::string_view text) {
    int part[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int index = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits[index] > 4)
                return std::nullopt;
            part[index] = part[index] * 10 + (c - '0');
        } else if ((c == '-' || c == '.') && index < 2 && digits[index] > 0) {
            ++index;
        } else {
            return std::nullopt;
        }
    }
    if (index != 2 || digits[2] == 0 || digits[0] > 2 || digits[1] > 2)
        return std::nullopt;
    int year = part[2];
    if (digits[2] <= 2)
        year += year < 80 ? 2000 : 1900;
    else if (digits[2] != 4)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = part[0] - 1;
    tm.tm_mday = part[1];
    tm.tm_isdst = -1;
    const std::tm wanted = tm;
    const std::time_t t = std::mktime(&tm);
    // mktime moves impossible dates (2-30) to real ones; refuse those instead.
    if (t == static_cast<std::time_t>(-1) || tm.tm_mon != wanted.tm_mon ||
        tm.tm_mday != wanted.tm_mday || part[0] < 1 || part[0] > 12)
        return std::nullopt;
    return t;
}

// "/D/E" is two switches; the file list of /EXCLUDE: may itself hold slashes.
std::vector<std::string> splitSwitchWord(std::string_view word) {
    std::vector<std::string> switches;
    while (!word.empty()) {
        word.remove_prefix(1); // the slash
        if (startsWith(upperAscii(word.substr(0, 8)), "EXCLUDE:")) {
            switches.emplace_back(word);
            break;
        }
        const std::size_t next = word.find('/');
        switches.emplace_back(word.substr(0, next));
        word = next == std::string_view::npos ? std::string_view() : word.substr(next);
    }
    return switches;
}

} // namespace

XCopyParse parseXCopyArguments(const std::vector<Arg>& args, const char* copycmd) {
    XCopyParse result;
    XCopyOptions& o = result.options;
    std::optional<bool> overwrite;
    std::vector<std::string> paths;

    for (const Arg& arg : args) {
        if (arg.quoted || arg.text.empty() || arg.text.front() != '/') {
            paths.push_back(arg.text);
            continue;
        }
        for (const std::string& sw : splitSwitchWord(arg.text)) {
            const std::string up = upperAscii(sw);
            if (up == "D") {
                o.newerOnly = true;
            } else if (startsWith(up, "D:")) {
                o.sinceDate = parseDate(sw.substr(2));
                if (!o.sinceDate) {
                    result.error = "日付の書き方が正しくありません (/D:月-日-年) - /" + sw;
                    return result;
                }
            } else if (startsWith(up, "EXCLUDE:")) {
                std::string_view list = std::string_view(sw).substr(8);
                while (!list.empty()) {
                    const std::size_t plus = list.find('+');
                    if (plus != 0)
                        o.excludeFiles.emplace_back(list.substr(0, plus));
                    list =
                        plus == std::string_view::npos ? std::string_view() : list.substr(plus + 1);
                }
                if (o.excludeFiles.empty()) {
                    result.error = "/EXCLUDE: の後にファイル名がありません";
                    return result;
                }
            } else if (up == "S") {
                o.subfolders = true;
            } else if (up == "E") {
                o.subfolders = o.emptyFolders = true;
            } else if (up == "I") {
                o.assumeFolder = true;
            } else if (up == "Y") {
                overwrite = true;
            } else if (up == "-Y") {
                overwrite = false;
            } else if (up == "C") {
                o.continueOnError = true;
            } else if (up == "Q") {
                o.quiet = true;
            } else if (up == "F") {
                o.fullNames = true;
            } else if (up == "L") {
                o.listOnly = true;
            } else if (up == "P") {
                o.askEach = true;
            } else if (up == "W") {
                o.waitFirst = true;
            } else if (up == "T") {
                o.treeOnly = true;
            } else if (up == "U") {
                o.existingOnly = true;
            } else if (up == "R") {
                o.overwriteReadOnly = true;
            } else if (up == "K") {
                o.keepAttributes = true;
            } else if (up == "B") {
                o.copyLinks = true;
            } else if (up == "?") {
                o.help = true;
            } else if (up == "H" || up == "V" || up == "Z" || up == "J" || up == "N" || up == "O" ||
                       up == "X" || up == "G") {
                // Accepted for compatibility; nothing on this system for them to do.
            } else if (up == "A" || up == "M") {
                result.error = "/" + sw +
                               " はアーカイブ属性でファイルを選びますが、このシステムのファイル"
                               "にはアーカイブ属性がないため使えません";
                return result;
            } else {
                result.error = "無効なスイッチです - /" + sw;
                struct stat st {};
                if (::stat(arg.text.c_str(), &st) == 0)
                    result.error += " (" + arg.text + " がパスなら、\"\" で囲んでください)";
                return result;
            }
        }
    }

    if (o.help)
        return result;
    if (paths.empty()) {
        result.error = "コピー元が指定されていません";
        return result;
    }
    if (paths.size() > 2) {
        result.error = "パラメーターの数が多すぎます - " + paths[2];
        return result;
    }
    o.source = paths[0];
    if (paths.size() == 2)
        o.destination = paths[1];
    if (o.source.empty()) {
        result.error = "コピー元が空です";
        return result;
    }

    if (!overwrite && copycmd) {
        std::istringstream words(copycmd);
        std::string word;
        while (words >> word) {
            const std::string up = upperAscii(word);
            if (up == "/Y")
                overwrite = true;
            else if (up == "/-Y")
                overwrite = false;
        }
    }
    o.overwriteWithoutAsking = overwrite.value_or(false);
    return result;
}

} // namespace xcpycmd

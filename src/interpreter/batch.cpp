#include "interpreter/batch.h"

#include "files/codepage.h"
#include "interpreter/file_read.h"
#include "interpreter/messages.h"
#include "interpreter/progress.h"
#include "interpreter/xcopy.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

extern char** environ;

namespace xcpycmd {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string lowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return result;
}

std::string_view trimLeft(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

const char* lookupVariable(const std::string& name) {
    if (const char* value = std::getenv(name.c_str()))
        return value;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* eq = std::strchr(*entry, '=');
        if (eq && static_cast<std::size_t>(eq - *entry) == name.size() &&
            strncasecmp(*entry, name.c_str(), name.size()) == 0)
            return eq + 1;
    }
    return nullptr;
}

std::string currentFolder() {
    std::string buffer(4096, '\0');
    if (!::getcwd(buffer.data(), buffer.size()))
        return ".";
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

} // namespace

std::string expandVariables(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] != '%') {
            out += line[i++];
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        if (i + 1 < line.size() &&
            ((line[i + 1] >= '0' && line[i + 1] <= '9') || line[i + 1] == '*')) {
            i += 2;
            continue;
        }
        const std::size_t close = line.find('%', i + 1);
        if (close == std::string_view::npos) {
            // A lone percent sign with no closing one is dropped.
            ++i;
            continue;
        }
        const std::string name(line.substr(i + 1, close - i - 1));
        if (const char* value = lookupVariable(name))
            out += value;
        i = close + 1;
    }
    return out;
}

std::vector<Arg> splitArguments(std::string_view text) {
    std::vector<Arg> args;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        if (i >= text.size())
            break;
        Arg arg;
        bool inQuotes = false;
        while (i < text.size() && (inQuotes || !isBlank(text[i]))) {
            if (text[i] == '"') {
                inQuotes = !inQuotes;
                arg.quoted = true;
            } else {
                arg.text += text[i];
            }
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

bool decodeBatchFile(std::string_view bytes, std::string& text, std::string& error) {
    xcpy::Conversion conversion = xcpy::startsWithUtf8Bom(bytes)
                                      ? xcpy::checkedUtf8(bytes.substr(3))
                                      : xcpy::cp932ToUtf8(bytes);
    if (!conversion.ok()) {
        const std::size_t offset =
            *conversion.errorOffset + (xcpy::startsWithUtf8Bom(bytes) ? 3 : 0);
        error = xcpy::startsWithUtf8Bom(bytes)
                    ? "UTF-8 として正しくないバイト列があります (" + std::to_string(offset) +
                          " バイト目)"
                    : "シフト JIS (コードページ 932) として読めないバイト列があります (" +
                          std::to_string(offset) + " バイト目)";
        return false;
    }
    text = std::move(conversion.text);
    return true;
}

namespace {

// One batch line split into its command word and the rest; the views point into the
// expanded text the caller keeps.
struct Command {
    std::string_view line; // without leading blanks and '@'
    bool silent = false;
    std::string word; // without double quotes
    std::string name; // lower case; "echo." for ECHO followed by . : or (
    std::string base; // the name without a folder in front of it
    std::string_view rest;
};

// False for lines that do nothing: blank lines, labels and "::" comments.
bool splitCommand(std::string_view expanded, Command& command) {
    std::string_view line = trimLeft(expanded);
    command.silent = false;
    while (!line.empty() && line.front() == '@') {
        command.silent = true;
        line = trimLeft(line.substr(1));
    }
    if (line.empty() || line.front() == ':' || line.front() == '\x1a')
        return false;
    command.line = line;

    // The command word ends at a blank; ECHO may also be followed directly by . : or (.
    std::size_t wordEnd = 0;
    bool quotedWord = false;
    while (wordEnd < line.size() && (quotedWord || !isBlank(line[wordEnd]))) {
        if (line[wordEnd] == '"')
            quotedWord = !quotedWord;
        ++wordEnd;
    }
    command.word = std::string(line.substr(0, wordEnd));
    command.word.erase(std::remove(command.word.begin(), command.word.end(), '"'),
                       command.word.end());
    command.name = lowerAscii(command.word);
    command.rest = line.substr(wordEnd);
    if (command.name.size() > 4 && command.name.compare(0, 4, "echo") == 0 &&
        (command.name[4] == '.' || command.name[4] == ':' || command.name[4] == '(')) {
        command.rest = line.substr(5);
        command.name = "echo.";
    }
    // A command may be written with a folder in front of it; only its own name counts.
    command.base = command.name;
    if (const std::size_t slash = command.base.find_last_of("/\\"); slash != std::string::npos)
        command.base.erase(0, slash + 1);
    return true;
}

bool isXCopy(const Command& command) {
    return command.base == "xcopy" || command.base == "xcopy.exe";
}

// Calls `visit` with each line of the text, without its line end.
template <typename Visit> void forEachLine(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        visit(raw);
    }
}

int countXCopyLines(std::string_view text) {
    int count = 0;
    Command command;
    forEachLine(text, [&](std::string_view raw) {
        count += splitCommand(expandVariables(raw), command) && isXCopy(command);
    });
    return count;
}

} // namespace

int runBatchText(std::string_view text, Console& console) {
    int status = 0;
    bool echoOn = true;
    ProgressWriter* progress = console.progress();
    const int xcopyLines = progress ? countXCopyLines(text) : 0;
    int xcopyLine = 0;
    Command command;
    forEachLine(text, [&](std::string_view raw) {
        const std::string expanded = expandVariables(raw);
        if (!splitCommand(expanded, command))
            return;
        const auto& [line, silent, word, name, base, rest] = command;
        // A preview plans the XCOPY lines and runs nothing else.
        if (console.preview() && !isXCopy(command))
            return;
        // Paths and names end at a NUL byte once handed to the system, so a line holding one
        // would act on a shorter path than it shows.
        const bool holdsNul = raw.find('\0') != std::string_view::npos;
        const char* const nulRefused =
            "この行には NUL 文字 (0x00) が含まれているため、実行しません。";
        if (echoOn && !silent && !console.preview()) {
            // Built piece by piece: GCC 12 warns falsely on "\n" + std::string&& in -O3 builds.
            std::string prompt(1, '\n');
            prompt += currentFolder();
            prompt += '>';
            for (const char c : trimRight(line)) { // a NUL byte would end the line on screen
                if (c == '\0')
                    prompt += "<NUL>";
                else
                    prompt += c;
            }
            console.line(prompt);
        }

        if (holdsNul && !isXCopy(command)) {
            console.errorLine(nulRefused);
        } else if (name == "rem") {
            return;
        } else if (name == "echo.") {
            console.line(std::string(rest));
        } else if (name == "echo") {
            const std::string_view arg = trimRight(trimLeft(rest));
            const std::string lower = lowerAscii(arg);
            if (arg.empty())
                console.line(echoOn ? "ECHO は <ON> です。" : "ECHO は <OFF> です。");
            else if (lower == "off")
                echoOn = false;
            else if (lower == "on")
                echoOn = true;
            else
                console.line(std::string(trimLeft(rest)));
        } else if (name == "pause") {
            console.write(messages::kPressAnyKey);
            console.waitKey();
            console.line("");
        } else if (isXCopy(command)) {
            if (progress)
                progress->lineStarted(++xcopyLine, xcopyLines);
            const int lineStatus = holdsNul ? refuseXCopy(nulRefused, console)
                                            : runXCopy(splitArguments(rest), console);
            status = std::max(status, lineStatus);
            if (progress && !console.preview())
                progress->lineEnded(lineStatus);
        } else {
            console.errorLine(
                "'" + word +
                "' は、このコマンド "
                "インタープリターが実行できるコマンドではありません。この行は飛ばします。");
        }
    });
    return status;
}

int runBatchFile(const std::string& path, Console& console) {
    std::string bytes;
    std::string why;
    if (const ReadOutcome read = readCommandFile(path, bytes, why); read != ReadOutcome::Read) {
        console.errorLine("バッチ ファイル \"" + path + "\" を読み込めません: " + why);
        return read == ReadOutcome::Refused ? kBadCommand : 1;
    }
    std::string text;
    std::string reason;
    if (!decodeBatchFile(bytes, text, reason)) {
        console.errorLine("バッチ ファイル \"" + path +
                          "\" の文字コードを解釈できません: " + reason);
        return 1;
    }
    return runBatchText(text, console);
}

} // namespace xcpycmd

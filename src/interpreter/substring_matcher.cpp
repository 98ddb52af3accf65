#include "interpreter/substring_matcher.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace xcpycmd {
namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The sorted patterns that share the prefix of a node still to be expanded.
struct Range {
    std::uint32_t begin;
    std::uint32_t end;
};

} // namespace

SubstringMatcher::SubstringMatcher(std::vector<std::string_view> patterns) {
    if (patterns.empty())
        return;
    // In lower case, sorted: the patterns below each prefix lie together, the shortest first,
    // and split into the children's runs in the order of the next byte. The trie comes out level
    // by level, already in the flat layout, without a node structure of its own.
    std::size_t bytes = 0;
    for (const std::string_view pattern : patterns)
        bytes += pattern.size();
    std::string lowered;
    lowered.reserve(bytes); // never moves: the views into it stay valid
    for (std::string_view& pattern : patterns) {
        const std::size_t at = lowered.size();
        std::transform(pattern.begin(), pattern.end(), std::back_inserter(lowered), lowerAscii);
        pattern = std::string_view(lowered).substr(at);
    }
    std::sort(patterns.begin(), patterns.end());

    // Copied once more in that order, for each level reads them from first to last; a pattern
    // that starts with another is left out, as the shorter one is found first. Their distinct
    // prefixes are the nodes, counted to allocate the arrays once.
    std::string sorted;
    sorted.reserve(bytes);
    std::size_t kept = 0;
    std::size_t count = 1;
    std::string_view last;
    for (const std::string_view pattern : patterns) {
        const auto common = static_cast<std::size_t>(
            std::mismatch(last.begin(), last.end(), pattern.begin(), pattern.end()).first -
            last.begin());
        if (!last.empty() && common == last.size())
            continue;
        count += pattern.size() - common;
        last = pattern;
        patterns[kept++] = std::string_view(sorted.data() + sorted.size(), pattern.size());
        sorted += pattern;
    }
    patterns.resize(kept);
    lowered = std::string();

    firstChild_.clear();
    firstChild_.reserve(count + 1);
    label_.reserve(count);
    matched_.clear();
    matched_.reserve(count);
    std::vector<Range> level{{0, static_cast<std::uint32_t>(kept)}};
    std::vector<Range> next;
    std::uint32_t nodes = 1;
    for (std::size_t depth = 0; !level.empty(); ++depth) {
        next.clear();
        for (const Range& range : level) {
            firstChild_.push_back(nodes);
            const bool whole = patterns[range.begin].size() == depth; // and alone in its range
            matched_.push_back(whole);
            if (whole)
                continue;
            const auto end = patterns.begin() + range.end;
            for (auto run = patterns.begin() + range.begin; run != end;) {
                // The run of the next byte is found by halves: a long shared prefix costs a
                // step per byte, not one per pattern.
                const char byte = (*run)[depth];
                const auto after = std::partition_point(
                    run + 1, end, [&](std::string_view pattern) { return pattern[depth] == byte; });
                label_.push_back(static_cast<unsigned char>(byte));
                next.push_back({static_cast<std::uint32_t>(run - patterns.begin()),
                                static_cast<std::uint32_t>(after - patterns.begin())});
                ++nodes;
                run = after;
            }
        }
        std::swap(level, next);
    }
    firstChild_.push_back(nodes);

    // A node's fallback is found from its parent's, which comes earlier in breadth-first order,
    // as does the fallback itself: its `matched_` already holds its own suffixes when read.
    fallback_.assign(nodes, 0);
    for (std::uint32_t parent = 1; parent < nodes; ++parent) {
        for (std::uint32_t node = firstChild_[parent]; node < firstChild_[parent + 1]; ++node) {
            std::uint32_t suffix = fallback_[parent];
            std::uint32_t found = child(suffix, label_[node]);
            while (found == 0 && suffix != 0) {
                suffix = fallback_[suffix];
                found = child(suffix, label_[node]);
            }
            fallback_[node] = found;
            matched_[node] |= matched_[found];
        }
    }
}

std::uint32_t SubstringMatcher::child(std::uint32_t node, unsigned char byte) const {
    const std::uint32_t first = firstChild_[node];
    const void* hit = std::memchr(label_.data() + first, byte, firstChild_[node + 1] - first);
    return hit ? static_cast<std::uint32_t>(static_cast<const unsigned char*>(hit) - label_.data())
               : 0;
}

bool SubstringMatcher::foundIn(std::string_view text) const {
    std::uint32_t node = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(lowerAscii(c));
        std::uint32_t next = child(node, byte);
        while (next == 0 && node != 0) {
            node = fallback_[node];
            next = child(node, byte);
        }
        node = next;
        if (matched_[node])
            return true;
    }
    return false;
}

} // namespace xcpycmd

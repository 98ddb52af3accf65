#include "interpreter/substring_matcher.h"

#include <algorithm>

namespace xcpycmd {
namespace {

unsigned char lowerAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

unsigned char lowerAt(std::string_view text, std::size_t i) {
    return lowerAscii(static_cast<unsigned char>(text[i]));
}

bool lessWithoutCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return lowerAscii(static_cast<unsigned char>(x)) <
               lowerAscii(static_cast<unsigned char>(y));
    });
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
    // Sorted, the patterns below each prefix lie together, the shortest first, and split into
    // the children's runs in the order of the next byte: the trie comes out level by level,
    // already in the flat layout, without a node structure of its own.
    std::sort(patterns.begin(), patterns.end(), lessWithoutCase);
    firstChild_.clear();
    matched_.clear();
    std::vector<Range> level{{0, static_cast<std::uint32_t>(patterns.size())}};
    std::vector<Range> next;
    std::uint32_t nodes = 1;
    for (std::size_t depth = 0; !level.empty(); ++depth) {
        next.clear();
        for (const Range& range : level) {
            firstChild_.push_back(nodes);
            const bool whole = patterns[range.begin].size() == depth;
            matched_.push_back(whole);
            if (whole)
                continue; // whatever follows a whole pattern is found here already
            for (std::uint32_t i = range.begin; i < range.end;) {
                const unsigned char byte = lowerAt(patterns[i], depth);
                std::uint32_t j = i + 1;
                while (j < range.end && lowerAt(patterns[j], depth) == byte)
                    ++j;
                label_.push_back(byte);
                next.push_back({i, j});
                ++nodes;
                i = j;
            }
        }
        std::swap(level, next);
    }
    firstChild_.push_back(nodes);
    firstChild_.shrink_to_fit();
    label_.shrink_to_fit();
    matched_.shrink_to_fit();

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
    const auto first = label_.begin() + firstChild_[node];
    const auto last = label_.begin() + firstChild_[node + 1];
    const auto it = std::lower_bound(first, last, byte);
    return it != last && *it == byte ? static_cast<std::uint32_t>(it - label_.begin()) : 0;
}

bool SubstringMatcher::foundIn(std::string_view text) const {
    std::uint32_t node = 0;
    for (char c : text) {
        const unsigned char byte = lowerAscii(static_cast<unsigned char>(c));
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

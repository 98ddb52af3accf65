#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace xcpycmd {

// Tells whether a text contains any of a fixed set of patterns, ASCII letters compared without
// case. The patterns are built once into an automaton (Aho-Corasick) that then reads each text
// in one pass, at a cost that does not grow with the number of patterns.
class SubstringMatcher {
public:
    SubstringMatcher() = default; // contains no pattern: finds nothing
    // The patterns must not be empty; they are only read while the automaton is built.
    explicit SubstringMatcher(std::vector<std::string_view> patterns);

    bool foundIn(std::string_view text) const;

private:
    std::uint32_t child(std::uint32_t node, unsigned char byte) const; // 0: none

    // Node 0 is the root (the empty prefix); nodes are numbered breadth first, so the children
    // of node n are the nodes from firstChild_[n] to firstChild_[n + 1], in the order of their
    // labels. A node below a whole pattern is never needed and never made.
    std::vector<std::uint32_t> firstChild_{1, 1};
    std::vector<unsigned char> label_{0}; // the lower-case byte that leads into the node
    // The node of the longest proper suffix of the node's prefix.
    std::vector<std::uint32_t> fallback_{0};
    // A pattern ends at the node's prefix or at one of its suffixes.
    std::vector<std::uint8_t> matched_{0};
};

} // namespace xcpycmd

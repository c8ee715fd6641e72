// The routine-call test of a line over every routine name at once. A line
// calls a routine when some routine name r occurs in it and, at r's first
// occurrence, starts the line or follows a character that is not an ASCII
// letter, digit or "_" (and then the line holds neither "sub " nor
// "function "), and ends the line or is followed by a blank or "(".
//
// The names go into one automaton (Aho-Corasick), so a line is read once
// whatever the number of routines: parsing stays linear in the lines.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace quillon::script {

class RoutineMatcher {
public:
    // Builds the automaton over `names` (lower case; empty names never match).
    void build(const QStringList& names);
    // What one reader of the automaton notes while it reads lines: which
    // names it has met in the current line. Each thread brings its own.
    struct Scratch {
        std::vector<std::uint32_t> seen;  // per name: the line that met it
        std::uint32_t line = 0;
    };
    // The routine-call test above for `w`, a trimmed, lower-cased line.
    bool isCall(QStringView w, Scratch& scratch) const;

private:
    int child(int node, char16_t c) const;

    struct Node {
        int fail = 0;
        int output = -1;   // the name that ends here, or -1
        int nextOutput = -1;  // the nearest node on the fail chain with an output
    };
    std::vector<Node> m_nodes;
    std::unordered_map<std::uint64_t, int> m_edges;  // (node << 16 | char) -> node
    std::vector<int> m_lengths;                       // of each name
};

}  // namespace quillon::script

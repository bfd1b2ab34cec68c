// TNameSearch: which of many names occur, case for case, anywhere inside a set of texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// All names are searched at once, in one pass over each text (a keyword automaton), so the work
// grows with the total length of names and texts, not with their product. A name is found where
// it occurs as a substring, exactly as std::wstring::find would find it; empty names are never
// found. Each text carries a source number, and the search remembers, per name, enough of its
// sources to tell whether it was found in a text of some source other than a given one.
class TNameSearch
{
public:
    explicit TNameSearch(const std::vector<const std::wstring*>& names);
    TNameSearch(const TNameSearch&) = delete;
    TNameSearch& operator=(const TNameSearch&) = delete;

    // Looks for every name in `text`, which belongs to `source` (any number but 0xFFFFFFFF).
    void Scan(const std::wstring& text, uint32_t source);
    // Whether names[index] was found in a text whose source is not `source`.
    bool FoundOutside(size_t index, uint32_t source) const;

private:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // Bits of TNode::flags.
    enum : uint8_t
    {
        NODE_END = 1,      // a name ends here
        NODE_MANY = 2,     // found in a second source too
        NODE_LINKED = 4,   // fall-back and output are known
        NODE_OUTPUT = 8,   // a name ends here or along the fall-backs
    };

    // What a step of a walk reads, in 16 bytes: the walks go from node to node across a large
    // trie, and the fewer memory lines they touch, the faster they go.
    struct TNode
    {
        uint32_t first;   // first child, 0 for none (the root is nobody's child)
        uint32_t next;    // next sibling, 0 for none
        uint32_t fail;    // node of the longest proper suffix of this path that is also a path
        wchar_t c;        // character of the edge into this node
        uint8_t flags;
    };

    uint32_t Child(uint32_t node, wchar_t c) const;
    uint32_t AddChild(uint32_t node, wchar_t c);
    void Link(uint32_t start, std::vector<uint32_t>& pending);
    void Record(uint32_t node, uint32_t source);

    std::vector<TNode> m_nodes;   // node 0 is the root
    // Per node, read less often: its parent; the nearest node along its fall-backs where a name
    // ends (kNone for none); the first source a name ending there was found in (kNone before).
    std::vector<uint32_t> m_parent, m_output, m_source;
    // The root's children looked up directly: the root is where most mismatches fall back to.
    std::vector<uint32_t> m_rootChild;
    // Node where each name ends (0 for an empty name).
    std::vector<uint32_t> m_nameNode;
};

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

    // Looks for every name in `text`, which belongs to `source`.
    void Scan(const std::wstring& text, uint32_t source);
    // Whether names[index] was found in a text whose source is not `source`.
    bool FoundOutside(size_t index, uint32_t source) const;

private:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    uint32_t Child(uint32_t node, wchar_t c) const;
    uint32_t AddChild(uint32_t node, wchar_t c);
    void Record(uint32_t node, uint32_t source);

    // Trie nodes, node 0 the root; children of a node are chained through m_next.
    std::vector<uint32_t> m_first, m_next, m_fail, m_output;
    std::vector<wchar_t> m_char;
    // Per node: whether a name ends there, the first source it was found in, and whether a second
    // source was seen too.
    std::vector<uint8_t> m_end, m_many;
    std::vector<uint32_t> m_source;
    // The root's children looked up directly: the root is where most mismatches fall back to.
    std::vector<uint32_t> m_rootChild;
    // Node where each name ends (0 for an empty name).
    std::vector<uint32_t> m_nameNode;
};

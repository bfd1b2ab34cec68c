// One optional capability on the capabilities page: identity, state and the two sizes.
#pragma once

#include "dialogs/DlgListItem.h"
#include "textutil/LineReader.h"

#include <cstdint>
#include <string>

// A size as the tool prints it ("6.54 MB", "1,024.00 KB", "0 bytes") in bytes. Every digit counts,
// every other character is skipped; the text is taken to carry two decimals when the unit before
// its last character is K, M or G, which scales it. Anything else gives the bare digits. Values
// beyond 64 bits stay at the largest one rather than wrapping into a small, plausible size.
uint64_t ParseSizeText(const std::wstring& text);

// Whether a capability identity may go into a tool's command line. Identities are appended
// unquoted, so only the characters real identities use pass ("Language.Basic~~~en-US~0.0.1.0"):
// letters, digits and . ~ - _ ; a blank, quote or slash could add arguments of its own.
bool IsCapabilityNameSafe(const std::wstring& identity);

// The identity a command line gets for a row's name: the name without the blanks the last line of
// a text no CR ends keeps at its end. False, and nothing may run for the row, when that is not a
// safe identity.
bool CommandIdentity(const std::wstring& name, std::wstring& identity);

class CDlgSysCapsOnDemandItem : public CDlgListItem
{
public:
    explicit CDlgSysCapsOnDemandItem(CDlgListItem** ppHead);
    ~CDlgSysCapsOnDemandItem() override;

    // Runs the tool's detail query silently and takes state and sizes from it.
    void LoadDetails(CDlgList* page) override;
    int Compare(int column, CDlgListItem* other) override;
    void GetLabel(std::wstring& out) override;
    void ResetDetails() override;
    void FillRow(CListCtrl* list, int row) override;

    // Takes state, download size and install size from a detail text, in that order; a key the
    // text lacks leaves its field as it was.
    void ParseDetails(TLineReader& reader);

    bool m_bInstalled;
    uint64_t m_nDownloadSize;
    uint64_t m_nInstallSize;
};

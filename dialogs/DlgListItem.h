// The row base of every checklist page, and the two descriptor records a page is built from.
#pragma once

#include <cstdint>
#include <string>

class CDlgList;
class CListCtrl;

// One row of a checklist page. Rows link themselves into their page's list when built and are
// deleted only by the page, all at once; the list runs in reverse order of creation.
class CDlgListItem
{
public:
    // Prepends the new row to the list whose head is *ppHead (the page's m_pItems).
    explicit CDlgListItem(CDlgListItem** ppHead);
    virtual ~CDlgListItem();
    CDlgListItem(const CDlgListItem&) = delete;
    CDlgListItem& operator=(const CDlgListItem&) = delete;

    // Fetches the row's details; may run a tool silently while messages are pumped.
    virtual void LoadDetails(CDlgList* page);
    // Order against another row for a list-view column: negative when this row comes first.
    virtual int Compare(int column, CDlgListItem* other);
    // The text of column 0, which is also what the filter box searches.
    virtual void GetLabel(std::wstring& out);
    virtual void ResetDetails();
    // Writes columns 1 and up of list-view row `row`.
    virtual void FillRow(CListCtrl* list, int row);

    CDlgListItem* m_pNext;
    std::wstring m_strKey;
};

// One column of a page's list view; a page keeps a constant table of them.
struct TColumnDef
{
    const wchar_t* pszTitle;
    uint8_t bRightAlign;   // nonzero: right-aligned
};

// One entry of a page's mode combo box. The value (0 or greater) is kept as the entry's item data
// and handed to the page operations; a negative value reads as no mode at all.
struct TModeDef
{
    const wchar_t* pszText;
    int nMode;
};

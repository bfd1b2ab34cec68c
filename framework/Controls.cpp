// Control wrapper methods that need a structure or a buffer.
#include "framework/Controls.h"

int CListCtrl::InsertColumn(int index, const wchar_t* heading, int format, int width) const
{
    LVCOLUMNW col = {};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = format;
    col.pszText = const_cast<wchar_t*>(heading);
    col.cx = width;
    col.iSubItem = index;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int index, const wchar_t* text, LPARAM data) const
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    item.lParam = data;
    return InsertItem(&item);
}

bool CListCtrl::SetItemText(int item, int sub, const wchar_t* text) const
{
    LVITEMW lvi = {};
    lvi.iSubItem = sub;
    lvi.pszText = const_cast<wchar_t*>(text);
    return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)) != 0;
}

std::wstring CListCtrl::GetItemText(int item, int sub) const
{
    // The list view copies at most the buffer's size; grow until the text fits.
    for (size_t size = 256; size <= (1u << 20); size *= 4)
    {
        std::wstring buf(size, L'\0');
        LVITEMW lvi = {};
        lvi.iSubItem = sub;
        lvi.pszText = &buf[0];
        lvi.cchTextMax = static_cast<int>(size);
        LRESULT got = SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
        if (got < 0)
            return std::wstring();
        if (static_cast<size_t>(got) < size - 1)
        {
            buf.resize(static_cast<size_t>(got));
            return buf;
        }
    }
    return std::wstring();
}

DWORD_PTR CListCtrl::GetItemData(int item) const
{
    LVITEMW lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = item;
    if (!SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lvi)))
        return 0;
    return static_cast<DWORD_PTR>(lvi.lParam);
}

bool CListCtrl::SetItemData(int item, DWORD_PTR data) const
{
    LVITEMW lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = item;
    lvi.lParam = static_cast<LPARAM>(data);
    return SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&lvi)) != 0;
}

bool CListCtrl::SetItemState(int item, UINT state, UINT mask) const
{
    LVITEMW lvi = {};
    lvi.state = state;
    lvi.stateMask = mask;
    return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)) != 0;
}

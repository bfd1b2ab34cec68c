// Control wrappers: each adds a few one-line methods over its control's messages.
#pragma once

#include "framework/Wnd.h"
#include <commctrl.h>

class CStatic : public CWnd
{
};

class CButton : public CWnd
{
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    void Click() const { SendMessage(BM_CLICK); }
};

class CEdit : public CWnd
{
public:
    void SetSel(int start, int end, bool noScroll = false) const
    {
        SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
        if (!noScroll)
            SendMessage(EM_SCROLLCARET);
    }
};

class CComboBox : public CWnd
{
public:
    int AddString(const wchar_t* text) const
    {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int SetItemData(int index, DWORD_PTR data) const
    {
        return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
    }
    DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index))); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    void ResetContent() const { SendMessage(CB_RESETCONTENT); }
};

class CProgressCtrl : public CWnd
{
public:
    // The 16-bit range message: bounds above 65535 do not fit.
    void SetRange(short lower, short upper) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
    int SetPos(int pos) const { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
    int SetStep(int step) const { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
    int StepIt() const { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};

class CListCtrl : public CWnd
{
public:
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    DWORD SetExtendedStyle(DWORD style) const
    {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
    }
    bool EnableGroupView(bool enable) const { return SendMessage(LVM_ENABLEGROUPVIEW, enable) >= 0; }
    int InsertGroup(int index, LVGROUP* group) const
    {
        return static_cast<int>(SendMessage(LVM_INSERTGROUP, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(group)));
    }
    int InsertColumn(int index, const wchar_t* heading, int format, int width) const;
    int SetColumnWidth(int index, int width) const
    {
        return static_cast<int>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), width));
    }
    int InsertItem(const LVITEMW* item) const
    {
        return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(item)));
    }
    int InsertItem(int index, const wchar_t* text, LPARAM data) const;
    bool SetItemText(int item, int sub, const wchar_t* text) const;
    std::wstring GetItemText(int item, int sub) const;
    DWORD_PTR GetItemData(int item) const;
    bool SetItemData(int item, DWORD_PTR data) const;
    UINT GetItemState(int item, UINT mask) const
    {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
    }
    bool SetItemState(int item, UINT state, UINT mask) const;
    bool GetCheck(int item) const { return ((GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1; }
    bool SetCheck(int item, bool check = true) const
    {
        return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
    }
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    bool DeleteItem(int item) const { return SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(item)) != 0; }
    bool DeleteAllItems() const { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    int GetNextItem(int start, int flags) const
    {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
    }
    bool SortItems(PFNLVCOMPARE compare, LPARAM data) const
    {
        return SendMessage(LVM_SORTITEMS, static_cast<WPARAM>(data), reinterpret_cast<LPARAM>(compare)) != 0;
    }
    bool EnsureVisible(int item, bool partialOk) const { return SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), partialOk) != 0; }
    void SetRedraw(bool redraw) const { SendMessage(WM_SETREDRAW, redraw); }
    HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }
};

// The checklist row base: list linking and the do-nothing row operations.
#include "dialogs/DlgListItem.h"

CDlgListItem::CDlgListItem(CDlgListItem** ppHead) : m_pNext(*ppHead)
{
    *ppHead = this;
}

CDlgListItem::~CDlgListItem()
{
    m_pNext = nullptr;
}

void CDlgListItem::LoadDetails(CDlgList*)
{
}

int CDlgListItem::Compare(int, CDlgListItem*)
{
    return 0;
}

void CDlgListItem::GetLabel(std::wstring& out)
{
    out.clear();
}

void CDlgListItem::ResetDetails()
{
}

void CDlgListItem::FillRow(CListCtrl*, int)
{
}

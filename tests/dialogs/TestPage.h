// A checklist page and row made for the tests: rows from a list of plans, a journal of every
// call the checklist makes, and hooks that let a test act in the middle of a detail or commit.
#pragma once

#include "dialogs/DlgList.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>

namespace testpage {

enum { MODE_ALL = 0, MODE_INSTALLED = 1, MODE_MISSING = 2 };

// Table order differs from the combo box's text order on purpose.
const TModeDef kModes[] = {{L"Zeta all", MODE_ALL}, {L"Installed only", MODE_INSTALLED}, {L"Missing only", MODE_MISSING}};
const TColumnDef kColumns[] = {{L"Name", 0}, {L"Size", 1}, {L"State", 0}};
const wchar_t kTitle[] = L"Checklist Test";

struct RowPlan
{
    std::wstring label;
    int number;
    int state;   // 1 installed, 0 missing
};

struct Journal
{
    std::vector<std::wstring> details;     // LoadDetails, in call order
    std::vector<std::wstring> committed;   // CommitItem, in call order
    int collects = 0;
    int destroyed = 0;
    int shownCalls = 0;
    int prepares = 0;
    int prepareMode = -1;
    int prepareParamIn = -1;
    int commitParam = -1;
};

class TestRow;

class TestPage : public CDlgList
{
public:
    explicit TestPage(std::vector<RowPlan> plans, bool detailPass = true) : CDlgList(nullptr), m_plans(std::move(plans))
    {
        m_strTitle = kTitle;
        m_strNoun = L"rows";
        m_pColumns = kColumns;
        m_nColumns = 3;
        m_pModes = kModes;
        m_nModes = 3;
        m_bNoDetailPass = !detailPass;
    }

    bool Collect() override;
    bool PrepareCommit(int mode, int* pParam) override
    {
        ++journal.prepares;
        journal.prepareMode = mode;
        journal.prepareParamIn = *pParam;
        *pParam = 7;
        return prepareResult;
    }
    bool IsItemShown(int mode, CDlgListItem* item) override;
    bool CommitItem(int mode, CDlgListItem* item, int param) override;

    std::vector<RowPlan> m_plans;
    Journal journal;
    bool collectResult = true;
    bool prepareResult = true;
    std::wstring failOn;                                  // CommitItem fails on this label
    std::function<bool(TestPage&)> collect;               // replaces the plan collection
    std::function<void(TestRow&)> onDetails, onCommit;    // run inside LoadDetails / CommitItem
};

class TestRow : public CDlgListItem
{
public:
    TestRow(TestPage& page, const RowPlan& plan) : CDlgListItem(&page.m_pItems), m_page(page), m_plan(plan)
    {
        m_strKey = plan.label;
    }
    ~TestRow() override { ++m_page.journal.destroyed; }

    void LoadDetails(CDlgList*) override
    {
        m_page.journal.details.push_back(m_plan.label);
        if (m_page.onDetails)
            m_page.onDetails(*this);
    }
    int Compare(int column, CDlgListItem* other) override
    {
        const RowPlan& o = static_cast<TestRow*>(other)->m_plan;
        if (column == 1)
            return m_plan.number < o.number ? -1 : (m_plan.number > o.number ? 1 : 0);
        if (column == 2 && m_plan.state != o.state)
            return m_plan.state > o.state ? -1 : 1;   // "installed" before "missing"
        return m_plan.label.compare(o.label);
    }
    void GetLabel(std::wstring& out) override { out = m_plan.label; }
    void FillRow(CListCtrl* list, int row) override
    {
        list->SetItemText(row, 1, std::to_wstring(m_plan.number).c_str());
        list->SetItemText(row, 2, m_plan.state ? L"installed" : L"missing");
    }

    TestPage& m_page;
    RowPlan m_plan;
};

inline bool TestPage::Collect()
{
    ++journal.collects;
    if (collect)
        return collect(*this);
    for (const RowPlan& plan : m_plans)
    {
        new TestRow(*this, plan);
        ++m_nItemCount;
    }
    return collectResult;
}

inline bool TestPage::IsItemShown(int mode, CDlgListItem* item)
{
    ++journal.shownCalls;
    const int state = static_cast<TestRow*>(item)->m_plan.state;
    return mode == MODE_ALL || (mode == MODE_INSTALLED && state == 1) || (mode == MODE_MISSING && state == 0);
}

inline bool TestPage::CommitItem(int mode, CDlgListItem* item, int param)
{
    TestRow* row = static_cast<TestRow*>(item);
    journal.committed.push_back(row->m_plan.label);
    journal.commitParam = param;
    if (onCommit)
        onCommit(*row);
    if (row->m_plan.label == failOn)
        return false;
    if (mode == MODE_INSTALLED)
        row->m_plan.state = 0;
    else if (mode == MODE_MISSING)
        row->m_plan.state = 1;
    else
        row->m_plan.number += 1000;
    return true;
}

} // namespace testpage

// Provisioned store packages: the inventory parser, the store's own packages, the view, the sort
// order, and the removals the page must refuse without running anything.
#include "StoreAppsText.h"
#include "pages/storeapps/DlgWsApps.h"
#include "pages/storeapps/DlgWsPrvApps.h"
#include "app/App.h"
#include "tests/standin/StandinFixture.h"

#include <gtest/gtest.h>
#include <random>

using namespace storeapps;

namespace {

typedef std::vector<CDlgWsPrvAppsItem*> Rows;

Rows ParseText(RowList& list, const std::string& text, int* count = nullptr)
{
    TLineReader reader(Wide(text));
    const int n = CDlgWsPrvApps::ParseInventory(&list.head, reader);
    if (count != nullptr)
        *count = n;
    return InRecordOrder<CDlgWsPrvAppsItem>(list.head);
}

std::vector<std::wstring> Labels(const Rows& rows)
{
    std::vector<std::wstring> labels;
    std::wstring label;
    for (CDlgWsPrvAppsItem* r : rows)
    {
        r->GetLabel(label);
        labels.push_back(label);
    }
    return labels;
}

TEST(ProvisionedAppsParse, RecordsGiveRowsAndTheStoresOwnPackagesNone)
{
    const char* names[] = {"Maker.Weather", "Microsoft.StorePurchaseApp", "microsoft.desktopappinstaller",
                           "Microsoft.Services.Store.Engagement", "Microsoft.WindowsStore", "Microsoft.Store",
                           "Microsoft.Stor", "Windows.CBSPreview", "MICROSOFT.STOREX"};
    std::vector<Pairs> records;
    for (const char* n : names)
        records.push_back(ProvisionedRecord(n, "4.25.20211.0", "neutral"));
    RowList list;
    int count = 0;
    Rows rows = ParseText(list, Inventory(records, kProvisionedWidth), &count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Labels(rows), (std::vector<std::wstring>{L"Maker.Weather", L"Microsoft.Stor", L"Windows.CBSPreview"}));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]->m_strKey, L"Maker.Weather_4.25.20211.0_neutral_~_8wekyb3d8bbwe");
    EXPECT_EQ(rows[0]->m_strDisplayName, L"Maker.Weather");
    EXPECT_EQ(rows[0]->m_strVersion, L"4.25.20211.0");
    EXPECT_EQ(rows[0]->m_strArchitecture, L"neutral");
    EXPECT_EQ(rows[0]->m_nFlags, 0u);
    EXPECT_EQ(static_cast<CDlgWsPrvAppsItem*>(list.head)->m_strDisplayName, L"Windows.CBSPreview")
        << "the last record heads the list";

    RowList none;
    EXPECT_TRUE(ParseText(none, "").empty());
    EXPECT_TRUE(ParseText(none, "\r\nError: access denied\r\n").empty());
}

TEST(ProvisionedAppsParse, MissingAndMisplacedKeys)
{
    Pairs noVersion = ProvisionedRecord("Maker.NoVersion", "1.0.0.0", "x64");
    Drop(noVersion, "Version");
    Pairs noArch = ProvisionedRecord("Maker.NoArch", "1.0.0.0", "x64");
    Drop(noArch, "Architecture");
    // "Architecture" before "Version": the version stays, the architecture is passed over.
    Pairs swapped = ProvisionedRecord("Maker.Swapped", "2.0.0.0", "arm64");
    std::swap(swapped[1], swapped[2]);
    Pairs noName = ProvisionedRecord("Maker.NoPackageName", "1.0.0.0", "x64");
    Drop(noName, "PackageName");
    Pairs keyOnly = ProvisionedRecord("Maker.KeyOnly", "1.0.0.0", "x64");
    Set(keyOnly, "Architecture", "\x01");
    Pairs lower = ProvisionedRecord("Maker.Lower", "1.0.0.0", "x86");
    for (auto& p : lower)
        for (char& c : p.first)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    Pairs beforeGlued = ProvisionedRecord("Maker.BeforeGlued", "1.0.0.0", "x64");
    Drop(beforeGlued, "Regions");
    Pairs glued = ProvisionedRecord("Maker.Glued", "1.0.0.0", "x64");
    Pairs last = ProvisionedRecord("Maker.Last", "1.0.0.0", "x64");

    const std::string text = Inventory({noVersion, noArch, swapped, noName, keyOnly, lower}, kProvisionedWidth) +
                             Record(beforeGlued, kProvisionedWidth) + Record(glued, kProvisionedWidth) + "\r\n" +
                             Record(last, kProvisionedWidth);
    RowList list;
    Rows rows = ParseText(list, text);
    EXPECT_EQ(Labels(rows), (std::vector<std::wstring>{L"Maker.NoVersion", L"Maker.NoArch", L"Maker.Swapped", L"Maker.KeyOnly",
                                                       L"Maker.Lower", L"Maker.BeforeGlued", L"Maker.Last"}));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0]->m_strVersion, L"");
    EXPECT_EQ(rows[0]->m_strArchitecture, L"x64");
    EXPECT_EQ(rows[1]->m_strVersion, L"1.0.0.0");
    EXPECT_EQ(rows[1]->m_strArchitecture, L"");
    EXPECT_EQ(rows[2]->m_strVersion, L"2.0.0.0");
    EXPECT_EQ(rows[2]->m_strArchitecture, L"");
    EXPECT_EQ(rows[3]->m_strArchitecture, L" ");
    EXPECT_EQ(rows[4]->m_strArchitecture, L"x86");

    // Lone CRs eat the first character of every following line; LF alone ends no line.
    std::string crOnly = Record(ProvisionedRecord("Maker.Cr", "1.0.0.0", "x64"), kProvisionedWidth);
    for (size_t i = crOnly.find("\r\n"); i != std::string::npos; i = crOnly.find("\r\n", i))
        crOnly.erase(i + 1, 1);
    std::string lfOnly = crOnly;
    for (char& c : lfOnly)
        if (c == '\r')
            c = '\n';
    RowList other;
    EXPECT_TRUE(ParseText(other, "\r\n" + crOnly).empty());
    EXPECT_TRUE(ParseText(other, lfOnly).empty());
    // A last line without a CR.
    std::string unterminated = "\r\n" + Record(ProvisionedRecord("Maker.End", "1.0.0.0", "x64"), kProvisionedWidth);
    unterminated.resize(unterminated.find("Regions") - 2);
    rows = ParseText(other, unterminated);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->m_strKey, L"Maker.End_1.0.0.0_x64_~_8wekyb3d8bbwe");
}

TEST(ProvisionedAppsParse, UnsafePackageNamesStayListedAsParsedAndGarbageNeverCrashes)
{
    // Each is listed with its name as parsed (removal refuses it): a key-only line gives one blank,
    // and the last line of a text no CR LF ends keeps its trailing blanks.
    std::vector<Pairs> records;
    std::vector<std::wstring> expected;
    for (const char* name : {"Maker.Evil_1.0_x64_~_abc; Stop-Computer", "-WhatIf", "Maker.Evil_1.0_x64_~_abc,Other", "\x01",
                             "Maker.Evil_1.0_x64_~_abc'", "Maker.Evil_1.0_x64_~_abc\t"})
    {
        Pairs r = ProvisionedRecord("Maker.Evil", "1.0.0.0", "x64");
        Set(r, "PackageName", name);
        records.push_back(r);
        expected.push_back(std::string(name) == "\x01" ? L" " : Wide(name));
    }
    records.push_back(ProvisionedRecord("Maker.Fine", "1.0.0.0", "x64"));
    expected.push_back(L"Maker.Fine_1.0.0.0_x64_~_8wekyb3d8bbwe");
    expected.push_back(L"Maker.Last_1.0_x64_~_abc  ");
    RowList list;
    const Rows rows = ParseText(list, Inventory(records, kProvisionedWidth) +
                                          "DisplayName  : Maker.Last\r\nPackageName  : Maker.Last_1.0_x64_~_abc  ");
    std::vector<std::wstring> keys;
    for (const CDlgWsPrvAppsItem* r : rows)
        keys.push_back(r->m_strKey);
    EXPECT_EQ(keys, expected);
    ASSERT_EQ(rows.size(), expected.size());
    EXPECT_EQ(rows[1]->m_strDisplayName, L"Maker.Evil");
    EXPECT_FALSE(CDlgWsApps::IsPlainPackageName(rows.back()->m_strKey));

    const std::vector<std::string> pieces = {"DisplayName  : ", "PackageName  : ", "Version      : ", "Architecture : ",
                                             "\r", "\n", "\r\n", "  ", "Maker.X_1_x64_~_p", std::string(1, '\0'), "\x80"};
    std::mt19937 random(7u);
    for (int round = 0; round < 400; ++round)
    {
        std::string text;
        const int count = static_cast<int>(random() % 50);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % pieces.size()];
        RowList l;
        int n = 0;
        Rows rows = ParseText(l, text, &n);
        EXPECT_EQ(static_cast<size_t>(n), rows.size());
    }
}

TEST(ProvisionedAppsRows, ViewSortAndRefusedRemovals)
{
    RowList list;
    auto row = [&list](const std::wstring& name, const std::wstring& version, const std::wstring& arch) {
        CDlgWsPrvAppsItem* r = new CDlgWsPrvAppsItem(&list.head);
        r->m_strKey = name + L"_" + version + L"_" + arch + L"_~_8wekyb3d8bbwe";
        r->m_strDisplayName = name;
        r->m_strVersion = version;
        r->m_strArchitecture = arch;
        return r;
    };
    CDlgWsPrvAppsItem* a = row(L"maker.Alpha", L"10.1", L"X64");
    CDlgWsPrvAppsItem* b = row(L"Maker.beta", L"9.0", L"neutral");
    EXPECT_LT(a->Compare(0, b), 0);
    EXPECT_LT(a->Compare(1, b), 0) << "versions sort as text";
    EXPECT_GT(a->Compare(2, b), 0);
    b->m_strDisplayName = L"MAKER.ALPHA";
    EXPECT_EQ(a->Compare(0, b), 0);
    EXPECT_EQ(a->Compare(3, b), 0);

    CDlgWsPrvApps page(nullptr);
    EXPECT_TRUE(page.IsItemShown(0, a));
    EXPECT_FALSE(page.IsItemShown(1, a));
    EXPECT_FALSE(page.IsItemShown(-1, a));
    a->m_nFlags = PRVAPP_REMOVED;
    EXPECT_FALSE(page.IsItemShown(0, a));
    int param = 3;
    EXPECT_TRUE(page.PrepareCommit(0, &param));
    EXPECT_EQ(param, 3);

    StandinFixture tools;
    theApp.m_strPowerShellPath = tools.InstallTool(L"WindowsPowerShell\\v1.0\\powershell.exe");
    tools.AddEntry(StandinEntry::Glob(L"*").Exit(0));
    EXPECT_FALSE(page.CommitItem(1, b, 0));
    b->m_strKey = L"Maker.Beta & calc";
    EXPECT_FALSE(page.CommitItem(0, b, 0));
    b->m_strKey = L"Maker.Beta_9.0_neutral_~_8wekyb3d8bbwe";
    theApp.m_strPowerShellPath.clear();
    EXPECT_FALSE(page.CommitItem(0, b, 0));
    EXPECT_EQ(b->m_nFlags, 0u);
    EXPECT_TRUE(tools.Commands().empty());
}

} // namespace

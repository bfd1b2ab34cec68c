// Driver package records: the driver table as the page reads it, version packing, superseded
// packages, row order of the page's sort, and the registry and folder look-up.
#include "DriverStoreSetup.h"
#include "app/App.h"
#include "pages/driverstore/DlgDriverStore.h"
#include "pages/driverstore/DriverPackage.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>
#include <string>
#include <vector>

using drvtest::DriverStoreSetup;

namespace {

// Owns the records a table read produced.
struct Table
{
    CDlgRepoDrvItem* head = nullptr;
    bool found = false;
    explicit Table(const std::wstring& text)
    {
        TLineReader reader(text);
        found = ReadDriverTable(reader, head);
    }
    ~Table() { DeleteDriverList(head); }
    std::vector<const CDlgRepoDrvItem*> Items() const
    {
        std::vector<const CDlgRepoDrvItem*> items;
        for (const CDlgRepoDrvItem* i = head; i != nullptr; i = i->m_pNext)
            items.push_back(i);
        return items;
    }
    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> names;
        for (const CDlgRepoDrvItem* i : Items())
            names.push_back(i->m_strPublishedName);
        return names;
    }
};

typedef std::vector<std::wstring> Names;

const wchar_t kPreface[] =
    L"\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.844\r\n\r\n"
    L"Image Version: 10.0.19045.3570\r\n\r\nObtaining list of 3rd party drivers from the driver store...\r\n\r\n"
    L"Driver packages listing:\r\n\r\n";
const wchar_t kHeader[] =
    L"Published Name | Original File Name | Inbox | Class Name | Provider Name | Date       | Version\r\n"
    L"-------------- | ------------------ | ----- | ---------- | ------------- | ---------- | -------\r\n";

uint64_t Pack(uint64_t a, uint64_t b, uint64_t c, uint64_t d)
{
    return a << 48 | b << 32 | c << 16 | d;
}

uint64_t VersionOf(const std::wstring& text)
{
    CDlgRepoDrvItem item(nullptr);
    item.SetVersion(text);
    EXPECT_EQ(item.m_strVersion, text);
    return item.m_nVersion;
}

TEST(DriverTable, ReadsRowsInTableOrderWithTrimmedFields)
{
    Table t(std::wstring(kPreface) + kHeader +
            L"oem3.inf       | gfxpack.inf        | No    | Display    | Acme Graphics | 01/02/2021 | 27.21.14.5671\r\n"
            L"oem12.inf      |  net lan.inf  |No|Net|Netco|13/11/2019|1.2\r\n"
            L"oem7.inf | gfxpack.inf | No | Display | Acme Graphics | 03/04/2022 | 30.0.1.2\r\n"
            L"\r\nThe operation completed successfully.\r\n");
    ASSERT_TRUE(t.found);
    const auto items = t.Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(t.Names(), (Names{L"oem3.inf", L"oem12.inf", L"oem7.inf"}));
    EXPECT_EQ(items[0]->m_nOemNumber, 3);
    EXPECT_EQ(items[1]->m_nOemNumber, 12);
    EXPECT_EQ(items[0]->m_strInfName, L"gfxpack.inf");
    EXPECT_EQ(items[0]->m_strType, L"Display");
    EXPECT_EQ(items[0]->m_strProvider, L"Acme Graphics");
    EXPECT_EQ(items[0]->m_strDate, L"01/02/2021") << "no driver database entry: the table's date stays";
    EXPECT_EQ(items[0]->m_strVersion, L"27.21.14.5671");
    EXPECT_EQ(items[0]->m_nVersion, Pack(27, 21, 14, 5671));
    EXPECT_EQ(items[0]->m_strSizeText, L"");
    EXPECT_EQ(items[1]->m_strInfName, L"net lan.inf") << "inner blanks stay, outer ones go";
    EXPECT_EQ(items[1]->m_strType, L"Net");
    EXPECT_EQ(items[1]->m_strDate, L"13/11/2019");
    EXPECT_EQ(items[1]->m_nVersion, Pack(1, 2, 0, 0));
    EXPECT_EQ(items[2]->m_pNext, nullptr);
}

TEST(DriverTable, HeaderIsFoundByItsFirstThreeCharactersOnly)
{
    const std::wstring row = L"oem1.inf | a.inf | No | Net | P | 01/01/2020 | 1.0\r\n";
    EXPECT_TRUE(Table(L"published stuff\r\n--\r\n" + row).found) << "lower-case first letter";
    EXPECT_EQ(Table(L"Pub\r\n--\r\n" + row).Names(), Names{L"oem1.inf"}) << "three characters are enough";
    EXPECT_FALSE(Table(L"PUBLISHED NAME | X\r\n--\r\n" + row).found) << "capitals after the first letter";
    EXPECT_FALSE(Table(L"Pu\r\n--\r\n" + row).found);
    EXPECT_FALSE(Table(L"").found);
    EXPECT_FALSE(Table(L"Error: 87\r\n\r\nThe option is unknown.\r\n").found);

    Table headerOnly(std::wstring(L"x\r\n") + L"Published Name | Original");
    EXPECT_TRUE(headerOnly.found);
    EXPECT_EQ(headerOnly.head, nullptr);
    Table noRows(std::wstring(kHeader) + L"\r\nThe operation completed successfully.\r\n");
    EXPECT_TRUE(noRows.found);
    EXPECT_EQ(noRows.head, nullptr);
    Table ruleIsSkipped(L"Published Name | x\r\noem9.inf | ruled.inf\r\noem2.inf | b.inf\r\n");
    EXPECT_EQ(ruleIsSkipped.Names(), Names{L"oem2.inf"}) << "the line under the header is never a row";
}

TEST(DriverTable, FirstLineThatIsNoRowEndsTheTable)
{
    const std::wstring a = L"oem1.inf | a.inf | No | Net | P | 01/01/2020 | 1.0\r\n";
    const std::wstring b = L"oem2.inf | b.inf | No | Net | P | 01/01/2020 | 2.0\r\n";
    EXPECT_EQ(Table(kHeader + a + L"OEM5.inf | c.inf | No | Net | P | 01/01/2020 | 1.0\r\n" + b).Names(),
              Names{L"oem1.inf"});
    EXPECT_EQ(Table(kHeader + a + L"oem5.inf without separator\r\n" + b).Names(), Names{L"oem1.inf"});
    EXPECT_EQ(Table(kHeader + a + L"oe\r\n" + b).Names(), Names{L"oem1.inf"});
    EXPECT_EQ(Table(kHeader + a + L"\r\n" + b).Names(), Names{L"oem1.inf"});

    Table last(kHeader + a + L"oem2.inf | b.inf | No | Net | P | 01/01/2020 | 2.0.5");
    EXPECT_EQ(last.Names(), (Names{L"oem1.inf", L"oem2.inf"})) << "a last row without line end is read once";
    EXPECT_EQ(last.Items()[1]->m_strVersion, L"2.0.5");

    Table shortRow(kHeader + std::wstring(L"oem4.inf | d.inf | No | Media | Maker\r\n"));
    ASSERT_EQ(shortRow.Items().size(), 1u);
    EXPECT_EQ(shortRow.head->m_strProvider, L"Maker");
    EXPECT_EQ(shortRow.head->m_strDate, L"");
    EXPECT_EQ(shortRow.head->m_strVersion, L"");
    EXPECT_EQ(shortRow.head->m_nVersion, 0u);

    Table bare(kHeader + std::wstring(L"oem8.inf|\r\n"));
    ASSERT_EQ(bare.Items().size(), 1u);
    EXPECT_EQ(bare.head->m_strInfName, L"");
    EXPECT_EQ(bare.head->m_nVersion, 0u);
}

TEST(DriverTable, GarbageNeverCrashesAndEveryRecordIsARowOfTheTable)
{
    const wchar_t alphabet[] = L"oemPub|.\r\n 019x\\&\"";
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round)
    {
        std::wstring text = round % 2 ? std::wstring(kHeader) : std::wstring();
        const int length = static_cast<int>(random() % 300);
        for (int i = 0; i < length; ++i)
            text += alphabet[random() % (sizeof(alphabet) / sizeof(alphabet[0]) - 1)];
        Table t(text);
        for (const CDlgRepoDrvItem* item : t.Items())
        {
            ASSERT_EQ(item->m_strPublishedName.compare(0, 3, L"oem"), 0);
            ASSERT_GE(item->m_nOemNumber, 0);
            ASSERT_EQ(item->m_nSizeOnDisk, 0u);
        }
    }
    // Every character a tool might print, zeros included.
    std::wstring binary(kHeader);
    for (int i = 0; i < 2000; ++i)
        binary += static_cast<wchar_t>(random() % 0x10000);
    Table t(binary);
    EXPECT_TRUE(t.found);
}

TEST(DriverVersion, PacksFourPartsSoThatNumbersCompareLikeVersions)
{
    EXPECT_EQ(VersionOf(L"10.0.190.1"), Pack(10, 0, 190, 1));
    EXPECT_LT(VersionOf(L"10.0.190.1"), VersionOf(L"10.0.190.2"));
    EXPECT_GT(VersionOf(L"11.0.0.0"), VersionOf(L"10.65535.65535.65535"));
    EXPECT_EQ(VersionOf(L"65536.65537.131071.7"), Pack(0, 1, 65535, 7)) << "low 16 bits of each part";
    EXPECT_EQ(VersionOf(L"99999999999999999999999.1.1.1"), Pack(65535, 1, 1, 1)) << "long digit runs keep their low bits";
    EXPECT_EQ(VersionOf(L"1.2.3.4.5.6"), Pack(1, 2, 3, 4));
    EXPECT_EQ(VersionOf(L"6.1"), Pack(6, 1, 0, 0));
    EXPECT_EQ(VersionOf(L""), 0u);
    EXPECT_EQ(VersionOf(L"beta"), 0u);
    EXPECT_EQ(VersionOf(L"2a.3b.x.4"), Pack(2, 3, 0, 4)) << "leading digits of each part";
    EXPECT_EQ(VersionOf(L"1..2"), Pack(1, 0, 2, 0));
    EXPECT_EQ(VersionOf(L"5.6\r\n7.8"), Pack(5, 6, 0, 0)) << "only the text before a CR";
}

TEST(DriverVersion, OemNumberAndPublishedNameForm)
{
    EXPECT_EQ(CDlgRepoDrvItem::OemNumberOf(L"oem7.inf"), 7);
    EXPECT_EQ(CDlgRepoDrvItem::OemNumberOf(L"oem123.inf"), 123);
    EXPECT_EQ(CDlgRepoDrvItem::OemNumberOf(L"oem.inf"), 0);
    EXPECT_EQ(CDlgRepoDrvItem::OemNumberOf(L"oemx5.inf"), 0);
    EXPECT_EQ(CDlgRepoDrvItem::OemNumberOf(L"oem"), 0);
    EXPECT_EQ(CDlgRepoDrvItem::OemNumberOf(L"oem12abc.inf"), 12);
    EXPECT_EQ(CDlgRepoDrvItem::OemNumberOf(L"oem99999999999999999999.inf"), INT32_MAX);

    for (const wchar_t* good : {L"oem0.inf", L"oem12.inf", L"oem1234567890.inf", L"oem5.INF"})
        EXPECT_TRUE(CDlgRepoDrvItem::IsPublishedName(good)) << std::string(good, good + wcslen(good));
    for (const wchar_t* bad : {L"", L"oem.inf", L"OEM1.inf", L"oem12345678901.inf", L"oem1.inf & calc.exe", L"oem1 .inf",
                               L"oem1.inf\"", L"oem1.inf\\..\\x", L"oem-1.inf", L"oem1.infx", L"oem1.sys"})
        EXPECT_FALSE(CDlgRepoDrvItem::IsPublishedName(bad)) << std::string(bad, bad + wcslen(bad));
}

CDlgRepoDrvItem* MakeItem(std::vector<std::unique_ptr<CDlgRepoDrvItem>>& owner, const wchar_t* inf, const wchar_t* type,
                          const wchar_t* provider, const wchar_t* version, const wchar_t* date, int oem = 0,
                          uint64_t size = 0)
{
    owner.emplace_back(new CDlgRepoDrvItem(nullptr));
    CDlgRepoDrvItem* item = owner.back().get();
    item->m_strInfName = inf;
    item->m_strType = type;
    item->m_strProvider = provider;
    item->SetVersion(version);
    item->m_strDate = date;
    item->m_nOemNumber = oem;
    item->m_strPublishedName = L"oem" + std::to_wstring(oem) + L".inf";
    item->m_nSizeOnDisk = size;
    return item;
}

TEST(DriverMarking, OlderCopiesOfOneDriverAreSuperseded)
{
    std::vector<std::unique_ptr<CDlgRepoDrvItem>> own;
    auto* v1 = MakeItem(own, L"gfx.inf", L"Display", L"Acme", L"1.0.0.0", L"01/01/2021");
    auto* v2 = MakeItem(own, L"GFX.INF", L"display", L"ACME", L"2.0.0.0", L"01/01/2020");
    auto* otherType = MakeItem(own, L"gfx.inf", L"Media", L"Acme", L"3.0.0.0", L"01/01/2022");
    EXPECT_TRUE(v1->IsSupersededBy(*v2)) << "letter case does not split a group";
    EXPECT_FALSE(v2->IsSupersededBy(*v1));
    EXPECT_FALSE(v1->IsSupersededBy(*otherType)) << "another type is another group";
    EXPECT_FALSE(v1->IsSupersededBy(*v1));

    auto* early = MakeItem(own, L"n.inf", L"Net", L"P", L"5.0", L"31/12/2020");
    auto* late = MakeItem(own, L"n.inf", L"Net", L"P", L"5.0", L"01/01/2021");
    auto* sameDay = MakeItem(own, L"n.inf", L"Net", L"P", L"5.0", L"01/01/2021");
    auto* noDate = MakeItem(own, L"n.inf", L"Net", L"P", L"5.0", L"2021-01-01");
    EXPECT_TRUE(early->IsSupersededBy(*late)) << "same version: the earlier date goes";
    EXPECT_FALSE(late->IsSupersededBy(*early));
    EXPECT_FALSE(late->IsSupersededBy(*sameDay));
    EXPECT_FALSE(sameDay->IsSupersededBy(*late));
    EXPECT_FALSE(noDate->IsSupersededBy(*early));
    EXPECT_FALSE(early->IsSupersededBy(*noDate));
}

TEST(DriverSort, EachColumnOrdersItsFieldAndDescendingReversesAll)
{
    std::vector<std::unique_ptr<CDlgRepoDrvItem>> own;
    auto* a = MakeItem(own, L"alpha.inf", L"Net", L"Zed", L"10.0.0.0", L"05/03/2021", 10, 5000000000ull);
    auto* b = MakeItem(own, L"Beta.inf", L"display", L"acme", L"9.0.0.0", L"04/03/2021", 2, 4096);
    auto* a2 = MakeItem(own, L"ALPHA.inf", L"Net", L"Zed", L"11.0.0.0", L"01/01/2020", 7);
    auto* a3 = MakeItem(own, L"alpha.inf", L"Net", L"Zed", L"11.0.0.0", L"01/01/2020", 3);
    CDlgRepoDrv page(nullptr);
    auto cmp = [&page](const CDlgRepoDrvItem* x, const CDlgRepoDrvItem* y) {
        return CDlgRepoDrv::CompareItems(reinterpret_cast<LPARAM>(x), reinterpret_cast<LPARAM>(y),
                                         reinterpret_cast<LPARAM>(&page));
    };
    struct Case { int column; const CDlgRepoDrvItem* first; const CDlgRepoDrvItem* second; };
    const Case ascending[] = {
        {0, a, b}, {0, a2, a}, {0, a3, a2}, {1, b, a}, {2, a, b}, {3, b, a}, {4, b, a}, {5, b, a}, {6, a, b}, {99, a, b},
    };
    for (const Case& c : ascending)
    {
        page.m_nSortColumn = c.column;
        page.m_bDescending = false;
        EXPECT_EQ(cmp(c.first, c.second), -1) << "column " << c.column;
        EXPECT_EQ(cmp(c.second, c.first), 1) << "column " << c.column;
        page.m_bDescending = true;
        EXPECT_EQ(cmp(c.first, c.second), 1) << "descending column " << c.column;
    }
    page.m_bDescending = false;
    page.m_nSortColumn = 5;
    EXPECT_EQ(cmp(a2, a3), 0);
    page.m_nSortColumn = 1;
    EXPECT_EQ(cmp(a2, a3), 0);
}

// A system folder of the test's own, the application state pointing at it, and its removal.
class DriverStoreLookup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        system = std::wstring(temp) + L"vantrel-drvstore-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ASSERT_TRUE(::CreateDirectoryW(system.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
        oldSystem = theApp.m_strSysDir;
        oldCluster = theApp.m_nClusterSize;
        theApp.m_strSysDir = system;
        theApp.m_nClusterSize = 4096;
        setup.reset(new DriverStoreSetup(system));
    }
    void TearDown() override
    {
        setup.reset();
        ::RemoveDirectoryW(system.c_str());
        theApp.m_strSysDir = oldSystem;
        theApp.m_nClusterSize = oldCluster;
    }

    // A record as the table gives it, then completed from the store.
    void Read(CDlgRepoDrvItem& item, const wchar_t* name)
    {
        item.m_strPublishedName = name;
        item.m_strDate = L"17/08/2019";
        item.m_strSizeText = L"stale";
        item.m_nSizeOnDisk = 1;
        item.ReadDriverStore();
    }

    std::wstring system, oldSystem;
    UINT oldCluster = 0;
    std::unique_ptr<DriverStoreSetup> setup;
};

TEST_F(DriverStoreLookup, FolderGivesSizeOnDiskAndUtcCreationDate)
{
    ASSERT_TRUE(setup->AddFolder(L"gfx.inf_amd64_1", {1, 4096, 4097}));
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90001.inf", L"gfx.inf_amd64_1"));
    // 23:50 UTC is already the next day east of UTC, where ctest runs this program.
    ASSERT_TRUE(setup->SetCreated(L"gfx.inf_amd64_1", 2021, 3, 5, 23, 50));
    TIME_ZONE_INFORMATION zone = {};
    ::GetTimeZoneInformation(&zone);
    ASSERT_LT(zone.Bias, -10) << "needs a time zone east of UTC (TZ=Asia/Tokyo under Wine)";

    CDlgRepoDrvItem item(nullptr);
    Read(item, L"oem90001.inf");
    EXPECT_EQ(item.m_nSizeOnDisk, 16384u) << "each file rounded up to whole clusters";
    EXPECT_EQ(item.m_strSizeText, L"16 Kb");
    EXPECT_EQ(item.m_strDate, L"05/03/2021") << "the UTC day, not the local one";

    theApp.m_nClusterSize = 0;
    Read(item, L"oem90001.inf");
    EXPECT_EQ(item.m_nSizeOnDisk, 8194u) << "no cluster size: plain sum";
}

TEST_F(DriverStoreLookup, DriversHiveIsTheSecondPlaceToLook)
{
    ASSERT_TRUE(setup->AddFolder(L"net.inf_x86_2", {100}));
    ASSERT_TRUE(setup->AddActive(drvtest::kDriversPath, L"oem90002.inf", L"net.inf_x86_2"));
    CDlgRepoDrvItem item(nullptr);
    Read(item, L"oem90002.inf");
    EXPECT_EQ(item.m_nSizeOnDisk, 4096u);
    EXPECT_EQ(item.m_strSizeText, L"4 Kb");
    EXPECT_NE(item.m_strDate, L"17/08/2019");
}

TEST_F(DriverStoreLookup, WhatCannotBeFoundLeavesNoSizeAndTheTableDate)
{
    ASSERT_TRUE(setup->AddFolder(L"empty.inf_1", {}));
    ASSERT_TRUE(setup->AddFolder(L"real.inf_1", {10}));
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90010.inf", L"empty.inf_1"));
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90011.inf", L"missing.inf_1"));
    const DWORD number = 7;
    ASSERT_TRUE(setup->AddKey(drvtest::kSystemPath, L"oem90012.inf", REG_DWORD, &number, sizeof(number)));
    const std::wstring tooLong(300, L'a');
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90013.inf", tooLong));
    // Values that would lead out of the repository, or measure all of it.
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90014.inf", L"..\\..\\DriverStore"));
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90015.inf", L""));
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90016.inf", L"real*"));
    // A name of another form never reaches a registry path, even where such a key exists.
    ASSERT_TRUE(setup->AddActive(drvtest::kSystemPath, L"oem90017.inf\\sub", L"real.inf_1"));

    CDlgRepoDrvItem item(nullptr);
    Read(item, L"oem90010.inf");
    EXPECT_EQ(item.m_nSizeOnDisk, 0u);
    EXPECT_EQ(item.m_strSizeText, L"");
    EXPECT_NE(item.m_strDate, L"17/08/2019") << "an empty folder still gives its date";

    for (const wchar_t* name : {L"oem90011.inf", L"oem90012.inf", L"oem90013.inf", L"oem90014.inf", L"oem90015.inf",
                                L"oem90016.inf", L"oem90017.inf\\sub", L"oem90099.inf"})
    {
        Read(item, name);
        EXPECT_EQ(item.m_nSizeOnDisk, 0u) << std::string(name, name + wcslen(name));
        EXPECT_EQ(item.m_strSizeText, L"") << std::string(name, name + wcslen(name));
        EXPECT_EQ(item.m_strDate, L"17/08/2019") << std::string(name, name + wcslen(name));
    }
}


// Values Windows would read as another folder than they spell, and an expandable string (the
// database keeps the folder as a plain one), leave the record as if no value were there.
TEST_F(DriverStoreLookup, OnlyAPlainStringNamingExactlyOneFolderIsMeasured)
{
    ASSERT_TRUE(setup->AddFolder(L"real.inf_1", {10}));
    struct Case
    {
        const wchar_t* name;
        DWORD type;
        const wchar_t* active;
        bool measured;
    };
    const Case cases[] = {
        {L"oem90020.inf", REG_SZ, L"real.inf_1", true},
        {L"oem90021.inf", REG_EXPAND_SZ, L"real.inf_1", false},
        {L"oem90022.inf", REG_SZ, L"real.inf_1.", false},
        {L"oem90023.inf", REG_SZ, L"real.inf_1 ", false},
        {L"oem90024.inf", REG_SZ, L"real.inf_1. .", false},
        {L"oem90025.inf", REG_SZ, L"...", false},
    };
    for (const Case& c : cases)
    {
        const std::wstring active = c.active;
        ASSERT_TRUE(setup->AddKey(drvtest::kSystemPath, c.name, c.type, active.c_str(),
                                  static_cast<DWORD>((active.size() + 1) * sizeof(wchar_t))));
        CDlgRepoDrvItem item(nullptr);
        Read(item, c.name);
        const std::string label(c.name, c.name + wcslen(c.name));
        EXPECT_EQ(item.m_nSizeOnDisk, c.measured ? 4096u : 0u) << label;
        EXPECT_EQ(item.m_strSizeText, c.measured ? L"4 Kb" : L"") << label;
        EXPECT_EQ(item.m_strDate == L"17/08/2019", !c.measured) << label;
    }
}

} // namespace

// Installed store packages: the inventory parser, the used-package marking, the mode views, the
// sort order, and the removals the page must refuse without running anything.
#include "StoreAppsText.h"
#include "pages/storeapps/DlgWsApps.h"
#include "app/App.h"
#include "tests/standin/StandinFixture.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <random>

using namespace storeapps;

namespace {

typedef std::vector<CDlgWsAppsItem*> Rows;

const std::string kPub = "abcdefghijklm";
const std::string kSysPub = "8wekyb3d8bbwe";

// What the page's collection does with the inventory text.
int ParseText(RowList& list, const std::wstring& text)
{
    TLineReader reader(text);
    return CDlgWsApps::ParseInventory(&list.head, reader);
}

Rows ParseRecords(RowList& list, const std::vector<Pairs>& records)
{
    ParseText(list, Wide(Inventory(records, kAppWidth)));
    return InRecordOrder<CDlgWsAppsItem>(list.head);
}

std::string Key(const CDlgWsAppsItem* row)
{
    return std::string(row->m_strKey.begin(), row->m_strKey.end());
}

std::vector<std::string> Keys(const Rows& rows)
{
    std::vector<std::string> keys;
    for (const CDlgWsAppsItem* r : rows)
        keys.push_back(Key(r));
    return keys;
}

TEST(InstalledAppsParse, RecordsGiveRowsWithTheirValuesAndFlagsInReverseOrder)
{
    Pairs plain = AppRecord("Contoso.Notes", "2.3.4.0", "X64", kPub);
    Pairs framework = AppRecord("Contoso.Runtime", "14.0.1.0", "X86", kPub);
    Set(framework, "IsFramework", "True");
    Set(framework, "IsBundle", "True");
    Set(framework, "IsDevelopmentMode", "True");
    Drop(framework, "NonRemovable");
    Drop(framework, "Dependencies");
    Pairs locked = AppRecord("Contoso.Shell", "1.0.0.0", "Neutral", kPub);
    Set(locked, "NonRemovable", "True");

    RowList list;
    TLineReader reader(Wide(Inventory({plain, framework, locked}, kAppWidth)));
    EXPECT_EQ(CDlgWsApps::ParseInventory(&list.head, reader), 3);
    ASSERT_NE(list.head, nullptr);
    EXPECT_EQ(Key(static_cast<CDlgWsAppsItem*>(list.head)), FullNameOf(locked)) << "the last record heads the list";

    Rows rows = InRecordOrder<CDlgWsAppsItem>(list.head);
    ASSERT_EQ(rows.size(), 3u);
    const CDlgWsAppsItem* r = rows[0];
    EXPECT_EQ(Key(r), "Contoso.Notes_2.3.4.0_X64__abcdefghijklm");
    EXPECT_EQ(r->m_strName, L"Contoso.Notes");
    EXPECT_EQ(r->m_strArchitecture, L"X64");
    EXPECT_EQ(r->m_strVersion, L"2.3.4.0");
    EXPECT_EQ(r->m_strPackageFamilyName, L"Contoso.Notes_abcdefghijklm");
    EXPECT_EQ(r->m_strPublisherId, L"abcdefghijklm");
    EXPECT_EQ(r->m_strDependencies, L"{}");
    EXPECT_EQ(r->m_strSignatureKind, L"Store");
    EXPECT_EQ(r->m_strStatus, L"Ok");
    EXPECT_EQ(r->m_nFlags, static_cast<uint32_t>(APP_HAS_DEPENDENCIES));

    EXPECT_EQ(rows[1]->m_nFlags, static_cast<uint32_t>(APP_FRAMEWORK | APP_BUNDLE | APP_DEVELOPMENT_MODE | APP_NO_NONREMOVABLE_KEY));
    EXPECT_EQ(rows[1]->m_strDependencies, L"");
    EXPECT_EQ(rows[1]->m_strStatus, L"Ok") << "keys after an absent one are still found";
    EXPECT_EQ(rows[2]->m_nFlags, static_cast<uint32_t>(APP_HIDDEN | APP_HAS_DEPENDENCIES));

    // Nothing at all, and output without a single full name: no rows, no harm.
    RowList empty;
    EXPECT_EQ(ParseText(empty, L""), 0);
    EXPECT_EQ(ParseText(empty, L"\r\n\r\nSomething went wrong\r\n"), 0);
    EXPECT_EQ(empty.head, nullptr);
}

TEST(InstalledAppsParse, BooleansAreTrueUnlessFalseAndKeyOnlyLinesHoldOneBlank)
{
    Pairs a = AppRecord("Contoso.A", "1.0.0.0", "X64", kPub);
    Set(a, "IsFramework", "false");
    Set(a, "IsBundle", "FALSE");
    Set(a, "IsDevelopmentMode", "0");
    Set(a, "NonRemovable", "\x01");
    Pairs b = AppRecord("Contoso.B", "1.0.0.0", "X64", kPub);
    Set(b, "IsFramework", "\x01");
    Set(b, "IsBundle", "Yes");
    Set(b, "IsDevelopmentMode", "fAlSe");
    Set(b, "SignatureKind", "\x01");
    Set(b, "Status", "");
    Set(b, "Dependencies", "\x01");

    RowList list;
    Rows rows = ParseRecords(list, {a, b});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->m_nFlags, static_cast<uint32_t>(APP_DEVELOPMENT_MODE | APP_HIDDEN | APP_HAS_DEPENDENCIES));
    EXPECT_EQ(rows[1]->m_nFlags, static_cast<uint32_t>(APP_FRAMEWORK | APP_BUNDLE | APP_HAS_DEPENDENCIES));
    EXPECT_EQ(rows[1]->m_strSignatureKind, L" ");
    EXPECT_EQ(rows[1]->m_strStatus, L" ");
    EXPECT_EQ(rows[1]->m_strDependencies, L" ");
}

TEST(InstalledAppsParse, WrappedDependenciesJoinWithoutBlanksAndEndAtTheClosingBrace)
{
    const std::string indent(25, ' ');
    Pairs wrapped = AppRecord("Contoso.Wrapped", "1.0.0.0", "X64", kPub,
                              "{Maker.Runtime.2_2.0.0.0_x64__abcdefghijklm, ");
    // Continuation lines go right after the "Dependencies" line; a line after the closing brace
    // is not part of the value, and the search for the next keys passes over it.
    for (size_t i = 0; i < wrapped.size(); ++i)
        if (wrapped[i].first == "Dependencies")
        {
            wrapped.insert(wrapped.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           {{"", indent + "Maker.Ui_1.5.0.0_x64__abcdefghijklm, Maker.Extra_1.0.0.0_x86__abcdefghijklm}   "},
                            {"", indent + "Stray.Indented.Line"}});
            break;
        }

    // The first piece is never tested for the brace: an indented line after it is appended.
    Pairs oneLine = AppRecord("Contoso.OneLine", "1.0.0.0", "X64", kPub, "{Maker.A_1.0.0.0_x64__abcdefghijklm}");
    for (size_t i = 0; i < oneLine.size(); ++i)
        if (oneLine[i].first == "Dependencies")
        {
            oneLine.insert(oneLine.begin() + static_cast<std::ptrdiff_t>(i) + 1, {"", indent + "{Maker.B}"});
            break;
        }

    // Without a closing brace the value runs to the first line that is not indented.
    Pairs open = AppRecord("Contoso.Open", "1.0.0.0", "X64", kPub, "{Maker.X,");
    for (size_t i = 0; i < open.size(); ++i)
        if (open[i].first == "Dependencies")
        {
            open.insert(open.begin() + static_cast<std::ptrdiff_t>(i) + 1, {{"", indent + "Maker.Y,"}, {"", indent + "Maker.Z"}});
            break;
        }

    RowList list;
    Rows rows = ParseRecords(list, {wrapped, oneLine, open});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]->m_strDependencies, L"{Maker.Runtime.2_2.0.0.0_x64__abcdefghijklm,Maker.Ui_1.5.0.0_x64__abcdefghijklm, "
                                          L"Maker.Extra_1.0.0.0_x86__abcdefghijklm}");
    EXPECT_EQ(rows[0]->m_strSignatureKind, L"Store");
    EXPECT_EQ(rows[1]->m_strDependencies, L"{Maker.A_1.0.0.0_x64__abcdefghijklm}{Maker.B}");
    EXPECT_EQ(rows[2]->m_strDependencies, L"{Maker.X,Maker.Y,Maker.Z");
    for (const CDlgWsAppsItem* r : rows)
    {
        EXPECT_EQ(r->m_strStatus, L"Ok");
        EXPECT_TRUE(r->m_nFlags & APP_HAS_DEPENDENCIES);
    }
}

TEST(InstalledAppsParse, KeysOutOfOrderOrMissingLoseOnlyWhatTheSearchPassesOver)
{
    // "SignatureKind" right after a one-line "Dependencies" ends the value and is passed over.
    Pairs sigLost = AppRecord("Contoso.SigLost", "1.0.0.0", "X64", kPub);
    Drop(sigLost, "IsPartiallyStaged");
    // "Version" after the full name: the search for the full name then ends at the next record.
    Pairs late = AppRecord("Contoso.Late", "1.0.0.0", "X64", kPub);
    Drop(late, "Version");
    late.insert(late.begin() + 6, {"Version", "1.0.0.0"});
    Pairs afterLate = AppRecord("Contoso.AfterLate", "1.0.0.0", "X64", kPub);
    Pairs noFullName = AppRecord("Contoso.NoFullName", "1.0.0.0", "X64", kPub);
    Drop(noFullName, "PackageFullName");
    Pairs beforeGlued = AppRecord("Contoso.BeforeGlued", "1.0.0.0", "X64", kPub);
    Pairs glued = AppRecord("Contoso.Glued", "1.0.0.0", "X64", kPub);
    Pairs last = AppRecord("Contoso.Last", "1.0.0.0", "X64", kPub);
    Drop(last, "Architecture");

    // A record whose "Name" line follows the previous record's "Status" line with no blank line.
    const std::string text = "\r\n" + Record(sigLost, kAppWidth) + "\r\n" + Record(late, kAppWidth) + "\r\n" +
                             Record(afterLate, kAppWidth) + "\r\n" + Record(beforeGlued, kAppWidth) +
                             Record(glued, kAppWidth) + "\r\n" + Record(noFullName, kAppWidth) + "\r\n" +
                             Record(last, kAppWidth);
    RowList list;
    EXPECT_EQ(ParseText(list, Wide(text)), 4);
    Rows rows = InRecordOrder<CDlgWsAppsItem>(list.head);
    EXPECT_EQ(Keys(rows), (std::vector<std::string>{FullNameOf(sigLost), FullNameOf(afterLate), FullNameOf(beforeGlued),
                                                    FullNameOf(last)}));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0]->m_strSignatureKind, L"");
    EXPECT_EQ(rows[0]->m_strStatus, L"Ok");
    EXPECT_EQ(rows[1]->m_strName, L"Contoso.AfterLate");
    EXPECT_EQ(rows[3]->m_strName, L"Contoso.Last");
    EXPECT_EQ(rows[3]->m_strArchitecture, L"") << "an optional key that is missing leaves its field empty";
    EXPECT_EQ(rows[3]->m_strVersion, L"1.0.0.0");
}

TEST(InstalledAppsParse, KeysMatchAsPrintedOrInLowerCaseOnly)
{
    Pairs lower = AppRecord("Contoso.Lower", "1.0.0.0", "X64", kPub);
    for (auto& p : lower)
        for (char& c : p.first)
            c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    Set(lower, "isframework", "True");
    Pairs upper = AppRecord("Contoso.Upper", "1.0.0.0", "X64", kPub);
    Drop(upper, "PackageFullName");
    upper.insert(upper.begin() + 5, {"PACKAGEFULLNAME", "Contoso.Upper_1.0.0.0_X64__abcdefghijklm"});
    Pairs plain = AppRecord("Contoso.Plain", "1.0.0.0", "X64", kPub);

    RowList list;
    Rows rows = ParseRecords(list, {lower, upper, plain});
    EXPECT_EQ(Keys(rows), (std::vector<std::string>{"Contoso.Lower_1.0.0.0_X64__abcdefghijklm", FullNameOf(plain)}));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->m_strName, L"Contoso.Lower");
    EXPECT_EQ(rows[0]->m_strStatus, L"Ok");
    EXPECT_TRUE(rows[0]->m_nFlags & APP_FRAMEWORK);
}

TEST(InstalledAppsParse, LineEndsOtherThanCrLf)
{
    const std::string record = Record(AppRecord("Contoso.Ends", "1.0.0.0", "X64", kPub), kAppWidth);
    auto replaced = [&record](const std::string& with) {
        std::string text;
        for (size_t i = 0; i < record.size(); ++i)
        {
            if (record.compare(i, 2, "\r\n") == 0)
            {
                text += with;
                ++i;
            }
            else
                text += record[i];
        }
        return text;
    };
    RowList list;
    // LF alone ends no line: the whole text is one line and holds no record.
    EXPECT_EQ(ParseText(list, Wide("\n" + replaced("\n"))), 0);
    // After a lone CR the next character is skipped unread, so no key after the first one matches.
    EXPECT_EQ(ParseText(list, Wide("\r\n" + replaced("\r"))), 0);
    EXPECT_EQ(list.head, nullptr);

    // A last line that no CR ends gives its value without the end of the text.
    std::string unterminated = "\r\n" + record;
    unterminated.resize(unterminated.size() - 2);
    EXPECT_EQ(ParseText(list, Wide(unterminated)), 1);
    ASSERT_NE(list.head, nullptr);
    EXPECT_EQ(static_cast<CDlgWsAppsItem*>(list.head)->m_strStatus, L"Ok");
}

TEST(InstalledAppsParse, SystemPackagesAreHiddenByPublisherSignatureAndName)
{
    struct Case
    {
        std::string name, publisher, nonRemovable, signature;
        bool hidden;
    };
    const Case cases[] = {
        {"Windows.Photos", kSysPub, "False", "Store", true},
        {"windows.photos", "8WEKYB3D8BBWE", "False", "Store", true},
        {"Windows.Photos", kPub, "False", "Store", false},
        {"Microsoft.StorePurchaseApp", kSysPub, "False", "Store", true},
        {"Microsoft.Stor", kSysPub, "False", "Store", false},
        {"Microsoft.DesktopAppInstaller", kSysPub, "False", "Store", true},
        {"Microsoft.Services.Store.Engagement", kSysPub, "False", "Store", true},
        {"microsoft.windowsstore", kSysPub, "False", "Store", true},
        {"Windows", kSysPub, "False", "Store", false},
        {"Maker.Tool", kSysPub, "", "system", true},            // no "NonRemovable" line, system-signed
        {"Maker.Tool", kSysPub, "False", "System", false},      // judged by the names alone
        {"Maker.Tool", kPub, "", "System", false},
        {"Maker.Tool", kSysPub, "", "Store", false},
        {"Maker.Tool", kPub, "True", "Store", true},
    };
    std::vector<Pairs> records;
    for (const Case& c : cases)
    {
        Pairs r = AppRecord(c.name, "1.0.0." + std::to_string(records.size()), "X64", c.publisher);
        if (c.nonRemovable.empty())
            Drop(r, "NonRemovable");
        else
            Set(r, "NonRemovable", c.nonRemovable);
        Set(r, "SignatureKind", c.signature);
        records.push_back(r);
    }
    RowList list;
    Rows rows = ParseRecords(list, records);
    ASSERT_EQ(rows.size(), sizeof(cases) / sizeof(cases[0]));
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ((rows[i]->m_nFlags & APP_HIDDEN) != 0, cases[i].hidden)
            << cases[i].name << " " << cases[i].publisher << " " << cases[i].signature;
}

TEST(InstalledAppsParse, UsedPackagesAreDependenciesAndTheirSameNamedCopiesWhateverTheOrder)
{
    auto full = [](const std::string& name, const std::string& version, const std::string& arch) {
        return name + "_" + version + "_" + arch + "__" + kPub;
    };
    std::vector<Pairs> records = {
        AppRecord("Maker.App", "1.0.0.0", "x64", kPub,
                  "{" + full("Maker.Lib", "1.0.0.0", "x64") + ", " + full("Maker.Other", "2.0.0.0", "x64") + "}"),
        AppRecord("Maker.Lib", "1.0.0.0", "x64", kPub),     // named: used
        AppRecord("Maker.Lib", "1.0.0.0", "x86", kPub),     // its copy: used
        AppRecord("maker.lib", "1.0.0.0", "arm", kPub),     // letter case differs: not a copy
        AppRecord("Maker.Lib", "1.0.0.1", "arm64", kPub),   // version differs: not a copy
        AppRecord("Maker.Other", "2.0.0.0", "x64", kPub),   // named, but hidden: never used
        AppRecord("Maker.Hidden", "1.0.0.0", "x64", kPub, "{" + full("Maker.Dep", "3.0.0.0", "x64") + "}"),
        AppRecord("Maker.Dep", "3.0.0.0", "x64", kPub),     // named by a hidden package: used
        AppRecord("Maker.Self", "1.0.0.0", "x64", kPub, "{" + full("Maker.Self", "1.0.0.0", "x64") + "}"),
        AppRecord("Maker.Other", "2.0.0.0", "x86", kPub),   // copy of a hidden package only
        AppRecord("Maker.Lib", "1.0.0.0", "arm64", kPub),   // a copy, but hidden: never used
    };
    Set(records[5], "NonRemovable", "True");
    Set(records[6], "NonRemovable", "True");
    Set(records[10], "NonRemovable", "True");
    const std::map<std::string, bool> expected = {
        {full("Maker.App", "1.0.0.0", "x64"), false},  {full("Maker.Lib", "1.0.0.0", "x64"), true},
        {full("Maker.Lib", "1.0.0.0", "x86"), true},   {full("maker.lib", "1.0.0.0", "arm"), false},
        {full("Maker.Lib", "1.0.0.1", "arm64"), false}, {full("Maker.Other", "2.0.0.0", "x64"), false},
        {full("Maker.Hidden", "1.0.0.0", "x64"), false}, {full("Maker.Dep", "3.0.0.0", "x64"), true},
        {full("Maker.Self", "1.0.0.0", "x64"), false},  {full("Maker.Other", "2.0.0.0", "x86"), false},
        {full("Maker.Lib", "1.0.0.0", "arm64"), false},
    };
    for (int pass = 0; pass < 2; ++pass)
    {
        std::vector<Pairs> ordered = records;
        if (pass == 1)
            std::reverse(ordered.begin(), ordered.end());
        RowList list;
        Rows rows = ParseRecords(list, ordered);
        ASSERT_EQ(rows.size(), expected.size());
        for (const CDlgWsAppsItem* r : rows)
        {
            EXPECT_EQ((r->m_nFlags & APP_USED) != 0, expected.at(Key(r))) << Key(r) << (pass ? " (reversed)" : "");
            if (r->m_nFlags & APP_HIDDEN)
            {
                EXPECT_FALSE(r->m_nFlags & APP_USED);
            }
        }
    }
}

TEST(InstalledAppsParse, UnsafeFullNamesStayListedAsParsedAndGarbageNeverCrashes)
{
    const std::string unsafe[] = {
        "Evil_1.0.0.0_x64__abc; Remove-Item -Recurse C:\\",
        "Evil_1.0.0.0_x64__abc|Stop-Computer",
        "-Confirm",
        "Evil_$(Stop-Computer)",
        "Evil_1.0.0.0_x64__abc`nStop-Computer",
        "\"Evil\"",
        "Evil 1.0",
        "Caf\xe9_1.0_x64__abc",
        "\x01",   // a key-only line: one blank
    };
    // Each is listed under its name as parsed (removal refuses it), and its dependencies count.
    std::vector<Pairs> records;
    std::vector<std::string> expected;
    for (const std::string& name : unsafe)
    {
        Pairs r = AppRecord("Evil", "1.0.0.0", "x64", kPub);
        Set(r, "PackageFullName", name);
        records.push_back(r);
        expected.push_back(name == "\x01" ? " " : name);
    }
    Set(records[0], "Dependencies", "{Contoso.Fine_1.0.0.0_x64__abcdefghijklm}");
    records.push_back(AppRecord("Contoso.Fine", "1.0.0.0", "x64", kPub));
    expected.push_back("Contoso.Fine_1.0.0.0_x64__abcdefghijklm");
    RowList list;
    Rows rows = ParseRecords(list, records);
    EXPECT_EQ(Keys(rows), expected);
    ASSERT_EQ(rows.size(), expected.size());
    EXPECT_EQ(rows.back()->m_nFlags & APP_USED, static_cast<uint32_t>(APP_USED)) << "named by an unsafe record's dependencies";
    for (const std::string& name : unsafe)
        EXPECT_FALSE(CDlgWsApps::IsPlainPackageName(Wide(name))) << name;

    // Every cut of a real inventory, then random lines made of keys, blanks, line ends and bytes.
    const std::string real = Inventory({AppRecord("Contoso.A", "1.0.0.0", "x64", kPub, "{Contoso.B_2.0.0.0_x64__abcdefghijklm, "),
                                        AppRecord("Contoso.B", "2.0.0.0", "x64", kPub)},
                                       kAppWidth);
    for (size_t cut = 0; cut <= real.size(); ++cut)
    {
        RowList l;
        ParseText(l, Wide(real.substr(0, cut)));
    }
    const std::vector<std::string> pieces = {"Name                   : ", "PackageFullName        : ",
                                             "Dependencies           : ", "NonRemovable           : ",
                                             "Status                 : ", "   ", "\r", "\n", "\r\n", "}", "{",
                                             "Contoso_1_x64__p", std::string(1, '\0'), "\xff\xfe", ";", "name"};
    std::mt19937 random(20240607u);
    for (int round = 0; round < 400; ++round)
    {
        std::wstring text;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i)
        {
            const size_t which = random() % (pieces.size() + 1);
            if (which < pieces.size())
                text += Wide(pieces[which]);
            else
                text += static_cast<wchar_t>(random() % 0x10000);
        }
        RowList l;
        const int n = ParseText(l, text);
        int seen = 0;
        for (CDlgListItem* item = l.head; item != nullptr; item = item->m_pNext)
            ++seen;
        EXPECT_EQ(n, seen);
    }
}

class InstalledAppsRows : public ::testing::Test
{
protected:
    CDlgWsAppsItem* Row(const std::wstring& name, const std::wstring& version, uint32_t flags)
    {
        CDlgWsAppsItem* row = new CDlgWsAppsItem(&list.head);
        row->m_strKey = name + L"_" + version + L"_x64__abcdefghijklm";
        row->m_strName = name;
        row->m_strVersion = version;
        row->m_nFlags = flags;
        return row;
    }
    RowList list;
};

TEST_F(InstalledAppsRows, EachModeShowsItsKindAndHiddenRowsNowhere)
{
    CDlgWsApps page(nullptr);
    struct Case
    {
        uint32_t flags;
        bool shown[3];
    };
    const Case cases[] = {
        {0, {true, false, false}},
        {APP_USED | APP_BUNDLE | APP_HAS_DEPENDENCIES | APP_NO_NONREMOVABLE_KEY, {true, false, false}},
        {APP_FRAMEWORK, {false, true, false}},
        {APP_FRAMEWORK | APP_USED, {false, true, false}},
        {APP_DEVELOPMENT_MODE, {false, false, true}},
        {APP_DEVELOPMENT_MODE | APP_FRAMEWORK, {false, false, true}},
        {APP_HIDDEN, {false, false, false}},
        {APP_HIDDEN | APP_FRAMEWORK, {false, false, false}},
        {APP_HIDDEN | APP_DEVELOPMENT_MODE, {false, false, false}},
    };
    for (const Case& c : cases)
    {
        CDlgWsAppsItem* row = Row(L"Contoso.View", L"1.0", c.flags);
        for (int mode = 0; mode < 3; ++mode)
            EXPECT_EQ(page.IsItemShown(mode, row), c.shown[mode]) << "flags " << c.flags << " mode " << mode;
        EXPECT_FALSE(page.IsItemShown(3, row));
        EXPECT_FALSE(page.IsItemShown(-1, row));
    }
    int param = 5;
    EXPECT_TRUE(page.PrepareCommit(1, &param));
    EXPECT_EQ(param, 5);
}

TEST_F(InstalledAppsRows, LabelsMarkUsedRowsAndColumnsSortIgnoringCase)
{
    CDlgWsAppsItem* a = Row(L"contoso.Alpha", L"10.0.0.0", APP_USED | APP_BUNDLE);
    CDlgWsAppsItem* b = Row(L"Contoso.alpha", L"9.0.0.0", 0);
    std::wstring label;
    a->GetLabel(label);
    EXPECT_EQ(label, L"contoso.Alpha *");
    b->GetLabel(label);
    EXPECT_EQ(label, L"Contoso.alpha");

    // Equal names fall back to the version, as text: "10..." sorts before "9...".
    EXPECT_LT(a->Compare(0, b), 0);
    EXPECT_GT(b->Compare(0, a), 0);
    EXPECT_LT(a->Compare(1, b), 0);
    b->m_strVersion = L"10.0.0.0";
    a->m_strArchitecture = L"X86";
    b->m_strArchitecture = L"x64";
    EXPECT_GT(a->Compare(0, b), 0) << "names and versions equal: the architecture decides";
    EXPECT_EQ(a->Compare(1, b), 0);
    // Flags: clear before set.
    EXPECT_GT(a->Compare(3, b), 0);
    EXPECT_LT(b->Compare(3, a), 0);
    EXPECT_GT(a->Compare(5, b), 0);
    a->m_strStatus = L"ok";
    b->m_strStatus = L"OK";
    a->m_strSignatureKind = L"Developer";
    b->m_strSignatureKind = L"store";
    a->m_strPackageFamilyName = L"Z_pub";
    b->m_strPackageFamilyName = L"a_pub";
    EXPECT_EQ(a->Compare(4, b), 0);
    EXPECT_LT(a->Compare(6, b), 0);
    EXPECT_GT(a->Compare(7, b), 0);
    EXPECT_EQ(a->Compare(8, b), 0);
    EXPECT_EQ(a->Compare(-1, b), 0);
}

TEST_F(InstalledAppsRows, RemovalsThatMustNotRunRunNothing)
{
    StandinFixture tools;
    theApp.m_strPowerShellPath = tools.InstallTool(L"WindowsPowerShell\\v1.0\\powershell.exe");
    tools.AddEntry(StandinEntry::Glob(L"*").Exit(0));
    CDlgWsApps page(nullptr);

    CDlgWsAppsItem* used = Row(L"Contoso.Used", L"1.0", APP_USED | APP_FRAMEWORK);
    EXPECT_TRUE(page.CommitItem(1, used, 0)) << "a used package is skipped, and the commit goes on";
    EXPECT_EQ(used->m_nFlags, static_cast<uint32_t>(APP_USED | APP_FRAMEWORK));

    CDlgWsAppsItem* plain = Row(L"Contoso.Plain", L"1.0", 0);
    EXPECT_FALSE(page.CommitItem(3, plain, 0));
    EXPECT_FALSE(page.CommitItem(-1, plain, 0));

    CDlgWsAppsItem* unsafe = Row(L"Contoso.Unsafe", L"1.0", 0);
    unsafe->m_strKey = L"Contoso; Stop-Computer";
    EXPECT_FALSE(page.CommitItem(0, unsafe, 0));
    EXPECT_EQ(unsafe->m_nFlags, 0u);

    theApp.m_strPowerShellPath.clear();
    EXPECT_FALSE(page.CommitItem(0, plain, 0)) << "no PowerShell path: a failure, not an exception";
    EXPECT_EQ(plain->m_nFlags, 0u);

    EXPECT_TRUE(tools.Commands().empty());
}

TEST(InstalledAppsParse, TwelveDependenciesWrappedOverSeveralLinesAreAllUsed)
{
    std::vector<Pairs> records;
    std::string list;
    for (int i = 1; i <= 12; ++i)
    {
        const std::string name = "Maker.Framework" + std::to_string(i);
        Pairs framework = AppRecord(name, "1." + std::to_string(i) + ".0.0", "x64", kPub);
        Set(framework, "IsFramework", "True");
        list += (list.empty() ? "{" : ", ") + FullNameOf(framework);
        records.push_back(framework);
    }
    list += "}";
    // Wrapped as the list view wraps a long value: at a fixed width, names cut anywhere.
    const size_t width = 70;
    Pairs app = AppRecord("Contoso.Suite", "3.0.0.0", "x64", kPub, list.substr(0, width));
    auto next = std::find_if(app.begin(), app.end(), [](const std::pair<std::string, std::string>& p) {
        return p.first == "Dependencies";
    });
    ASSERT_NE(next, app.end());
    for (size_t at = width; at < list.size(); at += width)
        next = app.insert(next + 1, {"", std::string(25, ' ') + list.substr(at, width)});
    ASSERT_GE(list.size() / width, 4u) << "several continuation lines";
    records.push_back(app);

    RowList rowList;
    Rows rows = ParseRecords(rowList, records);
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[12]->m_strDependencies, Wide(list));
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(rows[i]->m_nFlags & APP_USED) << Key(rows[i]);
    EXPECT_FALSE(rows[12]->m_nFlags & APP_USED);
}

// The marking finds a full name anywhere in another package's dependency text, letter case
// kept, whatever the text looks like around it.
TEST(InstalledAppsParse, DependencyMarkingFindsNamesAnywhereInOtherPackagesTexts)
{
    struct Row
    {
        const wchar_t* key;
        const wchar_t* deps;   // "-" stands for a record without a "Dependencies" line
        uint32_t flags;
        bool used;
    };
    struct Case
    {
        const char* what;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"inside a longer name", {{L"App_1_x__p", L"-", 0, true}, {L"X", L"{My.App_1_x__p}", 0, false}}},
        {"letter case differs", {{L"lib_1", L"-", 0, false}, {L"X", L"{Lib_1}", 0, false}}},
        {"own text only", {{L"Self_1", L"{Self_1}", 0, false}}},
        {"own text and another's", {{L"Y", L"{Both}", 0, false}, {L"Both", L"{Both}", 0, true}}},
        {"another's and own text", {{L"Both", L"{Both}", 0, true}, {L"Y", L"{Both}", 0, false}}},
        {"same name twice: the other one", {{L"Twin", L"{Twin}", 0, false}, {L"Twin", L"-", 0, true}}},
        {"names ending inside names", {{L"abc", L"-", 0, true}, {L"bc", L"-", 0, true}, {L"c", L"-", 0, true},
                                        {L"X", L"zabcz", 0, false}}},
        {"a false start", {{L"aab", L"-", 0, true}, {L"aac", L"-", 0, true}, {L"X", L"aaab aaac", 0, false}}},
        {"fall back across names", {{L"abcd", L"-", 0, false}, {L"bce", L"-", 0, true}, {L"X", L"abce", 0, false}}},
        {"blanks and commas in a name", {{L"A, B", L"-", 0, true}, {L"X", L"{A, B}", 0, false}}},
        {"hidden texts count, hidden rows never", {{L"Dep", L"-", 0, true}, {L"Gone", L"-", APP_HIDDEN, false},
                                                   {L"X", L"{Dep, Gone}", APP_HIDDEN, false}}},
        {"empty name", {{L"", L"-", 0, false}, {L"X", L"{}", 0, false}}},
    };
    for (const Case& c : cases)
    {
        RowList list;
        std::vector<CDlgWsAppsItem*> made;
        for (const Row& r : c.rows)
        {
            CDlgWsAppsItem* row = new CDlgWsAppsItem(&list.head);
            row->m_strKey = r.key;
            // A version of its own: no row is another's copy.
            row->m_strName = r.key;
            row->m_strVersion = std::to_wstring(made.size());
            row->m_nFlags = r.flags;
            if (std::wstring(r.deps) != L"-")
            {
                row->m_strDependencies = r.deps;
                row->m_nFlags |= APP_HAS_DEPENDENCIES;
            }
            made.push_back(row);
        }
        CDlgWsApps::MarkUsedPackages(list.head);
        for (size_t i = 0; i < made.size(); ++i)
            EXPECT_EQ((made[i]->m_nFlags & APP_USED) != 0, c.rows[i].used) << c.what << ", row " << i;
    }

    // Short names and texts of three letters overlap in every way; each name is sought in every
    // other text, one pair at a time, for the expected marks.
    std::mt19937 random(20261207u);
    auto word = [&random](size_t most) {
        std::wstring w(random() % (most + 1), L'a');
        for (wchar_t& ch : w)
            ch = static_cast<wchar_t>(L'a' + random() % 3);
        return w;
    };
    for (int round = 0; round < 2000; ++round)
    {
        RowList list;
        std::vector<CDlgWsAppsItem*> made;
        const size_t count = 1 + random() % 24;
        for (size_t i = 0; i < count; ++i)
        {
            CDlgWsAppsItem* row = new CDlgWsAppsItem(&list.head);
            row->m_strKey = word(6);
            row->m_strName = row->m_strKey;
            row->m_strVersion = std::to_wstring(i);
            if (random() % 2)
            {
                row->m_strDependencies = word(16);
                row->m_nFlags |= APP_HAS_DEPENDENCIES;
            }
            made.push_back(row);
        }
        std::vector<bool> expected(count, false);
        for (size_t x = 0; x < count; ++x)
            for (size_t y = 0; y < count; ++y)
                if (y != x && !made[x]->m_strKey.empty() && (made[y]->m_nFlags & APP_HAS_DEPENDENCIES) &&
                    made[y]->m_strDependencies.find(made[x]->m_strKey) != std::wstring::npos)
                    expected[x] = true;
        CDlgWsApps::MarkUsedPackages(list.head);
        for (size_t i = 0; i < count; ++i)
            ASSERT_EQ((made[i]->m_nFlags & APP_USED) != 0, expected[i]) << "round " << round << ", row " << i;
    }
}

TEST(StoreAppsAvailability, NeedsThePowerShellFileNotAFolderOfItsName)
{
    StandinFixture tools;
    const std::wstring folder = tools.SystemFolder() + L"\\WindowsPowerShell\\v1.0";
    theApp.m_strPowerShellPath = folder + L"\\powershell.exe";
    ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    EXPECT_FALSE(IsPowerShellPresentWin10());
    ASSERT_TRUE(::CreateDirectoryW((tools.SystemFolder() + L"\\WindowsPowerShell").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(theApp.m_strPowerShellPath.c_str(), nullptr));
    EXPECT_FALSE(IsPowerShellPresentWin10());
    EXPECT_EQ(::SetErrorMode(0), static_cast<UINT>(SEM_NOGPFAULTERRORBOX)) << "the error mode is given back";
    ASSERT_TRUE(::RemoveDirectoryW(theApp.m_strPowerShellPath.c_str()));
    tools.InstallTool(L"WindowsPowerShell\\v1.0\\powershell.exe");
    EXPECT_TRUE(IsPowerShellPresentWin10()) << "the test prefixes report Windows 10";
    theApp.m_strPowerShellPath.clear();
}

} // namespace

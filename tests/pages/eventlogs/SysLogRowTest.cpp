// Channel rows and the channel list on their own: the "wevtutil" parsers fed exact texts, the
// columns a row writes, its sort order, and the command lines the page would build.
#include "pages/eventlogs/DlgSysLog.h"
#include "pages/eventlogs/DlgSysLogItem.h"
#include "framework/Controls.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <cstdint>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::wstring> Texts;

const wchar_t kInfo[] =
    L"creationTime: 2021-05-06T09:27:39.1234567Z\r\n"
    L"lastAccessTime: 2023-01-02T03:04:05.6789012Z\r\n"
    L"lastWriteTime: 2023-01-02T03:04:06.0000000Z\r\n"
    L"fileSize: 1052672\r\n"
    L"attributes: 32\r\n"
    L"numberOfLogRecords: 1234\r\n"
    L"oldestRecordNumber: 1\r\n";

const wchar_t kConfig[] =
    L"name: Application\r\n"
    L"enabled: true\r\n"
    L"type: Admin\r\n"
    L"owningPublisher: \r\n"
    L"isolation: Application\r\n"
    L"channelAccess: O:BAG:SYD:(A;;0xf0007;;;SY)\r\n"
    L"logging:\r\n"
    L"  logFileName: %SystemRoot%\\System32\\Winevt\\Logs\\Application.evtx\r\n"
    L"  retention: true\r\n"
    L"  autoBackup: false\r\n"
    L"  maxSize: 20971520\r\n"
    L"publishing:\r\n"
    L"  fileMax: 1\r\n";

// A row on a list of its own; the list head owns it.
struct OneRow
{
    CDlgListItem* head = nullptr;
    CDlgSysLogItem* row;
    explicit OneRow(const std::wstring& name = L"Application") : row(new CDlgSysLogItem(&head)) { row->m_strKey = name; }
    ~OneRow() { delete row; }
    CDlgSysLogItem* operator->() { return row; }
};

TEST(SysLogRow, LogInformationTakesTheFiveKeysWithTimesShortened)
{
    OneRow r;
    r->ParseLogInfo(kInfo);
    EXPECT_EQ(r->m_dwFlags, static_cast<uint32_t>(SYSLOG_HAS_INFO));
    EXPECT_EQ(r->m_strCreationTime, L"2021-05-06 09:27:39");
    EXPECT_EQ(r->m_strLastAccessTime, L"2023-01-02 03:04:05");
    EXPECT_EQ(r->m_strLastWriteTime, L"2023-01-02 03:04:06");
    EXPECT_EQ(r->m_nFileSize, 1052672u);
    EXPECT_EQ(r->m_nRecordCount, 1234u);

    // Out of order, in lower case, no final line break; a time of ten characters stays as it is,
    // one of eleven loses its eleventh.
    OneRow lower;
    lower->ParseLogInfo(L"numberoflogrecords: 5\r\nlastwritetime: 2021-05-06X\r\ncreationtime: 2021-05-06\r\nfilesize: 77");
    EXPECT_EQ(lower->m_nRecordCount, 5u);
    EXPECT_EQ(lower->m_nFileSize, 77u);
    EXPECT_EQ(lower->m_strCreationTime, L"2021-05-06");
    EXPECT_EQ(lower->m_strLastWriteTime, L"2021-05-06 ");
    EXPECT_TRUE(lower->m_dwFlags & SYSLOG_HAS_INFO);

    // The first of two lines counts; a key in capitals is not the tool's key.
    OneRow twice;
    twice->ParseLogInfo(L"fileSize: 10\r\nfileSize: 20\r\nNUMBEROFLOGRECORDS: 3\r\n");
    EXPECT_EQ(twice->m_nFileSize, 10u);
    EXPECT_EQ(twice->m_nRecordCount, 0u);

    // The signed reading goes unchanged into the unsigned field; no digits read as 0.
    OneRow odd;
    odd->ParseLogInfo(L"fileSize: -1\r\nnumberOfLogRecords: many\r\n");
    EXPECT_EQ(odd->m_nFileSize, UINT64_MAX);
    EXPECT_EQ(odd->m_nRecordCount, 0u);
    EXPECT_TRUE(odd->m_dwFlags & SYSLOG_HAS_INFO) << "a key with an unreadable value still counts";
}

TEST(SysLogRow, LogInformationLooksAtTheFirstEightLinesOnly)
{
    std::wstring filler;
    for (int i = 0; i < 7; ++i)
        filler += L"attributes: 32\r\n";
    OneRow eighth, ninth;
    eighth->ParseLogInfo(filler + L"fileSize: 5\r\n");
    EXPECT_EQ(eighth->m_nFileSize, 5u);
    ninth->ParseLogInfo(filler + L"\r\nfileSize: 5\r\n");
    EXPECT_EQ(ninth->m_nFileSize, 0u);
    EXPECT_EQ(ninth->m_dwFlags, 0u);

    // A lone CR ends a line and the character after it is skipped: "ileSize" is no key.
    OneRow lone;
    lone->ParseLogInfo(L"numberOfLogRecords: 9\rfileSize: 5\r\n");
    EXPECT_EQ(lone->m_nRecordCount, 9u);
    EXPECT_EQ(lone->m_nFileSize, 0u);
}

TEST(SysLogRow, LogInformationWithoutAnyKeyLeavesTheRowWithoutInfo)
{
    const wchar_t* garbage[] = {
        L"",
        L"\r\r\r\n\n",
        L"Failed to read log information for Nope.\r\nThe specified channel could not be found.\r\n",
        L"\x01\x02\xFFFF fileSize: 5\r\n",
        L"fileSize:5\r\n",   // the key includes its blank
        L"file",
    };
    for (const wchar_t* text : garbage)
    {
        OneRow r;
        r->ParseLogInfo(text);
        EXPECT_EQ(r->m_dwFlags, 0u);
        EXPECT_EQ(r->m_nFileSize, 0u);
    }
}

TEST(SysLogRow, ConfigurationSetsTheFourFactsOnce)
{
    OneRow r;
    r->ParseConfig(kConfig);
    EXPECT_EQ(r->m_dwFlags, static_cast<uint32_t>(SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN | SYSLOG_RETENTION |
                                                   SYSLOG_RETENTION_KNOWN | SYSLOG_ISOLATION_KNOWN | SYSLOG_MAXSIZE_KNOWN));
    EXPECT_EQ(r->m_strIsolation, L"Application");
    EXPECT_EQ(r->m_nMaxSize, 20971520u);

    // "true" only as written; the retention and size keys only with their two leading blanks; the
    // first isolation line counts; no final line break.
    OneRow caps;
    caps->ParseConfig(L"enabled: True\r\nretention: true\r\nisolation: Custom\r\nisolation: System\r\n  RETENTION: true\r\n"
                      L"  retention: TRUE\r\n  maxSize: 1048576");
    EXPECT_EQ(caps->m_dwFlags, static_cast<uint32_t>(SYSLOG_ENABLED_KNOWN | SYSLOG_RETENTION_KNOWN |
                                                      SYSLOG_ISOLATION_KNOWN | SYSLOG_MAXSIZE_KNOWN));
    EXPECT_EQ(caps->m_strIsolation, L"Custom");
    EXPECT_EQ(caps->m_nMaxSize, 1048576u);

    // With the registry's answer already known, the tool's enabled line changes nothing.
    OneRow enabled, disabled;
    enabled->m_dwFlags = SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN;
    enabled->ParseConfig(L"enabled: false\r\n");
    EXPECT_TRUE(enabled->m_dwFlags & SYSLOG_ENABLED);
    disabled->m_dwFlags = SYSLOG_ENABLED_KNOWN;
    disabled->ParseConfig(L"enabled: true\r\n");
    EXPECT_FALSE(disabled->m_dwFlags & SYSLOG_ENABLED);

    // Nothing of the keys, or only part of them: the missing facts stay unknown and zero.
    OneRow partial;
    partial->ParseConfig(L"Access is denied.\r\n\r\nenabled: true\r\nlogging:\r\n");
    EXPECT_EQ(partial->m_dwFlags, static_cast<uint32_t>(SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN));
    EXPECT_EQ(partial->m_nMaxSize, 0u);
    EXPECT_EQ(partial->m_strIsolation, L"");
}

TEST(SysLogRow, UsedTextRoundsHalvesUpAndNeverOverflows)
{
    struct Case { uint64_t file, max; const wchar_t* text; };
    const Case cases[] = {
        {0, 1000, L"0%"}, {5, 1000, L"1%"}, {14, 1000, L"1%"}, {15, 1000, L"2%"}, {1000, 1000, L"100%"},
        {1001, 1000, L"100%+"}, {0, 0, L""}, {12345, 0, L""}, {1, 3, L"33%"}, {2, 3, L"67%"}, {1, 1, L"100%"},
        // Sizes where file size times 100 no longer fits 64 bits.
        {1ull << 60, 1ull << 62, L"25%"}, {3ull << 61, 1ull << 63, L"75%"}, {UINT64_MAX / 2, UINT64_MAX, L"50%"},
        {UINT64_MAX - 1, UINT64_MAX, L"100%"}, {UINT64_MAX / 200, UINT64_MAX, L"0%"}, {UINT64_MAX, UINT64_MAX, L"100%"},
        {UINT64_MAX, 1, L"100%+"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CDlgSysLogItem::FillText(c.file, c.max), c.text) << c.file << " of " << c.max;
}

class SysLogRowInList : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    void SetUp() override
    {
        wnd = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 600, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(wnd, nullptr);
        list.Attach(wnd);
        for (int i = 0; i < 11; ++i)
            list.InsertColumn(i, L"c", LVCFMT_LEFT, 50);
        ASSERT_EQ(list.InsertItem(0, L"row", 0), 0);
    }
    void TearDown() override { ::DestroyWindow(wnd); }

    Texts Columns()
    {
        Texts texts;
        for (int i = 1; i <= 10; ++i)
            texts.push_back(list.GetItemText(0, i));
        return texts;
    }

    HWND wnd = nullptr;
    CListCtrl list;
};

TEST_F(SysLogRowInList, ColumnsShowTheDetailsOnlyWithLogInformation)
{
    OneRow r;
    r->ParseLogInfo(kInfo);
    r->ParseConfig(kConfig);
    r->FillRow(&list, 0);
    EXPECT_EQ(Columns(), (Texts{L"Yes", L"Yes", L"Application", L"1 Mb", L"5%", L"20 Mb", L"1234", L"2021-05-06 09:27:39",
                                L"2023-01-02 03:04:05", L"2023-01-02 03:04:06"}));

    // Without a maximum: Used empty and Max of zero bytes; not enabled, no retention.
    OneRow noMax;
    noMax->ParseLogInfo(L"fileSize: 4096\r\n");
    noMax->ParseConfig(L"enabled: false\r\n  retention: false\r\n");
    noMax->FillRow(&list, 0);
    EXPECT_EQ(Columns(), (Texts{L"", L"", L"", L"4 Kb", L"", L"0 bytes", L"0", L"", L"", L""}));

    // An enabled channel whose log information gave nothing writes ten empty texts.
    OneRow bare;
    bare->m_dwFlags = SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN | SYSLOG_RETENTION;
    bare->FillRow(&list, 0);
    EXPECT_EQ(Columns(), Texts(10, L""));
}

TEST(SysLogRow, CompareOrdersEachColumnAsItReads)
{
    CDlgListItem* head = nullptr;
    auto make = [&head](const wchar_t* name, uint32_t flags) {
        CDlgSysLogItem* row = new CDlgSysLogItem(&head);
        row->m_strKey = name;
        row->m_dwFlags = flags;
        return row;
    };
    CDlgSysLogItem* a = make(L"alpha", SYSLOG_ENABLED);
    CDlgSysLogItem* b = make(L"Bravo", SYSLOG_RETENTION);
    CDlgSysLogItem* keyless = make(L"zulu", SYSLOG_NO_KEY);
    CDlgSysLogItem* keyless2 = make(L"ALPHA", SYSLOG_NO_KEY);

    // Column 0: every row without a key first, then by name in any letter case.
    EXPECT_LT(keyless->Compare(0, a), 0);
    EXPECT_GT(a->Compare(0, keyless), 0);
    EXPECT_LT(keyless2->Compare(0, keyless), 0);
    EXPECT_LT(a->Compare(0, b), 0) << "alpha before Bravo regardless of case";
    EXPECT_EQ(a->Compare(0, make(L"ALPHA", 0)), 0);

    // Flags: rows without the flag first.
    EXPECT_GT(a->Compare(1, b), 0);
    EXPECT_LT(b->Compare(1, a), 0);
    EXPECT_EQ(b->Compare(1, keyless), 0);
    EXPECT_GT(b->Compare(2, a), 0);

    a->m_strIsolation = L"system";
    b->m_strIsolation = L"Application";
    EXPECT_GT(a->Compare(3, b), 0);

    // Numbers compare unsigned: a huge value is not negative.
    a->m_nFileSize = UINT64_MAX;
    b->m_nFileSize = 1;
    EXPECT_GT(a->Compare(4, b), 0);
    a->m_nMaxSize = 1;
    b->m_nMaxSize = 1ull << 63;
    EXPECT_LT(a->Compare(6, b), 0);
    a->m_nRecordCount = 10;
    b->m_nRecordCount = 9;
    EXPECT_GT(a->Compare(7, b), 0);

    // Used: empty, then by percentage, then past the maximum.
    a->m_nFileSize = 5; a->m_nMaxSize = 0;
    b->m_nFileSize = 0; b->m_nMaxSize = 1000;
    keyless->m_nFileSize = 900; keyless->m_nMaxSize = 1000;
    keyless2->m_nFileSize = 1001; keyless2->m_nMaxSize = 1000;
    EXPECT_LT(a->Compare(5, b), 0);
    EXPECT_LT(b->Compare(5, keyless), 0);
    EXPECT_LT(keyless->Compare(5, keyless2), 0);

    // Times in the shown form order by time.
    a->m_strCreationTime = L"2021-05-06 09:27:39";
    b->m_strCreationTime = L"2021-12-01 00:00:00";
    a->m_strLastAccessTime = b->m_strLastAccessTime = L"2022-01-01 00:00:00";
    a->m_strLastWriteTime = L"2023-01-01 00:00:00";
    EXPECT_LT(a->Compare(8, b), 0);
    EXPECT_EQ(a->Compare(9, b), 0);
    EXPECT_GT(a->Compare(10, b), 0);

    // Columns that do not exist compare equal.
    EXPECT_EQ(a->Compare(11, b), 0);
    EXPECT_EQ(a->Compare(-1, b), 0);

    while (head != nullptr)
    {
        CDlgListItem* next = head->m_pNext;
        delete head;
        head = next;
    }
}

Texts Channels(const std::wstring& text)
{
    CDlgSysLog page(nullptr);
    TLineReader reader(text);
    page.AddChannels(reader);
    Texts names;
    int n = 0;
    for (CDlgListItem* item = page.m_pItems; item != nullptr; item = item->m_pNext, ++n)
        names.insert(names.begin(), item->m_strKey);   // the list runs in reverse order
    EXPECT_EQ(n, page.m_nItemCount);
    return names;
}

TEST(SysLogChannelList, OneRowPerChannelLine)
{
    EXPECT_EQ(Channels(L"Application\r\nMicrosoft-Windows-AAD/Operational\r\nKey Management Service\r\n"),
              (Texts{L"Application", L"Microsoft-Windows-AAD/Operational", L"Key Management Service"}));
    EXPECT_EQ(Channels(L"Application\r\nSystem"), (Texts{L"Application", L"System"})) << "no final line break";
    EXPECT_EQ(Channels(L"  Setup  \r\n"), (Texts{L"Setup"}));
    EXPECT_EQ(Channels(L""), Texts{});

    // A name longer than 256 characters is cut, and the row knows it: blanks after a name of
    // 256 characters cut nothing.
    const std::wstring longName(300, L'x');
    EXPECT_EQ(Channels(longName + L"\r\nSystem\r\n"), (Texts{longName.substr(0, 256), L"System"}));
    CDlgSysLog page(nullptr);
    TLineReader reader(longName + L"\r\n" + std::wstring(256, L'y') + L"   \r\n" + std::wstring(256, L'z') + L"  ");
    page.AddChannels(reader);
    std::vector<bool> cut;
    for (CDlgListItem* item = page.m_pItems; item != nullptr; item = item->m_pNext)
        cut.insert(cut.begin(), static_cast<CDlgSysLogItem*>(item)->m_bNameCut);
    EXPECT_EQ(cut, (std::vector<bool>{true, false, false}));
}

TEST(SysLogChannelList, LinesNoChannelCanHaveAreListedAsRead)
{
    // A blank line reads as a line feed (the text's first character when it opens the text); it
    // does not end the list, and makes a row like any other line.
    EXPECT_EQ(Channels(L"Application\r\n\r\nSystem\r\n"), (Texts{L"Application", L"\n", L"System"}));
    EXPECT_EQ(Channels(L"\r\nApplication\r\n   \r\nSystem\r\n"), (Texts{L"\r", L"Application", L" ", L"System"}));
    // Names that would break out of their quotes, walk to another registry key, or read as an
    // option of the tool are listed; only the command lines refuse them.
    EXPECT_EQ(Channels(L"a\" & del x\r\nb\\..\\c\r\n/ms:1\r\n-x\r\nSetup\x7F\r\nSystem\r\n"),
              (Texts{L"a\" & del x", L"b\\..\\c", L"/ms:1", L"-x", L"Setup\x7F", L"System"}));
    // Lines broken by LF alone are one line full of line feeds.
    EXPECT_EQ(Channels(L"Application\nSystem\n"), Texts{L"Application\nSystem\n"});
}

TEST(SysLogCommands, CleanAndSetSizeCommandLines)
{
    EXPECT_EQ(CDlgSysLog::CommandLineFor(0, L"Application", 0), L"wevtutil cl \"Application\"");
    EXPECT_EQ(CDlgSysLog::CommandLineFor(1, L"Application", 1), L"wevtutil sl \"Application\" /ms:1048576");
    EXPECT_EQ(CDlgSysLog::CommandLineFor(1, L"Key Management Service", 1024),
              L"wevtutil sl \"Key Management Service\" /ms:1073741824");
    EXPECT_EQ(CDlgSysLog::CommandLineFor(1, L"A/Operational", 20), L"wevtutil sl \"A/Operational\" /ms:20971520");

    // Sizes the prompt cannot give would wrap to nonsense (4096 MB is 0 in 32 bits).
    for (int size : {0, -1, 1025, 4096, INT32_MAX})
        EXPECT_EQ(CDlgSysLog::CommandLineFor(1, L"Application", size), L"") << size;
    // Unknown modes and unusable names run nothing.
    EXPECT_EQ(CDlgSysLog::CommandLineFor(2, L"Application", 1), L"");
    EXPECT_EQ(CDlgSysLog::CommandLineFor(-1, L"Application", 1), L"");
    for (const wchar_t* name : {L"", L"a\"b", L"a\\", L"\n", L" x", L"/c", L"-x", L"a\tb"})
    {
        EXPECT_EQ(CDlgSysLog::CommandLineFor(0, name, 0), L"");
        EXPECT_FALSE(CDlgSysLogItem::IsUsableChannelName(name));
    }
}

TEST(SysLogPage, UnknownModesShowNothingAndCleaningNeedsNoParameter)
{
    CDlgSysLog page(nullptr);
    CDlgSysLogItem* row = new CDlgSysLogItem(&page.m_pItems);
    row->m_nRecordCount = 1;
    row->m_dwFlags = SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN | SYSLOG_HAS_INFO;
    page.m_nItemCount = 1;
    EXPECT_TRUE(page.IsItemShown(CDlgSysLog::MODE_CLEAN, row));
    EXPECT_TRUE(page.IsItemShown(CDlgSysLog::MODE_SET_MAX_SIZE, row));
    EXPECT_FALSE(page.IsItemShown(2, row));
    EXPECT_FALSE(page.IsItemShown(-1, row));
    int param = 42;
    EXPECT_TRUE(page.PrepareCommit(CDlgSysLog::MODE_CLEAN, &param));
    EXPECT_EQ(param, 42);
}

// The "Used" column sorts as it reads: empty first, then the percentages, and past the maximum
// ("100%+") after a full log ("100%").
TEST(SysLogRow, UsedColumnSortsEmptyThenPercentagesThenPastTheMaximum)
{
    struct Used
    {
        uint64_t fileSize, maxSize;
        const wchar_t* text;
        int rank;   // equal ranks compare equal
    };
    const Used used[] = {
        {5, 0, L"", 0},
        {0, 1000, L"0%", 1},
        {5, 1000, L"1%", 2},
        {999, 1000, L"100%", 3},
        {1000, 1000, L"100%", 3},
        {1001, 1000, L"100%+", 4},
        {UINT64_MAX, 1, L"100%+", 4},
    };
    CDlgListItem* head = nullptr;
    std::vector<CDlgSysLogItem*> rows;
    for (const Used& u : used)
    {
        CDlgSysLogItem* row = new CDlgSysLogItem(&head);
        row->m_nFileSize = u.fileSize;
        row->m_nMaxSize = u.maxSize;
        ASSERT_EQ(CDlgSysLogItem::FillText(u.fileSize, u.maxSize), u.text);
        rows.push_back(row);
    }
    for (size_t i = 0; i < rows.size(); ++i)
        for (size_t j = 0; j < rows.size(); ++j)
        {
            const int result = rows[i]->Compare(5, rows[j]);
            const int sign = result < 0 ? -1 : (result > 0 ? 1 : 0);
            const int expected = used[i].rank < used[j].rank ? -1 : (used[i].rank > used[j].rank ? 1 : 0);
            EXPECT_EQ(sign, expected) << i << " against " << j;
        }
    while (head != nullptr)
    {
        CDlgListItem* next = head->m_pNext;
        delete head;
        head = next;
    }
}

} // namespace

// Memory block, record array and page buffer: sizes, growth, rollback and copies at their edges.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "runner/PageBuffer.h"
#include "runner/Void.h"

struct TPageBufferTestAccess
{
    static void SetCommitGate(bool (*gate)()) { TPageBuffer::s_pfnAllowCommit = gate; }
    // Base of the buffer's newest address-space reservation, or null.
    static void* NewestReservation(const TPageBuffer& buf)
    {
        const TPageBuffer::TRegion* region = buf.LastRegion();
        return region != nullptr ? region->pBase : nullptr;
    }
};

namespace
{
struct AllocCounts
{
    int allocs = 0;
    int reallocs = 0;
    int frees = 0;
};

// A block whose allocator can be watched and told to refuse.
class TSpyVoid : public TVoid
{
public:
    explicit TSpyVoid(AllocCounts* counts) : m_counts(counts) {}
    ~TSpyVoid() { ReleaseMemory(); }

    void* Alloc(int size) override
    {
        ++m_counts->allocs;
        return refuse ? nullptr : TVoid::Alloc(size);
    }
    void* Realloc(void* memory, int size) override
    {
        ++m_counts->reallocs;
        return refuse ? nullptr : TVoid::Realloc(memory, size);
    }
    void Free(void* memory) override
    {
        ++m_counts->frees;
        TVoid::Free(memory);
    }

    bool refuse = false;

private:
    AllocCounts* m_counts;
};

std::string Bytes(const TVoid& v)
{
    return std::string(static_cast<const char*>(v.m_pData), static_cast<size_t>(v.m_nSize));
}

std::string Pattern(int count, int seed)
{
    std::string s(static_cast<size_t>(count), '\0');
    unsigned x = static_cast<unsigned>(seed) * 2654435761u + 1;
    for (auto& c : s)
    {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

std::string Contents(const TPageBuffer& buf)
{
    if (buf.m_nBytes == 0)
        return std::string();
    TVoid out;
    EXPECT_TRUE(buf.CopyOut(&out, 0, -1));
    return Bytes(out);
}

std::vector<void*> PageAddresses(const TPageBuffer& buf)
{
    std::vector<void*> pages;
    for (int i = 0; i < buf.m_Pages.m_nCount; ++i)
        pages.push_back(*static_cast<void**>(buf.m_Pages.GetAt(i)));
    return pages;
}

bool IsReleased(void* page)
{
    MEMORY_BASIC_INFORMATION mbi = {};
    return ::VirtualQuery(page, &mbi, sizeof(mbi)) == sizeof(mbi) && mbi.State == MEM_FREE;
}
}

TEST(VoidBlock, ClearingKeepsMemoryBelow96BytesAndFreesItFrom96)
{
    AllocCounts c;
    {
        TSpyVoid v(&c);
        ASSERT_TRUE(v.SetSize(95));
        void* kept = v.m_pData;
        ASSERT_TRUE(v.SetSize(0));
        EXPECT_EQ(0, v.m_nSize);
        EXPECT_EQ(kept, v.m_pData);
        EXPECT_EQ(0, c.frees);
        // The next growth reuses the kept memory.
        ASSERT_TRUE(v.SetSize(10));
        EXPECT_EQ(1, c.allocs);
        EXPECT_EQ(1, c.reallocs);
        EXPECT_EQ(10, v.m_nSize);

        ASSERT_TRUE(v.SetSize(96));
        ASSERT_TRUE(v.SetSize(0));
        EXPECT_EQ(nullptr, v.m_pData);
        EXPECT_EQ(1, c.frees);
    }
    EXPECT_EQ(1, c.frees);   // nothing left to free

    AllocCounts d;
    {
        TSpyVoid v(&d);
        ASSERT_TRUE(v.SetSize(40));
        ASSERT_TRUE(v.SetSize(0));
        EXPECT_EQ(0, d.frees);
    }
    EXPECT_EQ(1, d.frees) << "destroying a cleared small block frees its kept memory";
}

TEST(VoidBlock, SameSizeAllocatesNothingAndRefusedChangesLeaveTheBlockAlone)
{
    AllocCounts c;
    TSpyVoid v(&c);
    ASSERT_TRUE(v.SetSize(120));
    ASSERT_TRUE(v.SetSize(120));
    EXPECT_EQ(1, c.allocs + c.reallocs);
    std::memset(v.m_pData, 'z', 120);
    void* before = v.m_pData;
    v.refuse = true;
    EXPECT_FALSE(v.SetSize(500));
    EXPECT_FALSE(v.SetSize(1));
    EXPECT_EQ(120, v.m_nSize);
    EXPECT_EQ(before, v.m_pData);
    EXPECT_EQ(std::string(120, 'z'), Bytes(v));

    void* p = before;
    EXPECT_FALSE(v.Resize(&p, 10));
    EXPECT_EQ(before, p);
    EXPECT_FALSE(v.Resize(nullptr, 10));
    EXPECT_FALSE(v.SetSize(-1));
    EXPECT_EQ(120, v.m_nSize);
    v.refuse = false;
}

TEST(VoidBlock, MemoryNotOwnedIsNeverResizedOrFreed)
{
    char outside[8] = "abcdefg";
    AllocCounts c;
    {
        TSpyVoid v(&c);
        v.m_bNotOwned = TVoid::NOT_OWNED;
        v.m_pData = outside;
        v.m_nSize = 8;
        EXPECT_FALSE(v.SetSize(0));
        EXPECT_FALSE(v.SetSize(16));
        EXPECT_FALSE(v.SetSize(8));
        EXPECT_EQ(8, v.m_nSize);
        EXPECT_EQ(L"abcdefg", v.ToText());
    }
    EXPECT_EQ(0, c.allocs + c.reallocs + c.frees);
    EXPECT_STREQ("abcdefg", outside);
}

TEST(VoidBlock, ToTextWidensEachByteAndStopsAtTheFirstZero)
{
    TVoid v;
    EXPECT_EQ(L"", v.ToText());
    ASSERT_TRUE(v.SetSize(3));
    std::memcpy(v.m_pData, "A\0B", 3);
    EXPECT_EQ(L"A", v.ToText());
    EXPECT_EQ(3, v.m_nSize) << "the block is unchanged";
    ASSERT_TRUE(v.SetSize(2));
    std::memcpy(v.m_pData, "\xE9\x80", 2);
    EXPECT_EQ(std::wstring({wchar_t(0xE9), wchar_t(0x80)}), v.ToText()) << "bytes read as ISO-8859-1";
    ASSERT_TRUE(v.SetSize(0));
    EXPECT_EQ(L"", v.ToText()) << "a cleared block reads empty even with its memory kept";
}

TEST(RecordArray, GrowsInWholeStepsWithExactStorageAndZeroedElements)
{
    TRecArray a;
    EXPECT_EQ(0, a.m_nCapacity);
    EXPECT_EQ(1, a.m_nElemSize);
    EXPECT_EQ(32, a.m_nGrowStep);
    a.m_nElemSize = 8;
    a.m_nGrowStep = 4;

    const int expected[] = {4, 4, 4, 4, 8, 8, 8, 8, 12, 12};
    for (int i = 0; i < 10; ++i)
    {
        unsigned char* e = static_cast<unsigned char*>(a.Add());
        ASSERT_NE(nullptr, e);
        EXPECT_EQ(expected[i], a.m_nCapacity) << "after element " << i;
        EXPECT_EQ(a.m_nCapacity * 8, a.m_Storage.m_nSize);
        EXPECT_EQ(e, a.GetAt(i));
        for (int b = 0; b < 8; ++b)
            ASSERT_EQ(0, e[b]);
        std::memset(e, 0xFF, 8);
    }
    // Elements re-added over dirty storage read as zero again.
    ASSERT_TRUE(a.Remove(1));
    unsigned char* again = static_cast<unsigned char*>(a.Add());
    ASSERT_NE(nullptr, again);
    for (int b = 0; b < 8; ++b)
        EXPECT_EQ(0, again[b]);

    TRecArray bad;
    bad.m_nElemSize = 0;
    EXPECT_EQ(nullptr, bad.Add());
    bad.m_nElemSize = 4;
    bad.m_nGrowStep = 0;
    EXPECT_EQ(nullptr, bad.Add());
}

TEST(RecordArray, RefusedGrowthChangesNothing)
{
    TRecArray a;
    a.m_nElemSize = 4;
    a.m_nGrowStep = 4;
    for (int i = 0; i < 4; ++i)
        *static_cast<int*>(a.Add()) = 100 + i;
    // The storage's size changes fail while its memory is marked as not its own.
    a.m_Storage.m_bNotOwned = TVoid::NOT_OWNED;
    EXPECT_EQ(nullptr, a.Add());
    a.m_Storage.m_bNotOwned = 0;
    EXPECT_EQ(4, a.m_nCount);
    EXPECT_EQ(4, a.m_nCapacity);
    EXPECT_EQ(16, a.m_Storage.m_nSize);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(100 + i, *static_cast<int*>(a.GetAt(i)));
}

TEST(RecordArray, RemoveKeepsLeadingElementsAndShrinksInWholeSteps)
{
    TRecArray a;
    a.m_nElemSize = 4;
    a.m_nGrowStep = 4;
    EXPECT_FALSE(a.Remove(1)) << "nothing to remove from empty storage";
    for (int i = 0; i < 9; ++i)
        *static_cast<int*>(a.Add()) = 1000 + i;
    ASSERT_EQ(12, a.m_nCapacity);

    EXPECT_TRUE(a.Remove(0));
    EXPECT_EQ(9, a.m_nCount);
    EXPECT_EQ(12, a.m_nCapacity);

    EXPECT_TRUE(a.Remove(2));
    EXPECT_EQ(7, a.m_nCount);
    EXPECT_EQ(8, a.m_nCapacity);
    EXPECT_EQ(32, a.m_Storage.m_nSize);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(1000 + i, *static_cast<int*>(a.GetAt(i)));
    EXPECT_EQ(0, static_cast<int*>(a.m_Storage.m_pData)[7]) << "vacated slot inside the storage is zeroed";

    EXPECT_EQ(nullptr, a.GetAt(7));
    EXPECT_EQ(nullptr, a.GetAt(-1));

    EXPECT_TRUE(a.Remove(100));
    EXPECT_EQ(0, a.m_nCount);
    EXPECT_EQ(0, a.m_nCapacity);
    EXPECT_EQ(nullptr, a.GetAt(0));
}

TEST(PageBuffer, PagesFillExactlyAndCopiesComeBackInOrder)
{
    TPageBuffer buf;
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    ASSERT_EQ(static_cast<int>(si.dwPageSize), g_nPageSize);
    const int ps = g_nPageSize;
    EXPECT_EQ(static_cast<int>(sizeof(void*)), buf.m_Pages.m_nElemSize);

    EXPECT_TRUE(buf.Append("x", 0));
    EXPECT_TRUE(buf.Append(nullptr, 10));
    EXPECT_EQ(0, buf.m_nBytes);
    EXPECT_EQ(0, buf.m_Pages.m_nCount);

    const std::string a = Pattern(ps, 1);
    ASSERT_TRUE(buf.Append(a.data(), ps));
    EXPECT_EQ(1, buf.m_Pages.m_nCount);
    ASSERT_TRUE(buf.Append("!", 1));
    EXPECT_EQ(2, buf.m_Pages.m_nCount);
    EXPECT_EQ(a + "!", Contents(buf));

    TPageBuffer b2;
    const std::string head = Pattern(ps - 96, 2);
    const std::string more = Pattern(ps + 904, 3);
    ASSERT_TRUE(b2.Append(head.data(), static_cast<int>(head.size())));
    ASSERT_TRUE(b2.Append(more.data(), static_cast<int>(more.size())));
    EXPECT_EQ(2 * ps + 808, b2.m_nBytes);
    EXPECT_EQ(3, b2.m_Pages.m_nCount);
    const std::string all = head + more;
    EXPECT_EQ(all, Contents(b2));

    TVoid out;
    ASSERT_TRUE(b2.CopyOut(&out, ps - 10, 20));
    EXPECT_EQ(all.substr(static_cast<size_t>(ps - 10), 20), Bytes(out)) << "across a page border";
    for (int count : {0, -1, 1 << 30})
    {
        ASSERT_TRUE(b2.CopyOut(&out, 5000, count));
        EXPECT_EQ(all.substr(5000), Bytes(out)) << "count " << count;
    }
    ASSERT_TRUE(b2.CopyOut(&out, b2.m_nBytes - 1, 1));
    EXPECT_EQ(all.substr(all.size() - 1), Bytes(out));
}

TEST(PageBuffer, InvalidCopyLeavesTargetUntouchedAndFailedCopyLeavesItEmpty)
{
    TPageBuffer buf;
    const std::string data = Pattern(6000, 4);
    ASSERT_TRUE(buf.Append(data.data(), 6000));

    TVoid out;
    ASSERT_TRUE(out.SetSize(3));
    std::memcpy(out.m_pData, "xyz", 3);
    EXPECT_FALSE(buf.CopyOut(&out, 6000, 10));
    EXPECT_FALSE(buf.CopyOut(&out, -1, 10));
    EXPECT_FALSE(buf.CopyOut(nullptr, 0, 10));
    EXPECT_EQ("xyz", Bytes(out));

    TPageBuffer empty;
    EXPECT_FALSE(empty.CopyOut(&out, 0, -1));
    EXPECT_EQ("xyz", Bytes(out));

    AllocCounts c;
    TSpyVoid refusing(&c);
    ASSERT_TRUE(refusing.SetSize(200));
    refusing.refuse = true;
    EXPECT_FALSE(buf.CopyOut(&refusing, 0, -1));
    EXPECT_EQ(0, refusing.m_nSize);
}

TEST(PageBuffer, CopyOutSizesItsTargetExactlyAndOnlyOnce)
{
    TPageBuffer buf;
    const std::string data = Pattern(20 * g_nPageSize + 123, 11);
    ASSERT_TRUE(buf.Append(data.data(), static_cast<int>(data.size())));
    AllocCounts c;
    TSpyVoid out(&c);
    ASSERT_TRUE(buf.CopyOut(&out, 17, -1));
    EXPECT_EQ(data.substr(17), Bytes(out));
    // Growing page by page would reallocate (and copy) everything copied so far at every page.
    EXPECT_EQ(1, c.allocs + c.reallocs);
}

namespace
{
int g_commitsAllowed = 0;
bool CountedCommit()
{
    return g_commitsAllowed-- > 0;
}

struct CommitGate
{
    explicit CommitGate(int allowed)
    {
        g_commitsAllowed = allowed;
        TPageBufferTestAccess::SetCommitGate(&CountedCommit);
    }
    ~CommitGate() { TPageBufferTestAccess::SetCommitGate(nullptr); }
};

void ExpectRolledBack(const TPageBuffer& buf, const std::string& before, const std::vector<void*>& pagesBefore)
{
    EXPECT_EQ(static_cast<int>(before.size()), buf.m_nBytes);
    EXPECT_EQ(pagesBefore, PageAddresses(buf));
    EXPECT_EQ(before, Contents(buf));
}
}

TEST(PageBuffer, AppendFailingAtItsSecondNewPageRollsBackExactly)
{
    const int ps = g_nPageSize > 0 ? g_nPageSize : 4096;
    TPageBuffer buf;
    const std::string before = Pattern(ps - 100, 5);
    ASSERT_TRUE(buf.Append(before.data(), static_cast<int>(before.size())));
    const std::vector<void*> pagesBefore = PageAddresses(buf);

    // Fills the 100 bytes left, commits one new page, is refused the second.
    const std::string big = Pattern(ps + 300, 6);
    {
        CommitGate gate(1);
        EXPECT_FALSE(buf.Append(big.data(), static_cast<int>(big.size())));
        EXPECT_EQ(-1, g_commitsAllowed) << "the second new page was asked for and refused";
    }
    ExpectRolledBack(buf, before, pagesBefore);

    // A later append continues at the old count.
    const std::string tail = Pattern(2 * ps + 7, 7);
    ASSERT_TRUE(buf.Append(tail.data(), static_cast<int>(tail.size())));
    EXPECT_EQ(before + tail, Contents(buf));
    EXPECT_EQ(3, buf.m_Pages.m_nCount);
}

TEST(PageBuffer, AppendFailingBecauseThePageListCannotGrowRollsBackAndReleasesItsPage)
{
    const int ps = g_nPageSize > 0 ? g_nPageSize : 4096;
    TPageBuffer buf;
    // Three pages in a list with room for four: the next append commits page 3, then needs a
    // bigger list for page 4.
    const std::string before = Pattern(3 * ps - 10, 8);
    ASSERT_TRUE(buf.Append(before.data(), static_cast<int>(before.size())));
    ASSERT_EQ(4, buf.m_Pages.m_nCapacity);
    const std::vector<void*> pagesBefore = PageAddresses(buf);

    // The page list's storage is pinned (size changes fail) for the length of the append.
    const std::string big = Pattern(ps + 20, 9);
    buf.m_Pages.m_Storage.m_bNotOwned = TVoid::NOT_OWNED;
    const bool appended = buf.Append(big.data(), static_cast<int>(big.size()));
    buf.m_Pages.m_Storage.m_bNotOwned = 0;
    EXPECT_FALSE(appended);
    ExpectRolledBack(buf, before, pagesBefore);
    const void* released = static_cast<void* const*>(buf.m_Pages.m_Storage.m_pData)[3];
    EXPECT_EQ(nullptr, released) << "the dropped element is cleared";

    ASSERT_TRUE(buf.Append(big.data(), static_cast<int>(big.size())));
    EXPECT_EQ(before + big, Contents(buf));
}

TEST(PageBuffer, RefusedFirstPageAndOversizedAppendChangeNothing)
{
    TPageBuffer buf;
    {
        CommitGate gate(0);
        EXPECT_FALSE(buf.Append("abc", 3));
    }
    EXPECT_EQ(0, buf.m_nBytes);
    EXPECT_EQ(0, buf.m_Pages.m_nCount);
    ASSERT_TRUE(buf.Append("abc", 3));
    EXPECT_EQ("abc", Contents(buf));

    // A count the 32-bit byte counter cannot hold is refused before anything is touched.
    TPageBuffer huge;
    huge.m_nBytes = INT_MAX - 10;
    EXPECT_FALSE(huge.Append("0123456789abcdef", 16));
    EXPECT_EQ(INT_MAX - 10, huge.m_nBytes);
    EXPECT_EQ(0, huge.m_Pages.m_nCount);
    huge.m_nBytes = 0;
}

TEST(PageBuffer, DestructionReleasesEveryPage)
{
    std::vector<void*> pages;
    {
        TPageBuffer buf;
        const std::string data = Pattern(5 * g_nPageSize + 1, 10);
        ASSERT_TRUE(buf.Append(data.data(), static_cast<int>(data.size())));
        pages = PageAddresses(buf);
        ASSERT_EQ(6u, pages.size());
        for (void* p : pages)
            ASSERT_FALSE(IsReleased(p));
    }
    for (void* p : pages)
        EXPECT_TRUE(IsReleased(p)) << p;
}

namespace
{
MEMORY_BASIC_INFORMATION Query(const void* p)
{
    MEMORY_BASIC_INFORMATION mbi = {};
    ::VirtualQuery(p, &mbi, sizeof(mbi));
    return mbi;
}

const TPageBuffer* g_watched = nullptr;
void* g_reservationAtRefusal = nullptr;
bool WatchingCommit()
{
    g_reservationAtRefusal = TPageBufferTestAccess::NewestReservation(*g_watched);
    return CountedCommit();
}

// Pages in the first reservation of a new buffer.
int FirstReservationPages()
{
    TPageBuffer probe;
    const std::string page = Pattern(g_nPageSize, 30);
    for (int i = 0; i < 100000; ++i)
    {
        if (!probe.Append(page.data(), g_nPageSize))
            return -1;
        const std::vector<void*> pages = PageAddresses(probe);
        if (Query(pages.back()).AllocationBase != Query(pages.front()).AllocationBase)
            return i;
    }
    return -1;
}
}

TEST(PageBuffer, PagesFillLargeReservationsAndRollbacksGiveBackWhatTheyTook)
{
    const int border = FirstReservationPages();   // builds the first buffer, which reads the page size
    const int ps = g_nPageSize;
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    // A reservation takes a whole allocation-granularity unit however little it holds.
    ASSERT_GE(static_cast<long long>(border) * ps, static_cast<long long>(si.dwAllocationGranularity));

    struct Case
    {
        int pagesBefore;   // full pages stored before the failing append
        int allowed;       // page commits it gets before the refusal
    };
    // The refused page lies: at the start of the second reservation, after one page committed in it,
    // right after the border with a page of the first reservation committed, inside the first.
    const Case cases[] = {{border, 0}, {border, 1}, {border - 1, 1}, {border - 2, 1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE("pages before " + std::to_string(c.pagesBefore) + ", allowed " + std::to_string(c.allowed));
        void* first = nullptr;
        void* second = nullptr;
        {
            TPageBuffer buf;
            const std::string before = Pattern(c.pagesBefore * ps, 31);
            ASSERT_TRUE(buf.Append(before.data(), static_cast<int>(before.size())));
            const std::vector<void*> pagesBefore = PageAddresses(buf);
            first = Query(pagesBefore.front()).AllocationBase;
            for (int i = 0; i < c.pagesBefore; ++i)
                ASSERT_EQ(static_cast<char*>(first) + static_cast<size_t>(i) * ps, pagesBefore[i]) << "page " << i;

            const std::string more = Pattern(3 * ps, 32);
            g_watched = &buf;
            g_reservationAtRefusal = nullptr;
            g_commitsAllowed = c.allowed;
            TPageBufferTestAccess::SetCommitGate(&WatchingCommit);
            const bool appended = buf.Append(more.data(), static_cast<int>(more.size()));
            TPageBufferTestAccess::SetCommitGate(nullptr);
            EXPECT_FALSE(appended);
            ExpectRolledBack(buf, before, pagesBefore);

            // Pages this call committed in the first reservation are given back but stay reserved
            // for the next append; a reservation this call made is released whole.
            const int refused = c.pagesBefore + c.allowed;
            for (int i = c.pagesBefore; i < refused && i < border; ++i)
            {
                const void* page = static_cast<char*>(first) + static_cast<size_t>(i) * ps;
                EXPECT_EQ(static_cast<DWORD>(MEM_RESERVE), Query(page).State) << "page " << i;
            }
            if (refused >= border)
            {
                ASSERT_NE(nullptr, g_reservationAtRefusal);
                EXPECT_NE(first, g_reservationAtRefusal);
                EXPECT_TRUE(IsReleased(g_reservationAtRefusal)) << "the reservation made by the failed append";
            }
            else
            {
                EXPECT_EQ(first, g_reservationAtRefusal);
            }

            // The next append goes on at the old count, in the same places.
            ASSERT_TRUE(buf.Append(more.data(), static_cast<int>(more.size())));
            EXPECT_EQ(before + more, Contents(buf));
            const std::vector<void*> pages = PageAddresses(buf);
            for (int i = c.pagesBefore; i < border && i < static_cast<int>(pages.size()); ++i)
                EXPECT_EQ(static_cast<char*>(first) + static_cast<size_t>(i) * ps, pages[i]) << "page " << i;
            second = Query(pages.back()).AllocationBase;
            ASSERT_NE(first, second) << "the append crossed into a second reservation";
        }
        // Destruction releases every reservation, not only its pages.
        EXPECT_TRUE(IsReleased(first));
        EXPECT_TRUE(IsReleased(second));
    }
}

TEST(PageBuffer, CaptureLeavesAddressSpaceForTheRestOfTheProgram)
{
    if (sizeof(void*) > 4)
        GTEST_SKIP() << "a 64-bit process never comes near the address space a capture leaves free";
    const SIZE_T piece = 4u << 20;
    const int keepPieces = 64;   // 256 MiB
    auto reserveAll = [piece](std::vector<void*>& into, int most) {
        while (static_cast<int>(into.size()) < most)
        {
            void* p = ::VirtualAlloc(nullptr, piece, MEM_RESERVE, PAGE_NOACCESS);
            if (p == nullptr)
                break;
            into.push_back(p);
        }
    };
    auto releaseAll = [](std::vector<void*>& from) {
        for (void* p : from)
            ::VirtualFree(p, 0, MEM_RELEASE);
        from.clear();
    };

    // Take the whole address space in 4 MiB pieces, then give back what the rest of the program may
    // keep and a little more for the capture.
    TPageBuffer buf;   // reads the page size, when no buffer has yet
    std::vector<void*> taken;
    reserveAll(taken, 1 << 20);
    for (int i = 0; i < keepPieces + 2 && !taken.empty(); ++i)
    {
        ::VirtualFree(taken.back(), 0, MEM_RELEASE);
        taken.pop_back();
    }
    const std::string page = Pattern(g_nPageSize, 40);
    int pages = 0;
    while (pages < (1 << 20) && buf.Append(page.data(), g_nPageSize))
        ++pages;
    std::vector<void*> rest;
    reserveAll(rest, keepPieces);
    const int restPieces = static_cast<int>(rest.size());
    releaseAll(rest);
    releaseAll(taken);   // before any assertion: a failing one needs address space of its own

    EXPECT_GT(pages, 0) << "what lies beyond the rest of the program's share is used";
    EXPECT_EQ(keepPieces, restPieces) << "the capture ate into what the rest of the program needs";
}

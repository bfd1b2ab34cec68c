// TPageBuffer: captured output bytes in pages of the system page size that never move.
#pragma once

#include "runner/Void.h"

// The system page size, read once when the first page buffer is built.
extern int g_nPageSize;

// No lock of its own: every call is made under the owning runner's lock.
class TPageBuffer
{
public:
    TPageBuffer();
    ~TPageBuffer();
    TPageBuffer(const TPageBuffer&) = delete;
    TPageBuffer& operator=(const TPageBuffer&) = delete;

    // All or nothing: a failure leaves the count, the page list and the stored bytes as they were.
    bool Append(const void* bytes, int count);
    // Replaces out's contents with bytes [offset, offset + count); a count of 0, a negative one or one
    // reaching past the end means "to the end". On failure out is left empty.
    bool CopyOut(TVoid* out, int offset, int count) const;

    int m_nBytes = 0;
    TRecArray m_Pages;   // one page address per element

private:
    // Pages are committed inside address-space reservations of many pages each, in page order:
    // region r holds pages nFirstPage .. nFirstPage + nPages - 1 of m_Pages. Every region holds at
    // least its first page committed; a region left empty by a rollback is released at once.
    struct TRegion
    {
        char* pBase;
        int nFirstPage;
        int nPages;
    };

    // Commits page `index` (the next one), reserving a new region when the last one is full.
    void* CommitPage(int index);
    TRegion* ReserveRegion(int firstPage);
    TRegion* LastRegion() const;

    TRecArray m_Regions;   // one TRegion per reservation
    bool m_bNoRoom = false;   // a reservation would have left too little address space to the rest

    // Lets a test refuse a page commit. Only TPageBufferTestAccess, which the tests define, can set it;
    // the program never does, so for it every commit goes straight to the virtual-memory service.
    friend struct TPageBufferTestAccess;
    static bool (*s_pfnAllowCommit)();
};

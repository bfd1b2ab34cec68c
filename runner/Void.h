// TVoid: a raw memory block of exact size; TRecArray: a growable array of fixed-size slots kept in one.
#pragma once

#include <cstdint>
#include <string>

// A byte area with no spare capacity. All memory comes and goes through the three virtual allocator
// operations, so a subclass can supply (or refuse) memory without touching the size rules.
class TVoid
{
public:
    TVoid() = default;
    // Not virtual: blocks are members or locals, never deleted through a base pointer.
    ~TVoid();
    TVoid(const TVoid&) = delete;
    TVoid& operator=(const TVoid&) = delete;

    virtual void* Alloc(int size);
    virtual void* Realloc(void* memory, int size);
    virtual void Free(void* memory);

    // The only caller of the allocator operations. On a refusal the pointer keeps what it had.
    bool Resize(void** memory, int size);
    // Exact size change; clearing (0) keeps the memory of a block under 96 bytes for its next growth.
    bool SetSize(int size);
    // One UTF-16 unit per byte (ISO-8859-1 reading), ending before the first zero byte.
    // A failed allocation of the text raises the string class's out-of-memory exception, as every
    // other text allocation of the program does: there is no partial text to hand back instead.
    std::wstring ToText() const;
    // The bytes as text of the thread's ANSI code page, ending before the first zero byte
    // (what a silent tool run hands its parser).
    std::wstring ToAnsiText() const;

    enum : uint8_t { NOT_OWNED = 0x01 };
    enum : int { KEEP_BELOW = 96 };

    uint8_t m_bNotOwned = 0;   // bit 0: the memory is not ours; never resized or freed
    int m_nSize = 0;           // bytes in the block, never negative
    void* m_pData = nullptr;

protected:
    // What the destructor does. A subclass with its own allocator calls it from its own destructor:
    // by the time ~TVoid runs, the virtual Free already resolves to TVoid::Free.
    void ReleaseMemory();
};

// Fixed-size elements, contiguous in one TVoid; capacity grows and shrinks in whole growth steps.
class TRecArray
{
public:
    TRecArray() = default;
    ~TRecArray();
    TRecArray(const TRecArray&) = delete;
    TRecArray& operator=(const TRecArray&) = delete;

    // Appends one zero-filled element; null (nothing changed) when the storage cannot grow.
    void* Add();
    // Drops the last n elements; the ones before them never move.
    bool Remove(int n);
    void* GetAt(int index) const;
    void Clear();

    int m_nCapacity = 0;
    int m_nElemSize = 1;
    int m_nGrowStep = 32;
    int m_nCount = 0;
    TVoid m_Storage;
};

// TThreadSynched: the base of an object that owns one worker thread and one lock.
#pragma once

#include <windows.h>

#include "runner/SysCriticalSection.h"

class CWnd;

// The thread is created suspended while the object is built and runs Execute once after the owner's
// Resume. The owner polls (IsRunning) or waits (WaitFor), may ask for a stop through the cancel flag,
// and destroys the object through its concrete class.
class TThreadSynched
{
public:
    TThreadSynched();
    TThreadSynched(const TThreadSynched&) = delete;
    TThreadSynched& operator=(const TThreadSynched&) = delete;

    // The thread body; its result becomes the thread's exit code. It must ask IsCancelled at least
    // once per pass of its work: Stop relies on that to end it (see Stop).
    virtual DWORD Execute() = 0;

    void Resume();
    // A thread not yet resumed counts as running; one that was never created does not.
    bool IsRunning() const;
    bool IsCancelled();
    // Sets the cancel flag and returns only once the thread has ended.
    void Stop(DWORD ms);
    // Waits up to ms for the thread to end while the thread's messages are pumped; keeps the parent of
    // dlg (when given) disabled meanwhile. True when the thread has ended.
    bool WaitFor(CWnd* dlg, DWORD ms);

    HANDLE m_hThread = nullptr;
    DWORD m_dwThreadId = 0;
    TSysCriticalSection m_cs;   // guards m_bCancel and the subclass's shared data

protected:
    // Not virtual and not public: owners delete the concrete class, never this base.
    ~TThreadSynched();

    enum : unsigned char { CANCEL_NONE = 0, CANCEL_REQUESTED = 1, CANCEL_BEFORE_START = 2 };
    unsigned char m_bCancel = CANCEL_NONE;   // read and written only under m_cs
    DWORD m_dwCreateError = 0;               // GetLastError of a failed thread creation, else 0

private:
    static DWORD WINAPI ThreadStart(LPVOID param);

    bool m_bResumed = false;   // owner thread only

    // Lets a test make the thread creation fail. Only TThreadSynchedTestAccess, which the tests
    // define, can set it; the program's own objects always go straight to CreateThread.
    friend struct TThreadSynchedTestAccess;
    static bool (*s_pfnAllowCreate)();
};

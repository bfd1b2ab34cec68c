// Worker thread base: creation, resume, polling, the pumping wait and the stop.
#include "runner/ThreadSynched.h"

#include "framework/Wnd.h"
#include "runner/Launch.h"

bool (*TThreadSynched::s_pfnAllowCreate)() = nullptr;

TThreadSynched::TThreadSynched()
{
    if (s_pfnAllowCreate != nullptr && !s_pfnAllowCreate())
    {
        m_dwCreateError = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    // Suspended: only the base part exists yet, and Execute belongs to the subclass.
    m_hThread = ::CreateThread(nullptr, 0, &TThreadSynched::ThreadStart, this, CREATE_SUSPENDED, &m_dwThreadId);
    if (m_hThread == nullptr)
    {
        m_dwCreateError = ::GetLastError();
        if (m_dwCreateError == 0)
            m_dwCreateError = ERROR_NOT_ENOUGH_MEMORY;
        m_dwThreadId = 0;
    }
}

TThreadSynched::~TThreadSynched()
{
    if (m_hThread != nullptr)
    {
        Stop(500);
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    m_dwThreadId = 0;
    // m_cs is destroyed after this body, once nobody holds it.
}

DWORD WINAPI TThreadSynched::ThreadStart(LPVOID param)
{
    TThreadSynched* self = static_cast<TThreadSynched*>(param);
    self->m_cs.Lock();
    const bool abandoned = self->m_bCancel == CANCEL_BEFORE_START;
    self->m_cs.Unlock();
    // A thread let go by Stop before its owner ever resumed it must not touch the object any further:
    // the subclass may already be gone (a constructor that threw), and it was never asked to work.
    if (abandoned)
        return 0;
    return self->Execute();
}

void TThreadSynched::Resume()
{
    if (m_hThread == nullptr || m_bResumed)
        return;
    m_bResumed = true;
    ::ResumeThread(m_hThread);
}

bool TThreadSynched::IsRunning() const
{
    return m_hThread != nullptr && ::WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT;
}

bool TThreadSynched::IsCancelled()
{
    m_cs.Lock();
    const bool cancelled = m_bCancel != CANCEL_NONE;
    m_cs.Unlock();
    return cancelled;
}

// How a worker that outlives its grace time is ended.
//
// We never kill a worker thread that has run. A thread ended from outside can be stopped anywhere:
// holding our lock (which then stays held for good, so the next Lock and the lock's own destruction
// hang), or deep inside CreateProcess, CreatePipe or a heap call while it holds the process heap lock
// or the loader lock, which would freeze every later allocation or DLL load of the whole program.
// Taking our lock before the kill only covers the first case; nothing from outside can tell whether
// the thread sits inside a system call that holds a process-wide lock.
//
// So after the grace time we keep waiting, without holding our lock (the worker needs it to reach its
// cancel check), until the worker sees the cancel flag and returns by itself. That wait is bounded in
// practice: the runner's body never blocks — it reads only what the pipe reports as available, checks
// the flag after every read and after every quiet pass — so the longest it can take is one system call
// (process creation) plus one pass. Stop therefore never returns while the worker still runs, and no
// lock is ever left held by a dead thread.
//
// A thread the owner never resumed has run no code at all. Rather than killing it we resume it with a
// "never started" mark; its start routine sees the mark and returns at once, without calling Execute.
void TThreadSynched::Stop(DWORD ms)
{
    if (!IsRunning())
        return;
    m_cs.Lock();
    if (m_bCancel == CANCEL_NONE)
        m_bCancel = CANCEL_REQUESTED;
    m_cs.Unlock();

    if (::WaitForSingleObject(m_hThread, ms) != WAIT_TIMEOUT)
        return;

    if (!m_bResumed)
    {
        m_cs.Lock();
        m_bCancel = CANCEL_BEFORE_START;
        m_cs.Unlock();
        m_bResumed = true;
        ::ResumeThread(m_hThread);
    }
    ::WaitForSingleObject(m_hThread, INFINITE);
}

bool TThreadSynched::WaitFor(CWnd* dlg, DWORD ms)
{
    if (!IsRunning())
        return true;

    HWND parent = dlg != nullptr ? dlg->GetParent() : nullptr;
    bool parentWasEnabled = false;
    if (parent != nullptr)
    {
        parentWasEnabled = ::IsWindowEnabled(parent) != FALSE;
        ::EnableWindow(parent, FALSE);
    }

    PumpMessages();
    const DWORD start = ::GetTickCount();
    DWORD slice = ms / 10;
    if (slice > 500)
        slice = 500;

    // A failed wait (no longer a valid thread) counts as ended: there is nothing left to wait for.
    bool ended = ::WaitForSingleObject(m_hThread, slice) != WAIT_TIMEOUT;
    while (!ended)
    {
        PumpMessages();
        ::Sleep(0);
        if (::GetTickCount() - start > ms)
            break;
        ended = ::WaitForSingleObject(m_hThread, slice) != WAIT_TIMEOUT;
    }

    // The pumped messages may have destroyed the parent meanwhile.
    if (parent != nullptr && ::IsWindow(parent))
        ::EnableWindow(parent, parentWasEnabled ? TRUE : FALSE);
    return ended;
}

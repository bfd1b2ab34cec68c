// A console program the runner tests start: it carries out its arguments one after another.
//
//   out:TEXT  err:TEXT      write TEXT to stdout / stderr (escapes \n \r \t \\ \xHH)
//   outn:N[:C] errn:N[:C]   write N pattern bytes in writes of C bytes (default 4096)
//   pid                     write "pid:<process id>\n" to stdout
//   sleep:MS  runon[:MS]    sleep (runon: 120 s unless given)
//   stdin                   try to read stdin; write stdin:none|fail:<err>|eof|data:<n>
//   startup                 write "startup:<flags hex>:<show>\n" from the start-up information
//   flood[:CODE]            write stdout until a write fails, then exit with CODE (42)
//   touch:PATH              create the file PATH
//   exit:N                  exit at once with code N (otherwise 0 after the last argument)
//
// With VANTREL_CHILD_LOG set, the raw command line (UTF-16) is first appended to that file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "tests/helpers/ChildPattern.h"

namespace
{
void WriteAll(DWORD which, const void* data, size_t size)
{
    HANDLE h = ::GetStdHandle(which);
    const char* p = static_cast<const char*>(data);
    while (size > 0)
    {
        DWORD wrote = 0;
        if (h == nullptr || h == INVALID_HANDLE_VALUE || !::WriteFile(h, p, static_cast<DWORD>(size), &wrote, nullptr)
            || wrote == 0)
            return;
        p += wrote;
        size -= wrote;
    }
}

void WriteText(DWORD which, const std::string& s)
{
    WriteAll(which, s.data(), s.size());
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::string Unescape(const wchar_t* s)
{
    std::string out;
    for (; *s; ++s)
    {
        if (*s != L'\\' || s[1] == 0)
        {
            out += static_cast<char>(*s);
            continue;
        }
        ++s;
        switch (*s)
        {
        case L'n': out += '\n'; break;
        case L'r': out += '\r'; break;
        case L't': out += '\t'; break;
        case L'x':
            if (HexDigit(s[1]) >= 0 && HexDigit(s[2]) >= 0)
            {
                out += static_cast<char>(HexDigit(s[1]) * 16 + HexDigit(s[2]));
                s += 2;
                break;
            }
            out += 'x';
            break;
        default: out += static_cast<char>(*s); break;
        }
    }
    return out;
}

void WritePattern(DWORD which, const wchar_t* text)
{
    wchar_t* end = nullptr;
    unsigned long long n = std::wcstoull(text, &end, 10);
    unsigned long long chunk = 4096;
    if (end && *end == L':')
        chunk = std::wcstoull(end + 1, nullptr, 10);
    if (chunk == 0)
        chunk = 4096;
    std::string block;
    unsigned long long done = 0;
    while (done < n)
    {
        const unsigned long long len = (n - done < chunk) ? n - done : chunk;
        block = ChildPattern(len, done);
        WriteAll(which, block.data(), block.size());
        done += len;
    }
}

void ReadStdin()
{
    HANDLE h = ::GetStdHandle(STD_INPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
    {
        WriteText(STD_OUTPUT_HANDLE, "stdin:none\n");
        return;
    }
    char buf[64];
    DWORD got = 0;
    if (!::ReadFile(h, buf, sizeof(buf), &got, nullptr))
        WriteText(STD_OUTPUT_HANDLE, "stdin:fail:" + std::to_string(::GetLastError()) + "\n");
    else if (got == 0)
        WriteText(STD_OUTPUT_HANDLE, "stdin:eof\n");
    else
        WriteText(STD_OUTPUT_HANDLE, "stdin:data:" + std::to_string(got) + "\n");
}

void Flood(const wchar_t* codeText)
{
    const UINT code = *codeText ? static_cast<UINT>(std::wcstoul(codeText, nullptr, 10)) : 42;
    HANDLE h = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const std::string block = ChildPattern(4096);
    for (;;)
    {
        DWORD wrote = 0;
        if (!::WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &wrote, nullptr))
            ::ExitProcess(code);
    }
}

void LogCommandLine()
{
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"VANTREL_CHILD_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    HANDLE f = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    std::wstring line = ::GetCommandLineW();
    line += L'\n';
    DWORD wrote = 0;
    ::WriteFile(f, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &wrote, nullptr);
    ::CloseHandle(f);
}

bool Starts(const wchar_t* arg, const wchar_t* prefix, const wchar_t** rest)
{
    const size_t len = std::wcslen(prefix);
    if (std::wcsncmp(arg, prefix, len) != 0)
        return false;
    *rest = arg + len;
    return true;
}
}

int wmain(int argc, wchar_t** argv)
{
    LogCommandLine();
    for (int i = 1; i < argc; ++i)
    {
        const wchar_t* a = argv[i];
        const wchar_t* rest = nullptr;
        if (Starts(a, L"out:", &rest))
            WriteText(STD_OUTPUT_HANDLE, Unescape(rest));
        else if (Starts(a, L"err:", &rest))
            WriteText(STD_ERROR_HANDLE, Unescape(rest));
        else if (Starts(a, L"outn:", &rest))
            WritePattern(STD_OUTPUT_HANDLE, rest);
        else if (Starts(a, L"errn:", &rest))
            WritePattern(STD_ERROR_HANDLE, rest);
        else if (std::wcscmp(a, L"pid") == 0)
            WriteText(STD_OUTPUT_HANDLE, "pid:" + std::to_string(::GetCurrentProcessId()) + "\n");
        else if (Starts(a, L"sleep:", &rest))
            ::Sleep(static_cast<DWORD>(std::wcstoul(rest, nullptr, 10)));
        else if (std::wcscmp(a, L"runon") == 0)
            ::Sleep(120000);
        else if (Starts(a, L"runon:", &rest))
            ::Sleep(static_cast<DWORD>(std::wcstoul(rest, nullptr, 10)));
        else if (std::wcscmp(a, L"stdin") == 0)
            ReadStdin();
        else if (std::wcscmp(a, L"startup") == 0)
        {
            STARTUPINFOW si = {};
            si.cb = sizeof(si);
            ::GetStartupInfoW(&si);
            char text[64];
            std::snprintf(text, sizeof(text), "startup:%lx:%u\n", static_cast<unsigned long>(si.dwFlags),
                          static_cast<unsigned>(si.wShowWindow));
            WriteText(STD_OUTPUT_HANDLE, text);
        }
        else if (std::wcscmp(a, L"flood") == 0)
            Flood(L"");
        else if (Starts(a, L"flood:", &rest))
            Flood(rest);
        else if (Starts(a, L"touch:", &rest))
        {
            HANDLE f = ::CreateFileW(rest, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (f != INVALID_HANDLE_VALUE)
                ::CloseHandle(f);
        }
        else if (Starts(a, L"exit:", &rest))
            ::ExitProcess(static_cast<UINT>(std::wcstoul(rest, nullptr, 10)));
        else
        {
            WriteText(STD_ERROR_HANDLE, "child: unknown command\n");
            return 99;
        }
    }
    return 0;
}

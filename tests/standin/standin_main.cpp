// Stand-in for the system tools the program runs: logs its command line, then plays back a scenario.
#include "Scenario.h"

#include <windows.h>
#include <string>
#include <vector>

using namespace standin;

namespace {

const wchar_t kScenarioVariable[] = L"VANTREL_SCENARIO";
// Distinctive codes so a test sees at once that the scenario, not the program, is at fault.
const int kExitBadScenario = 9901;
const int kExitNoLog = 9902;

// WriteFile straight to the handle: no runtime buffering and no newline translation, so every
// piece reaches the reader as it is written and byte for byte.
void WriteAll(HANDLE h, const std::string& bytes)
{
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD want = DWORD(bytes.size() - done);
        if (!::WriteFile(h, bytes.data() + done, want, &written, nullptr) || written == 0)
            return; // the reader went away; a real tool would not notice either
        done += written;
    }
}

int Fail(int code, const std::string& message)
{
    WriteAll(::GetStdHandle(STD_ERROR_HANDLE), "vantrel_standin: " + message + "\r\n");
    return code;
}

std::string ErrorText(DWORD error)
{
    return "error " + std::to_string(error);
}

std::wstring GetVariable(const wchar_t* name)
{
    DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return std::wstring();
    std::wstring value(n, L'\0');
    n = ::GetEnvironmentVariableW(name, &value[0], n);
    value.resize(n);
    return value;
}

// Lower-case file name of this copy without ".exe": "dism", "powershell", "bcdedit".
std::string ToolName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && ::lstrcmpiW(name.c_str() + name.size() - 4, L".exe") == 0)
        name.resize(name.size() - 4);
    ::CharLowerBuffW(&name[0], DWORD(name.size()));
    return ToUtf8(name);
}

// Everything after the first word, the first word parsed the way the C runtime finds argv[0]:
// up to the closing quote when it starts with one, else up to a space or tab.
std::wstring Arguments(const std::wstring& commandLine)
{
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t')
        ++i;
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t'))
        ++i;
    return commandLine.substr(i);
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, DWORD& error)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return false;
    }
    bytes.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!::ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
            error = ::GetLastError();
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    ::CloseHandle(h);
    return ok;
}

// Append-only access makes every write land at the current end of the file, so stand-ins
// running side by side each add one whole line instead of overwriting one another.
bool AppendLine(const std::wstring& path, const std::string& line, DWORD& error)
{
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50; ++attempt) {
        h = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            break;
        error = ::GetLastError();
        // A reader that opened the log without sharing it goes away soon; anything else will not.
        if (error != ERROR_SHARING_VIOLATION)
            return false;
        ::Sleep(20);
    }
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = ::WriteFile(h, line.data(), DWORD(line.size()), &written, nullptr) && written == line.size();
    if (!ok)
        error = ::GetLastError();
    ::CloseHandle(h);
    return ok;
}

void Play(const Entry& entry)
{
    for (const Step& step : entry.steps) {
        if (step.kind == Step::Sleep) {
            ::Sleep(step.sleepMs);
            continue;
        }
        HANDLE h = ::GetStdHandle(step.stream);
        std::vector<std::string> pieces = SplitPieces(step.bytes, step.chunking);
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0 && step.chunking.delayMs > 0)
                ::Sleep(step.chunking.delayMs);
            WriteAll(h, pieces[i]);
        }
    }
}

} // namespace

int wmain(int, wchar_t**)
{
    // No scenario: behave like an absent tool's silent placeholder.
    std::wstring folder = GetVariable(kScenarioVariable);
    if (folder.empty())
        return 0;
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();

    const std::wstring commandLine = ::GetCommandLineW();
    DWORD error = 0;
    const std::wstring logPath = folder + L"\\commands.log";
    if (!AppendLine(logPath, ToUtf8(commandLine) + "\r\n", error))
        return Fail(kExitNoLog, "cannot append to " + ToUtf8(logPath) + " (" + ErrorText(error) + ")");

    const std::wstring scenarioPath = folder + L"\\scenario.txt";
    std::string text;
    if (!ReadWholeFile(scenarioPath, text, error))
        return Fail(kExitBadScenario, "cannot read " + ToUtf8(scenarioPath) + " (" + ErrorText(error) + ")");

    std::vector<Entry> entries;
    ParseError parseError;
    if (!ParseScenario(text, folder, entries, parseError))
        return Fail(kExitBadScenario, ToUtf8(scenarioPath) + " line " + std::to_string(parseError.line) + ": " +
                                          parseError.message);

    std::string subject = ToolName();
    std::wstring arguments = Arguments(commandLine);
    if (!arguments.empty())
        subject += " " + ToUtf8(arguments);

    const Entry* found = FindEntry(entries, subject);
    if (!found)
        return 0;

    // Load every file before printing anything, so a missing one never leaves half an output.
    Entry entry = *found;
    for (Step& step : entry.steps) {
        if (step.kind == Step::Write && step.fromFile && !ReadWholeFile(step.file, step.bytes, error))
            return Fail(kExitBadScenario, ToUtf8(scenarioPath) + " line " + std::to_string(step.line) +
                                              ": cannot read " + ToUtf8(step.file) + " (" + ErrorText(error) + ")");
    }
    Play(entry);
    return int(entry.exitCode);
}

// Test support for the stand-in system tools: a throw-away system folder holding copies of the
// stand-in, a scenario folder they play back, and the log of the command lines they received.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// One scenario entry built from C++; StandinFixture::AddEntry writes it out. The bytes given to
// Stdout/Stderr go to files of their own, so any byte (CR, zero, above 127) passes unchanged.
class StandinEntry
{
public:
    // Matches "<tool> <arguments>" exactly, tool being the copy's file name in lower case
    // without ".exe": L"dism /Online /Cleanup-Image /CheckHealth /english".
    static StandinEntry Exact(const std::wstring& command);
    // Same, with '*' standing for any run of characters: L"wevtutil gl *", or L"*" for a default.
    static StandinEntry Glob(const std::wstring& pattern);

    StandinEntry& Stdout(const std::string& bytes);
    StandinEntry& Stderr(const std::string& bytes);
    // A file already in the scenario folder, such as a captured output copied there.
    StandinEntry& StdoutFile(const std::wstring& name);
    StandinEntry& StderrFile(const std::wstring& name);
    // Cutting of the outputs that follow in this entry, with a pause between pieces.
    StandinEntry& Chunk(size_t bytes, unsigned delayMs);
    StandinEntry& ChunkLines(unsigned delayMs);
    StandinEntry& ChunkOff();
    StandinEntry& Sleep(unsigned ms);
    StandinEntry& Exit(unsigned long code);

private:
    friend class StandinFixture;
    struct Op
    {
        std::string directive;  // "stdout-file", "chunk", ...
        std::string value;      // the directive's value as written in scenario.txt
        bool ownBytes = false;  // value is bytes the fixture must put in a file first
    };
    std::string m_match;
    std::vector<Op> m_ops;
};

class StandinFixture
{
public:
    // Names the program starts, relative to the system folder.
    static const std::vector<std::wstring>& AllToolNames();
    // The environment variable the stand-in reads its scenario folder from.
    static const wchar_t* const kScenarioVariable;

    // Makes <temp>\vantrel-standin-N\system and ...\scenario (with an empty scenario.txt) and
    // points kScenarioVariable at the scenario folder; child processes inherit it.
    // Throws std::runtime_error when something cannot be created.
    StandinFixture();
    // Restores the variable's earlier value and removes the whole folder.
    ~StandinFixture();
    StandinFixture(const StandinFixture&) = delete;
    StandinFixture& operator=(const StandinFixture&) = delete;

    const std::wstring& Root() const { return m_root; }
    const std::wstring& SystemFolder() const { return m_system; }
    const std::wstring& ScenarioFolder() const { return m_scenario; }

    // Copies the stand-in to SystemFolder()\name, making subfolders; returns the full path.
    std::wstring InstallTool(const std::wstring& name);
    void InstallAllTools();

    // A file of raw bytes in the scenario folder.
    void WriteScenarioFile(const std::wstring& name, const std::string& bytes);
    // Replaces scenario.txt with hand-written text (UTF-8).
    void SetScenarioText(const std::string& text);
    std::string ScenarioText() const { return m_text; }
    // Appends one entry to scenario.txt; entries match in the order they were added.
    void AddEntry(const StandinEntry& entry);

    // The command lines received so far, oldest first, exactly as each stand-in got them.
    std::vector<std::wstring> Commands() const;
    void ClearCommands();

    // Where the built stand-in is: next to the running program, else where the build put it.
    static std::wstring StandinExePath();

private:
    void WriteText();

    std::wstring m_root, m_system, m_scenario;
    std::string m_text;
    int m_fileCount = 0;
    bool m_hadVariable = false;
    std::wstring m_oldVariable;
};

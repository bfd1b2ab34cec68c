// Scenario file of the stand-in tools: its parsed form, the parser and the matcher.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace standin {

// How one output is cut into pieces, each written (and so seen by the reader) on its own.
struct Chunking
{
    enum Mode { Whole, Bytes, Lines } mode = Whole;
    size_t size = 0;   // bytes per piece in Bytes mode
    DWORD delayMs = 0; // pause between two pieces of the same output
};

struct Step
{
    enum Kind { Write, Sleep } kind = Write;
    DWORD stream = STD_OUTPUT_HANDLE;
    bool fromFile = false;
    std::string bytes;  // inline text after escapes, or the file's bytes once loaded
    std::wstring file;  // full path when fromFile
    Chunking chunking;
    DWORD sleepMs = 0;
    int line = 0;
};

struct Entry
{
    bool glob = false;
    std::string pattern; // UTF-8, compared with "<tool> <arguments>"
    std::vector<Step> steps;
    DWORD exitCode = 0;
    bool exitSet = false;
    int line = 0;
};

struct ParseError
{
    int line = 0;
    std::string message;
};

// Parses the whole file up front so a mistake anywhere is reported, not only in the entry used.
// Relative file names are resolved against folder.
bool ParseScenario(const std::string& text, const std::wstring& folder,
                   std::vector<Entry>& entries, ParseError& error);

// '*' stands for any run of characters (also none); everything else compares exactly.
bool GlobMatch(const std::string& pattern, const std::string& subject);

// First entry that matches wins; nullptr when none does.
const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& subject);

// Pieces of one output as the chunking cuts them; never empty pieces, and none at all for no bytes.
std::vector<std::string> SplitPieces(const std::string& bytes, const Chunking& chunking);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

} // namespace standin

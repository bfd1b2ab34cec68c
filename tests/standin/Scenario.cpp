// Parser and matcher of the stand-in tools' scenario file.
#include "Scenario.h"

namespace standin {
namespace {

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Decimal or 0x-hexadecimal, the whole value, within 32 bits: exit codes of the real tools are
// HRESULT-like values such as 0x800F081F, so hexadecimal has to be accepted.
bool ParseNumber(const std::string& text, DWORD& value)
{
    std::string s = Trim(text);
    unsigned base = 10;
    size_t i = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= s.size())
        return false;
    unsigned long long v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFull)
            return false;
    }
    value = DWORD(v);
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& text, std::string& out, std::string& message)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) {
            message = "a lone '\\' ends the text (write \\\\ for a backslash)";
            return false;
        }
        switch (text[i]) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (hi < 0 || lo < 0) {
                message = "\\x needs two hexadecimal digits";
                return false;
            }
            out += char(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            message = std::string("unknown escape '\\") + text[i] + "'";
            return false;
        }
    }
    return true;
}

bool IsAbsolute(const std::string& name)
{
    return (name.size() >= 2 && name[1] == ':') || (!name.empty() && (name[0] == '\\' || name[0] == '/'));
}

bool ParseChunking(const std::string& value, Chunking& chunking, std::string& message)
{
    std::string v = Trim(value);
    if (v == "off") {
        chunking = Chunking();
        return true;
    }
    size_t space = v.find_first_of(" \t");
    std::string first = space == std::string::npos ? v : v.substr(0, space);
    std::string rest = space == std::string::npos ? std::string() : v.substr(space);
    DWORD delay = 0, size = 0;
    if (!ParseNumber(rest, delay)) {
        message = "chunk wants 'off', 'lines MS' or 'BYTES MS'";
        return false;
    }
    if (first == "lines") {
        chunking.mode = Chunking::Lines;
        chunking.size = 0;
    } else if (ParseNumber(first, size) && size > 0) {
        chunking.mode = Chunking::Bytes;
        chunking.size = size;
    } else {
        message = "chunk wants 'off', 'lines MS' or 'BYTES MS' with BYTES above 0";
        return false;
    }
    chunking.delayMs = delay;
    return true;
}

} // namespace

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n);
    return out;
}

bool ParseScenario(const std::string& text, const std::wstring& folder,
                   std::vector<Entry>& entries, ParseError& error)
{
    entries.clear();
    size_t pos = 0;
    // A byte order mark is what a Windows editor leaves at the start of a UTF-8 file.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    Chunking chunking;
    for (int lineNo = 1; pos <= text.size(); ++lineNo) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;

        auto fail = [&](const std::string& message) {
            error.line = lineNo;
            error.message = message;
            return false;
        };

        size_t colon = line.find(':');
        if (colon == std::string::npos)
            return fail("expected 'directive: value', found no ':'");
        std::string key = Trim(line.substr(0, colon));
        // One space after the colon is the separator; any further spaces belong to the value.
        std::string value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);

        if (key == "match" || key == "match-glob") {
            if (value.empty())
                return fail("'" + key + "' needs a command line");
            Entry entry;
            entry.glob = key == "match-glob";
            entry.pattern = value;
            entry.line = lineNo;
            entries.push_back(entry);
            chunking = Chunking();
            continue;
        }

        if (entries.empty())
            return fail("'" + key + "' comes before any 'match:' or 'match-glob:' line");
        Entry& entry = entries.back();
        std::string message;

        if (key == "stdout" || key == "stderr") {
            Step step;
            step.stream = key == "stdout" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
            if (!Unescape(value, step.bytes, message))
                return fail(message);
            step.chunking = chunking;
            step.line = lineNo;
            entry.steps.push_back(step);
        } else if (key == "stdout-file" || key == "stderr-file") {
            std::string name = Trim(value);
            if (name.empty())
                return fail("'" + key + "' needs a file name");
            Step step;
            step.stream = key == "stdout-file" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
            step.fromFile = true;
            step.file = IsAbsolute(name) ? FromUtf8(name) : folder + L"\\" + FromUtf8(name);
            step.chunking = chunking;
            step.line = lineNo;
            entry.steps.push_back(step);
        } else if (key == "chunk") {
            if (!ParseChunking(value, chunking, message))
                return fail(message);
        } else if (key == "sleep") {
            Step step;
            step.kind = Step::Sleep;
            if (!ParseNumber(value, step.sleepMs))
                return fail("sleep wants milliseconds");
            step.line = lineNo;
            entry.steps.push_back(step);
        } else if (key == "exit") {
            if (entry.exitSet)
                return fail("a second 'exit' in the same entry");
            if (!ParseNumber(value, entry.exitCode))
                return fail("exit wants a number (decimal or 0x hexadecimal, 32 bits)");
            entry.exitSet = true;
        } else {
            return fail("unknown directive '" + key + "'");
        }
    }
    return true;
}

bool GlobMatch(const std::string& pattern, const std::string& subject)
{
    size_t p = 0, s = 0;
    size_t starP = std::string::npos, starS = 0;
    while (s < subject.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starS = s;
        } else if (p < pattern.size() && pattern[p] == subject[s]) {
            ++p;
            ++s;
        } else if (starP != std::string::npos) {
            // Let the last star swallow one more character and try again from there.
            p = starP + 1;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& subject)
{
    for (const Entry& entry : entries) {
        if (entry.glob ? GlobMatch(entry.pattern, subject) : entry.pattern == subject)
            return &entry;
    }
    return nullptr;
}

std::vector<std::string> SplitPieces(const std::string& bytes, const Chunking& chunking)
{
    std::vector<std::string> pieces;
    if (chunking.mode == Chunking::Whole) {
        if (!bytes.empty())
            pieces.push_back(bytes);
    } else if (chunking.mode == Chunking::Bytes) {
        for (size_t i = 0; i < bytes.size(); i += chunking.size)
            pieces.push_back(bytes.substr(i, chunking.size));
    } else {
        // A piece ends after LF, or after a CR that no LF follows: that is how progress lines
        // that rewrite themselves with CR arrive from the real tools, one update at a time.
        size_t start = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            bool end = bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'));
            if (end) {
                pieces.push_back(bytes.substr(start, i + 1 - start));
                start = i + 1;
            }
        }
        if (start < bytes.size())
            pieces.push_back(bytes.substr(start));
    }
    return pieces;
}

} // namespace standin

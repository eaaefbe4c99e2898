#include "backup/RegFileParser.h"

#include "framework/AnsiText.h"

#include <cstring>

namespace {

const char kSignature[] = "REGEDIT4";

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// Reads up to maxDigits hex digits (at least one) into number; the cursor moves past them.
bool ReadHexNumber(const char** cursor, size_t maxDigits, DWORD* number)
{
    size_t digits = 0;
    *number = 0;
    for (; digits < maxDigits && HexDigit(**cursor) >= 0; ++digits, ++*cursor)
        *number = *number * 16 + static_cast<DWORD>(HexDigit(**cursor));
    return digits > 0 && HexDigit(**cursor) < 0;
}

void SetBytes(std::vector<BYTE>* bytes, const void* data, size_t size)
{
    const BYTE* first = static_cast<const BYTE*>(data);
    bytes->assign(first, first + size);
}

}  // namespace

bool RegFileParser::Parse(const std::string& text, std::vector<RegFileKey>* keys, std::string* reason)
{
    keys->clear();
    bool parsed = ParseAll(text, keys);
    if (!parsed)
        keys->clear();
    if (reason)
        *reason = parsed ? std::string() : failure;
    return parsed;
}

bool RegFileParser::ParseAll(const std::string& text, std::vector<RegFileKey>* keys)
{
    next = 0;
    if (!SplitLines(text))
        return false;
    next = 0;
    if (lines.empty() || lines[0] != kSignature)
        return Fail("not a REGEDIT4 file");
    next = 1;
    if (lines.size() < 2 || !lines[1].empty())
        return Fail("the signature is not followed by a blank line");
    for (next = 2; next < lines.size();) {
        keys->emplace_back();
        if (!ParseKey(&keys->back()))
            return false;
    }
    return true;
}

bool RegFileParser::Fail(const char* what)
{
    char where[32];
    FormatText(where, sizeof(where), "line %lu: ", static_cast<unsigned long>(next + 1));
    failure = std::string(where) + what;
    return false;
}

// Every line ends with CR LF; a bare CR or LF, a NUL, or text after the last line
// end is a broken or cut file.
bool RegFileParser::SplitLines(const std::string& text)
{
    lines.clear();
    for (size_t start = 0; start < text.size(); next = lines.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            return Fail("the file ends inside a line");
        lines.push_back(text.substr(start, end - start));
        if (lines.back().find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            return Fail("a broken line");
        start = end + 2;
    }
    return true;
}

bool RegFileParser::ParseKey(RegFileKey* key)
{
    const std::string& line = lines[next];
    if (line.empty() || line[0] != '[')
        return Fail("a value or text outside a key");
    if (line.size() < 2 || line.back() != ']')
        return Fail("a key line that is not closed");
    std::string inner = line.substr(1, line.size() - 2);
    if (!inner.empty() && inner[0] == '-')
        return Fail("a key deletion");
    const char* slash = FindCharDbcs(inner.c_str(), '\\');
    size_t rootLength = slash ? static_cast<size_t>(slash - inner.c_str()) : inner.size();
    key->root = regfile::RootNamed(inner.substr(0, rootLength));
    if (!key->root)
        return Fail("a root other than HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS");
    std::string path = slash ? std::string(slash + 1) : std::string();
    if ((slash && path.empty()) || !regfile::IsKeyPath(path.c_str()))
        return Fail("an empty key name");
    if (!Widen(path, &key->path))
        return false;
    for (++next; next < lines.size(); ++next) {
        if (lines[next].empty()) {
            ++next;
            return true;
        }
        key->values.emplace_back();
        if (!ParseValue(&key->values.back()))
            return false;
    }
    return Fail("the file ends before the blank line that ends a key");
}

bool RegFileParser::ParseValue(RegFileValue* value)
{
    const char* cursor = lines[next].c_str();
    std::string name;
    if (*cursor == '@')
        ++cursor;
    else if (*cursor != '"')
        return Fail("a broken line");
    else if (!ParseQuoted(&cursor, &name) || !Widen(name, &value->name))
        return false;
    else if (name.empty())
        return Fail("an empty value name");
    if (*cursor != '=')
        return Fail("a broken line");
    if (strcmp(cursor + 1, "-") == 0)
        return Fail("a value deletion");
    return ParseData(cursor + 1, value);
}

bool RegFileParser::ParseData(const char* data, RegFileValue* value)
{
    if (*data == '"') {
        std::string text;
        std::wstring wide;
        if (!ParseQuoted(&data, &text) || !Widen(text, &wide))
            return false;
        if (*data)
            return Fail("text after the closing quote");
        value->type = REG_SZ;
        SetBytes(&value->data, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        return true;
    }
    const char* rest = SkipPrefixNoCaseDbcs(data, "dword:");
    if (rest) {
        DWORD number = 0;
        if (strlen(rest) != 8 || !ReadHexNumber(&rest, 8, &number) || *rest)
            return Fail("a dword that is not eight hex digits");
        value->type = REG_DWORD;
        SetBytes(&value->data, &number, sizeof(number));
        return true;
    }
    value->type = REG_BINARY;
    const char* list = SkipPrefixNoCaseDbcs(data, "hex:");
    const char* typed = SkipPrefixNoCaseDbcs(data, "hex(");
    if (!list && typed && (!ReadHexNumber(&typed, 8, &value->type) || !(list = SkipPrefixNoCaseDbcs(typed, "):"))))
        return Fail("a broken hex type");
    if (!list)
        return Fail("an unknown kind of data");
    if (!ParseHexList(list, &value->data))
        return false;
    if (!regfile::IsTextType(value->type))
        return true;
    // Text types hold code-page text in the file and UTF-16 in the registry.
    std::wstring wide;
    if (!Widen(std::string(value->data.begin(), value->data.end()), &wide))
        return false;
    SetBytes(&value->data, wide.data(), wide.size() * sizeof(wchar_t));
    return true;
}

// A quoted name or text with '\\' and '\"' escapes; the cursor moves past the closing
// quote. A double-byte character is taken whole: its trail byte escapes nothing.
bool RegFileParser::ParseQuoted(const char** cursor, std::string* text)
{
    const char* p = *cursor + 1;
    for (; *p && *p != '"'; ++p) {
        if (IsLeadByteDbcs(*p) && p[1]) {
            *text += *p++;
        } else if (*p == '\\') {
            if (p[1] != '\\' && p[1] != '"')
                return Fail("an escape other than \\\\ and \\\"");
            ++p;
        }
        *text += *p;
    }
    if (!*p)
        return Fail("a quote that is not closed");
    *cursor = p + 1;
    return true;
}

// Two-digit bytes separated by commas; a line that ends with ",\" goes on in the
// next line after its leading spaces.
bool RegFileParser::ParseHexList(const char* list, std::vector<BYTE>* bytes)
{
    bytes->clear();
    for (const char* p = list; *p;) {
        int high = HexDigit(p[0]);
        int low = high < 0 ? -1 : HexDigit(p[1]);
        if (low < 0)
            return Fail("a bad hex byte");
        bytes->push_back(static_cast<BYTE>(high * 16 + low));
        p += 2;
        if (!*p)
            return true;
        if (*p++ != ',')
            return Fail("a bad hex byte");
        if (strcmp(p, "\\") != 0)
            continue;
        if (++next == lines.size() || lines[next].empty() || lines[next][0] != ' ')
            return Fail("a hex list that is not closed");
        for (p = lines[next].c_str(); *p == ' ';)
            ++p;
    }
    return list[0] ? Fail("a hex list that is not closed") : true;
}

bool RegFileParser::Widen(const std::string& ansi, std::wstring* wide)
{
    return regfile::WidenAnsi(ansi.data(), ansi.size(), wide) || Fail("text the code page cannot read");
}

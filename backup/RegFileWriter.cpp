#include "backup/RegFile.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"

#include <algorithm>
#include <cstring>

namespace {

const char kHeader[] = "REGEDIT4\r\n\r\n";
// A hex list breaks once a line reaches this column after a comma, as regedit's do:
// the line ends with a backslash and the list goes on after two spaces.
const size_t kWrapColumn = 77;
const size_t kLongestValueName = 16384;
const int kReadAttempts = 8;

// A name or text data between quotes, '\' and '"' escaped; a double-byte character is
// copied whole, so a trail byte 0x5C is never taken for a backslash.
std::string Quoted(const std::string& ansi)
{
    std::string quoted = "\"";
    for (size_t i = 0; i < ansi.size(); ++i) {
        char ch = ansi[i];
        if (IsLeadByteDbcs(ch) && i + 1 < ansi.size()) {
            quoted += ch;
            quoted += ansi[++i];
            continue;
        }
        if (ch == '\\' || ch == '"')
            quoted += '\\';
        quoted += ch;
    }
    return quoted + "\"";
}

// A key or value name as the file spells it; a line break could not be read back.
bool SpellName(const std::wstring& name, std::string* ansi)
{
    return name.find_first_of(L"\r\n") == std::wstring::npos && regfile::SpellWide(name.data(), name.size(), ansi);
}

void AppendHexList(std::string* line, const BYTE* data, size_t size)
{
    static const char kDigits[] = "0123456789abcdef";
    size_t column = line->size();
    line->reserve(line->size() + size * 3 + size / 8);
    for (size_t i = 0; i < size; ++i) {
        *line += kDigits[data[i] >> 4];
        *line += kDigits[data[i] & 0x0F];
        if (i + 1 == size)
            return;
        *line += ',';
        column += 3;
        if (column >= kWrapColumn) {
            *line += "\\\r\n  ";
            column = 2;
        }
    }
}

void AppendHexValue(std::string* line, DWORD type, const void* data, size_t size)
{
    char prefix[24];
    if (type == REG_BINARY)
        CopyText(prefix, sizeof(prefix), "hex:");
    else
        FormatText(prefix, sizeof(prefix), "hex(%lx):", static_cast<unsigned long>(type));
    *line += prefix;
    AppendHexList(line, static_cast<const BYTE*>(data), size);
}

// One terminated text without a line break or an inner NUL: the quoted form holds it.
bool IsPlainText(const std::wstring& text)
{
    return !text.empty() && text.find(L'\0') == text.size() - 1 && text.find_first_of(L"\r\n") == std::wstring::npos;
}

// Text data in the code page: quoted when plain REG_SZ, else its bytes as hex(N).
bool AppendTextData(std::string* line, const RegFileValue& value)
{
    if (value.data.size() % sizeof(wchar_t) != 0)
        return false;
    std::wstring wide(value.data.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty())
        memcpy(&wide[0], value.data.data(), value.data.size());
    std::string ansi;
    if (!regfile::SpellWide(wide.data(), wide.size(), &ansi))
        return false;
    if (value.type == REG_SZ && IsPlainText(wide))
        *line += Quoted(ansi.substr(0, ansi.size() - 1));
    else
        AppendHexValue(line, value.type, ansi.data(), ansi.size());
    return true;
}

// The value's entry, continuation lines included, without its final line end.
bool ValueEntry(const RegFileValue& value, std::string* line)
{
    std::string name;
    if (!value.name.empty() && !SpellName(value.name, &name))
        return false;
    *line = value.name.empty() ? "@=" : Quoted(name) + "=";
    if (regfile::IsTextType(value.type))
        return AppendTextData(line, value);
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, value.data.data(), sizeof(number));
        char text[24];
        FormatText(text, sizeof(text), "dword:%08lx", static_cast<unsigned long>(number));
        *line += text;
        return true;
    }
    AppendHexValue(line, value.type, value.data.data(), value.data.size());
    return true;
}

// Reads value name of key; false when it is missing or cannot be read.
bool QueryValue(HKEY key, const std::wstring& name, RegFileValue* value)
{
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        value->data.resize(size ? size : 1);
        LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &value->type, value->data.data(), &size);
        if (status == ERROR_SUCCESS) {
            value->name = name;
            value->data.resize(size);
            return true;
        }
        if (status != ERROR_MORE_DATA)
            return false;
    }
    return false;
}

// The names of key's subkeys or values, in a buffer the key's own figures size.
bool ReadNames(HKEY key, bool ofSubkeys, std::vector<std::wstring>* names)
{
    DWORD longestSubkey = 0;
    DWORD longestValue = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestSubkey, nullptr, nullptr, &longestValue,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> name((ofSubkeys ? longestSubkey : longestValue) + 1);
    int retries = 0;
    for (DWORD index = 0;;) {
        DWORD size = static_cast<DWORD>(name.size());
        LONG status = ofSubkeys ? RegEnumKeyExW(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr)
                                : RegEnumValueW(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return true;
        // A name longer than the key said (it changed meanwhile): read it again.
        if (status == ERROR_MORE_DATA && ++retries < kReadAttempts) {
            name.resize(std::max<size_t>(name.size() * 2, kLongestValueName));
            continue;
        }
        // A name with a NUL inside could not be named again.
        if (status != ERROR_SUCCESS || wcslen(name.data()) != size)
            return false;
        names->emplace_back(name.data(), size);
        ++index;
    }
}

// Appends the section of key: its header line, its values, the blank line.
bool AppendSection(HKEY key, const std::string& header, std::string* text)
{
    std::vector<std::wstring> names;
    if (!ReadNames(key, false, &names))
        return false;
    std::string section = header + "\r\n";
    for (const std::wstring& name : names) {
        RegFileValue value;
        std::string entry;
        if (!QueryValue(key, name, &value) || !ValueEntry(value, &entry))
            return false;
        section += entry + "\r\n";
    }
    *text += section + "\r\n";
    return true;
}

// Appends key's section and those of every key below it. A link below it is named in
// links and not followed, or, without links, refuses it all.
bool AppendTree(HKEY key, const std::string& path, std::string* text, std::vector<std::string>* links)
{
    std::vector<std::wstring> subkeys;
    if (IsRegistryLink(key) || !AppendSection(key, "[" + path + "]", text) || !ReadNames(key, true, &subkeys))
        return false;
    for (const std::wstring& subkey : subkeys) {
        std::string name;
        OwnedKey child;
        if (!SpellName(subkey, &name) ||
            RegOpenKeyExW(key, subkey.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | PhysicalView(), child.Out()) !=
                ERROR_SUCCESS)
            return false;
        if (links && IsRegistryLink(child)) {
            links->push_back(path + "\\" + name);
            continue;
        }
        if (!AppendTree(child, path + "\\" + name, text, links))
            return false;
    }
    return true;
}

// Opens root\path as itself (never a link) and names it as the file does: "ROOT\path".
bool OpenForSaving(HKEY root, const char* path, OwnedKey* key, std::string* fullPath)
{
    const char* rootName = regfile::RootName(root);
    std::wstring widePath;
    if (!rootName || !path || !regfile::IsKeyPath(path) || !regfile::WidenAnsi(path, strlen(path), &widePath))
        return false;
    if (RegOpenKeyExW(root, widePath.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | PhysicalView(), key->Out()) !=
            ERROR_SUCCESS ||
        IsRegistryLink(*key))
        return false;
    *fullPath = std::string(rootName) + (*path ? "\\" : "") + path;
    return true;
}

}  // namespace

CRegFileWriter::CRegFileWriter() : text(kHeader) {}

bool CRegFileWriter::AddKeyTree(HKEY root, const char* path, std::vector<std::string>* links)
{
    OwnedKey key;
    std::string fullPath;
    std::string sections;
    std::vector<std::string> found;
    if (!OpenForSaving(root, path, &key, &fullPath) || !AppendTree(key, fullPath, &sections, links ? &found : nullptr))
        return false;
    // The links' paths below root, as the caller names keys.
    for (const std::string& link : found)
        links->push_back(link.substr(strlen(regfile::RootName(root)) + 1));
    text += sections;
    openHeader.clear();
    return true;
}

bool CRegFileWriter::AddValue(HKEY root, const char* path, const char* valueName)
{
    OwnedKey key;
    std::string fullPath;
    std::wstring name;
    RegFileValue value;
    std::string entry;
    const char* spelled = valueName ? valueName : "";
    if (!OpenForSaving(root, path, &key, &fullPath) || !regfile::WidenAnsi(spelled, strlen(spelled), &name) ||
        !QueryValue(key, name, &value) || !ValueEntry(value, &entry))
        return false;
    std::string header = "[" + fullPath + "]";
    if (header == openHeader)
        text.resize(text.size() - 2);  // the value joins the section: its blank line goes after it
    else
        text += header + "\r\n";
    text += entry + "\r\n\r\n";
    openHeader = header;
    return true;
}

bool CRegFileWriter::Save(const char* file) const
{
    if (!file || text.size() > MAXDWORD)
        return false;
    OwnedFile out(CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return false;
    DWORD written = 0;
    bool whole = WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                 written == text.size() && FlushFileBuffers(out);
    out.Reset();
    if (!whole)
        DeleteFileA(file);  // a part of a backup must not pass for the whole
    return whole;
}

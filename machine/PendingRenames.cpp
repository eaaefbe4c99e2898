#include "machine/PendingRenames.h"

#include "machine/Handle.h"
#include "machine/Text.h"

#include <algorithm>

namespace machine {

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// The value's raw bytes; false when it is absent.
bool ReadPending(DWORD* type, std::vector<BYTE>* data)
{
    KeyHandle key;
    DWORD size = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, key.Out()) != ERROR_SUCCESS ||
        RegQueryValueExW(key.Get(), kPendingRenames, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    data->assign(size, 0);
    if (RegQueryValueExW(key.Get(), kPendingRenames, nullptr, type, data->data(), &size) != ERROR_SUCCESS)
        return false;
    data->resize(size);
    return true;
}

std::string ToAnsi(const std::wstring& wide)
{
    int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}

}  // namespace

ScopedPendingRenames::ScopedPendingRenames()
{
    existed = ReadPending(&type, &data);
}

ScopedPendingRenames::~ScopedPendingRenames()
{
    KeyHandle key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.Out()) != ERROR_SUCCESS)
        return;
    if (existed)
        RegSetValueExW(key.Get(), kPendingRenames, 0, type, data.data(), static_cast<DWORD>(data.size()));
    else
        RegDeleteValueW(key.Get(), kPendingRenames);
}

std::vector<std::string> PendingRenameEntries()
{
    std::vector<std::string> entries;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!ReadPending(&type, &data))
        return entries;
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::copy(data.begin(), data.begin() + text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(&text[0]));
    // Pairs until the empty string that ends the list.
    for (size_t position = 0; position < text.size() && text[position];) {
        std::wstring source = text.c_str() + position;
        position += source.size() + 1;
        std::wstring destination = position < text.size() ? text.c_str() + position : L"";
        position += destination.size() + 1;
        entries.push_back(ToAnsi(source));
        entries.push_back(ToAnsi(destination));
    }
    return entries;
}

std::set<std::string> PendingDeletions()
{
    std::set<std::string> deletions;
    std::vector<std::string> entries = PendingRenameEntries();
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (!entries[i + 1].empty())
            continue;
        std::string source = entries[i];
        if (source.compare(0, 4, "\\??\\") == 0)
            source.erase(0, 4);
        deletions.insert(LowerAscii(source));
    }
    return deletions;
}

}  // namespace machine

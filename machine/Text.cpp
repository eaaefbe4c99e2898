#include "machine/Text.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace machine {

std::string Ansi(const char* utf8)
{
    int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (wideLength <= 0)
        return std::string();
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wideLength);
    int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0)
        return std::string();
    std::vector<char> ansi(static_cast<size_t>(ansiLength));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, ansi.data(), ansiLength, nullptr, nullptr);
    return std::string(ansi.data());
}

std::string UniqueName(const std::string& prefix)
{
    static std::atomic<int> counter{0};
    char buffer[64];
    snprintf(buffer, sizeof(buffer), "_%lu_%d", GetCurrentProcessId(), ++counter);
    return prefix + buffer;
}

std::string LowerAscii(std::string text)
{
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    }
    return text;
}

size_t LastBackslash(const std::string& path)
{
    size_t found = std::string::npos;
    for (const char* at = path.c_str(); *at; at = CharNextExA(CP_ACP, at, 0)) {
        if (*at == '\\')
            found = static_cast<size_t>(at - path.c_str());
    }
    return found;
}

std::string ParentFolder(const std::string& path)
{
    size_t slash = LastBackslash(path);
    return slash == std::string::npos ? path : path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (LastBackslash(folder) + 1 == folder.size())
        return folder + name;
    return folder + "\\" + name;
}

}  // namespace machine

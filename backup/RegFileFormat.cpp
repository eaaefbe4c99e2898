#include "backup/RegFileFormat.h"

#include "framework/AnsiText.h"

#include <climits>

namespace {

struct NamedRoot {
    HKEY root;
    const char* name;
};

const NamedRoot kRoots[] = {
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_USERS, "HKEY_USERS"},
};

}  // namespace

namespace regfile {

const char* RootName(HKEY root)
{
    for (const NamedRoot& named : kRoots) {
        if (named.root == root)
            return named.name;
    }
    return nullptr;
}

HKEY RootNamed(const std::string& name)
{
    for (const NamedRoot& named : kRoots) {
        if (name == named.name)
            return named.root;
    }
    return nullptr;
}

bool IsTextType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool SpellWide(const wchar_t* text, size_t length, std::string* ansi)
{
    ansi->clear();
    if (length == 0)
        return true;
    if (length > INT_MAX / 2)
        return false;
    int count = static_cast<int>(length);
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, count, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    ansi->resize(static_cast<size_t>(size));
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, count, &(*ansi)[0], size, nullptr, &usedDefault) !=
            size ||
        usedDefault)
        return false;
    // A character the code page maps one way only would come back as another.
    std::wstring back;
    return WidenAnsi(ansi->data(), ansi->size(), &back) && back.compare(0, back.size(), text, length) == 0;
}

bool WidenAnsi(const char* text, size_t length, std::wstring* wide)
{
    wide->clear();
    if (length == 0)
        return true;
    if (length > INT_MAX)
        return false;
    int count = static_cast<int>(length);
    int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, count, nullptr, 0);
    if (size <= 0)
        return false;
    wide->resize(static_cast<size_t>(size));
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, count, &(*wide)[0], size) == size;
}

bool IsKeyPath(const char* path)
{
    bool nameStarts = true;
    for (const char* p = path; *p; p = NextCharDbcs(p)) {
        if (*p == '\r' || *p == '\n')
            return false;
        if (*p == '\\' && nameStarts)
            return false;
        nameStarts = *p == '\\';
    }
    return *path == '\0' || !nameStarts;
}

}  // namespace regfile

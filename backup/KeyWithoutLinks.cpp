#include "backup/KeyWithoutLinks.h"

#include "framework/RegKey.h"
#include "framework/RegistryView.h"

#include <sddl.h>

#include <vector>

namespace {

bool SameKeyPath(const std::wstring& a, const wchar_t* b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b, -1) == CSTR_EQUAL;
}

// "<SID>_Classes": the key below HKEY_USERS that holds the user's classes; empty when
// the user cannot be read.
std::wstring UserClassesKey()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return std::wstring();
    OwnedKernel token(opened);
    std::vector<BYTE> buffer(256);
    DWORD size = 0;
    wchar_t* sid = nullptr;
    if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid))
        return std::wstring();
    std::wstring key = std::wstring(sid) + L"_Classes";
    LocalFree(sid);
    return key;
}

// One step of the walk: parent's subkey name as itself, made when missing.
bool OpenStep(HKEY parent, const std::wstring& name, REGSAM access, bool last, OwnedKey* next)
{
    LONG status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, next->Out());
    // A key on the way that may be read but not added to is passed through: a key
    // missing below it then cannot be made, and that is the answer.
    if (status == ERROR_ACCESS_DENIED && !last)
        status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | PhysicalView(),
                               next->Out());
    if (status == ERROR_SUCCESS)
        return true;
    // A key made here is new: had a link appeared meanwhile, it would be opened, not made.
    DWORD disposition = 0;
    return status == ERROR_FILE_NOT_FOUND &&
           RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, next->Out(),
                           &disposition) == ERROR_SUCCESS &&
           disposition == REG_CREATED_NEW_KEY;
}

}  // namespace

bool OpenKeyWithoutLinks(HKEY root, const std::wstring& path, REGSAM access, OwnedKey* opened)
{
    opened->Reset();
    if (path.empty())
        return false;
    HKEY parent = root;
    OwnedKey step;
    for (size_t start = 0;;) {
        size_t end = path.find(L'\\', start);
        bool last = end == std::wstring::npos;
        end = last ? path.size() : end;
        REGSAM stepAccess = (last ? access : KEY_CREATE_SUB_KEY) | KEY_QUERY_VALUE | PhysicalView();
        OwnedKey next;
        if (!OpenStep(parent, path.substr(start, end - start), stepAccess, last, &next))
            return false;
        if (IsRegistryLink(next)) {
            static const std::wstring userClasses = UserClassesKey();
            bool classes = root == HKEY_CURRENT_USER && SameKeyPath(path.substr(0, end), L"Software\\Classes");
            if (!classes || userClasses.empty() ||
                RegOpenKeyExW(HKEY_USERS, userClasses.c_str(), REG_OPTION_OPEN_LINK, stepAccess, next.Out()) !=
                    ERROR_SUCCESS)
                return false;
        }
        step = std::move(next);
        parent = step;
        if (last)
            break;
        start = end + 1;
    }
    *opened = std::move(step);
    return true;
}

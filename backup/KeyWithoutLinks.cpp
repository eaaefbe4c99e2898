#include "backup/KeyWithoutLinks.h"

#include "framework/RegKey.h"
#include "framework/RegistryTree.h"
#include "framework/RegistryView.h"

namespace {

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
            const bool classes = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), static_cast<int>(end),
                                                L"Software\\Classes", -1) == CSTR_EQUAL;
            OwnedKey link(next.Release());
            if (!classes ||
                OpenUserClassesInstead(root, "Software\\Classes", link, stepAccess, &next) != ERROR_SUCCESS)
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

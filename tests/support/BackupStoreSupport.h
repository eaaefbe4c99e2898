// The store of backups as tests spoil and mend it: a folder's permissions set from
// text and read back, a sparse file of any size, and the trust of a machine whose
// folders a standard user made.
#pragma once
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "backup/StoreTrust.h"

namespace fixtures {

// SYSTEM and Administrators alone, as the program makes the store; and the same
// with Everyone allowed to write and delete, as a careless or hostile hand leaves it.
const char kAdministratorsOnly[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const char kEveryoneMayWrite[] = "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;WD)";

// Sets path's DACL from SDDL text; true when it took.
inline bool SetDacl(const std::string& path, const char* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL set = SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return set != FALSE;
}

// The DACL of path as SDDL text; empty when it cannot be read.
inline std::string DaclText(const std::string& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return std::string();
    char* text = nullptr;
    std::string dacl;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr))
        dacl = text;
    LocalFree(text);
    LocalFree(descriptor);
    return dacl;
}

// A file of size bytes that takes no room: its end is set past nothing written.
inline bool MakeSparseFile(const std::string& path, LONGLONG size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    bool made = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return made;
}

// SYSTEM and Administrators only. Under Wine every folder is owned by the user who
// runs the tests; judged so, that user is a standard user, and every folder one
// made first.
class MadeByStandardUser : public CStoreTrust {
public:
    bool IsTrusted(PSID sid) const override
    {
        return sid && IsValidSid(sid) &&
               (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
    }
};

}  // namespace fixtures

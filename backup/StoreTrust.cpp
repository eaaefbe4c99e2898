#include "backup/StoreTrust.h"

#include "framework/Handles.h"
#include "framework/RegistryTree.h"
#include "smart/TraceRemoval.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

namespace {

// Owned by Administrators; SYSTEM and Administrators may do everything with the
// folder and all that is made in it; nothing comes from the folders above.
const char kStoreDescriptor[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const char kStoreDescriptorOwnerless[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// What an entry may grant to anyone: reading, listing, running. Any other right
// (writing, adding, deleting, changing attributes, permissions or owner) changes the folder.
const DWORD kReadingRights = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using OwnedLocal = std::unique_ptr<void, LocalFreer>;

bool RunsOnWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The SID of the user the process runs as; empty when it cannot be read.
std::vector<BYTE> ProcessUser()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return std::vector<BYTE>();
    OwnedKernel token(opened);
    std::vector<BYTE> buffer(256);
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        return std::vector<BYTE>();
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    if (!IsValidSid(sid))
        return std::vector<BYTE>();
    const BYTE* first = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(first, first + GetLengthSid(sid));
}

bool IsDenyingEntry(BYTE type)
{
    return type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
           type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// A link, or an item of the other kind than the one wanted.
bool IsLinkOrOther(DWORD attributes, bool folder)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY) == folder;
}

}  // namespace

bool CStoreTrust::IsTrusted(PSID sid) const
{
    if (!sid || !IsValidSid(sid))
        return false;
    if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        return true;
    static std::vector<BYTE> wineUser = RunsOnWine() ? ProcessUser() : std::vector<BYTE>();
    return !wineUser.empty() && EqualSid(sid, wineUser.data());
}

bool CStoreTrust::IsAdminOnly(PSECURITY_DESCRIPTOR descriptor) const
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    if (!descriptor || !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !IsTrusted(owner) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return false;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(dacl, index, &entry))
            return false;
        const BYTE type = static_cast<ACE_HEADER*>(entry)->AceType;
        if (IsDenyingEntry(type))
            continue;
        if (type != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        // Entries that only the folder's children take count too: they are what a
        // run's folder and its files would be given.
        ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & ~kReadingRights) && !IsTrusted(&allowed->SidStart))
            return false;
    }
    return true;
}

FolderCheck CStoreTrust::CheckFolder(const std::string& path) const
{
    return CheckItem(path, true);
}

FolderCheck CStoreTrust::CheckFile(const std::string& path) const
{
    return CheckItem(path, false);
}

FolderCheck CStoreTrust::CheckItem(const std::string& path, bool folder) const
{
    if (path.empty() || PassesThroughFolderLink(path.c_str()))
        return FOLDER_LINKED;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return IsNotFoundError(GetLastError()) ? FOLDER_MISSING : FOLDER_UNREADABLE;
    if (IsLinkOrOther(attributes, folder))
        return FOLDER_LINKED;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    OwnedFile item(CreateFileA(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!item || !GetFileInformationByHandle(item, &info))
        return FOLDER_UNREADABLE;
    if (IsLinkOrOther(info.dwFileAttributes, folder))
        return FOLDER_LINKED;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(item, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return FOLDER_UNREADABLE;
    OwnedLocal owned(descriptor);
    return IsAdminOnly(descriptor) ? FOLDER_SAFE : FOLDER_OPEN;
}

FolderCheck CStoreTrust::MakeFolder(const std::string& path) const
{
    // Never made through a link: the folder would land where the link leads.
    if (path.empty() || PassesThroughFolderLink(path.c_str()))
        return FOLDER_LINKED;
    if (!CreateFolder(path) && GetLastError() != ERROR_ALREADY_EXISTS)
        return FOLDER_MISSING;
    return CheckFolder(path);
}

bool CStoreTrust::CreateFolder(const std::string& path) const
{
    for (const char* text : {kStoreDescriptor, kStoreDescriptorOwnerless}) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1, &descriptor, nullptr))
            return false;
        OwnedLocal owned(descriptor);
        SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
        if (CreateDirectoryA(path.c_str(), &attributes))
            return true;
        DWORD error = GetLastError();
        // Where the token may not name Administrators the owner (a policy that makes
        // the creator the owner), the system picks one and the check judges it.
        if (error != ERROR_INVALID_OWNER) {
            owned.reset();
            SetLastError(error);
            return false;
        }
    }
    return false;
}

const CStoreTrust& DefaultStoreTrust()
{
    static const CStoreTrust trust;
    return trust;
}

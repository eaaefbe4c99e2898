#include "inventory/DesktopUser.h"

#include "framework/Handles.h"

namespace {

const CDesktopUser systemUser;
const CDesktopUser* replacement = nullptr;

// Whether token is the full one of a split (UAC) logon. Before Vista a token has no
// elevation type to read, and nothing is elevated; any other failure cannot tell,
// and counts as elevated.
bool IsElevatedToken(HANDLE token)
{
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size))
        return type == TokenElevationTypeFull;
    return GetLastError() != ERROR_INVALID_PARAMETER;
}

}  // namespace

bool CDesktopUser::ProgramIsElevated() const
{
    OwnedKernel token;
    return !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out()) || IsElevatedToken(token);
}

HANDLE CDesktopUser::OpenToken() const
{
    const HWND shell = GetShellWindow();
    DWORD processId = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &processId) || !processId)
        return nullptr;
    OwnedKernel process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    OwnedKernel shellToken;
    if (!process || !OpenProcessToken(process, TOKEN_DUPLICATE | TOKEN_QUERY, shellToken.Out()))
        return nullptr;
    // A shell started elevated has no lesser rights to give.
    if (IsElevatedToken(shellToken))
        return nullptr;
    HANDLE primary = nullptr;
    const DWORD access = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                         TOKEN_ADJUST_SESSIONID;
    if (!DuplicateTokenEx(shellToken, access, nullptr, SecurityImpersonation, TokenPrimary, &primary))
        return nullptr;
    return primary;
}

const CDesktopUser& CDesktopUser::Current()
{
    return replacement ? *replacement : systemUser;
}

void CDesktopUser::Replace(const CDesktopUser* user)
{
    replacement = user;
}

#include "inventory/UninstallerPresence.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/PackProductCode.h"
#include "framework/ParseCommandLine.h"
#include "framework/PathExists.h"
#include "framework/RegKey.h"

#include <msi.h>

#include <cstring>
#include <string>

namespace {

typedef INSTALLSTATE(WINAPI* QueryProductStateFunction)(LPCSTR);

const UINT kNotAsked = ~0u;  // a drive whose type is not known yet

// Options of MsiExec.exe whose operand is the product code.
const char* const kProductOptions[] = {"x", "i", "uninstall", "package"};

// msi.dll is loaded at run time from the system folder (never found along a search
// path that starts beside this program), once, and kept for the process's life.
class CInstallerLibrary {
public:
    CInstallerLibrary()
    {
        char path[MAX_PATH];
        const UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || !AppendText(path, MAX_PATH, "\\msi.dll"))
            return;
        library.Reset(LoadLibraryA(path));
        FARPROC proc = library ? GetProcAddress(library, "MsiQueryProductStateA") : nullptr;
        queryProductState = reinterpret_cast<QueryProductStateFunction>(reinterpret_cast<void (*)()>(proc));
    }
    QueryProductStateFunction QueryProductState() const { return queryProductState; }

private:
    OwnedModule library;
    QueryProductStateFunction queryProductState = nullptr;
};

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

bool IsLetter(char ch)
{
    const char folded = FoldAscii(ch);
    return folded >= 'a' && folded <= 'z';
}

// The file name of a path, after its last backslash.
const char* FileNameOf(const std::string& path)
{
    const char* backslash = FindLastCharDbcs(path.c_str(), '\\');
    return backslash ? backslash + 1 : path.c_str();
}

bool IsInstallerProgram(const std::string& program)
{
    return EqualsNoCaseDbcs(FileNameOf(program), "msiexec.exe");
}

bool IsProductOption(const std::string& name)
{
    for (const char* option : kProductOptions) {
        if (EqualsNoCaseDbcs(name.c_str(), option))
            return true;
    }
    return false;
}

// The product code at p (blanks and a quote before it allowed) when a blank, a
// quote or the end follows it; empty otherwise.
std::string ProductCodeAt(const char* p)
{
    while (IsBlank(*p))
        ++p;
    if (*p == '"')
        ++p;
    const std::string code(p, strnlen(p, 38));
    const char after = p[code.size()];
    return IsProductCode(code.c_str()) && (after == '\0' || after == '"' || IsBlank(after)) ? code : std::string();
}

// The operand of the first /X, /I, /uninstall or /package option (or with '-').
std::string ProductCodeInArguments(const char* arguments)
{
    bool atItemStart = true;
    for (const char* p = arguments; *p; p = NextCharDbcs(p)) {
        const bool optionStart = atItemStart && (*p == '/' || *p == '-');
        atItemStart = IsBlank(*p);
        if (!optionStart)
            continue;
        const char* nameEnd = p + 1;
        while (IsLetter(*nameEnd))
            ++nameEnd;
        if (!IsProductOption(std::string(p + 1, nameEnd)))
            continue;
        const std::string code = ProductCodeAt(nameEnd);
        if (!code.empty())
            return code;
    }
    return std::string();
}

}  // namespace

CUninstallerPresence::CUninstallerPresence()
{
    for (UINT& type : driveTypes)
        type = kNotAsked;
}

bool CUninstallerPresence::Exists(const char* uninstallString, DWORD windowsInstaller, const char* keyName)
{
    std::string program, arguments;
    if (ParseCommandLine(uninstallString, &program, &arguments) != PROGRAM_PATH)
        return false;
    if (!IsProbedPlace(program))
        return true;
    if (IsInstallerProgram(program)) {
        std::string code = ProductCodeInArguments(arguments.c_str());
        if (code.empty() && windowsInstaller && IsProductCode(keyName))
            code = keyName;
        if (!code.empty())
            return IsInstallerProductRegistered(code.c_str());
    }
    return IsExistingFile(program.c_str());
}

// Whether the drive of a full path is one whose files are asked for: never a
// server's. Asking a drive's type costs a quarter of a millisecond under Wine.
bool CUninstallerPresence::IsProbedPlace(const std::string& program)
{
    const char letter = FoldAscii(program[0]);
    if (letter < 'a' || letter > 'z')
        return false;
    UINT& type = driveTypes[letter - 'a'];
    if (type == kNotAsked) {
        const char root[] = {letter, ':', '\\', '\0'};
        type = GetDriveTypeA(root);
    }
    // A drive that is not there holds nothing: its programs are missing.
    return type == DRIVE_FIXED || type == DRIVE_RAMDISK || type == DRIVE_NO_ROOT_DIR;
}

bool UninstallerExists(const char* uninstallString, DWORD windowsInstaller, const char* keyName)
{
    CUninstallerPresence presence;
    return presence.Exists(uninstallString, windowsInstaller, keyName);
}

bool IsInstallerProductRegistered(const char* productCode)
{
    static const CInstallerLibrary installer;
    if (!IsProductCode(productCode))
        return false;
    if (installer.QueryProductState()) {
        std::string upper = productCode;
        for (char& ch : upper)
            ch = ch >= 'a' && ch <= 'f' ? static_cast<char>(ch - 'a' + 'A') : ch;
        // Advertised, installed for another user, installed; a broken registration
        // or an error is left to the keys.
        const INSTALLSTATE state = installer.QueryProductState()(upper.c_str());
        if (state == INSTALLSTATE_UNKNOWN)
            return false;
        if (state >= INSTALLSTATE_ADVERTISED)
            return true;
    }
    return HasInstallerProductKey(productCode);
}

bool HasInstallerProductKey(const char* productCode)
{
    const std::string packed = PackProductCode(productCode);
    if (packed.empty())
        return false;
    RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Classes\\Installer\\Products\\" + packed).c_str()) ||
           key.Open(HKEY_CURRENT_USER, ("Software\\Microsoft\\Installer\\Products\\" + packed).c_str());
}

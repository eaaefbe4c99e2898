#include "DemoSeed.h"

#include "InstallLog.h"
#include "machine/Files.h"
#include "machine/Registry.h"
#include "machine/Shortcut.h"
#include "machine/ShellFolders.h"
#include "machine/Text.h"

#include <shlwapi.h>

namespace demo {

using machine::Ansi;
using machine::JoinPath;
using machine::MakeAppShortcut;
using machine::SetString;
using machine::WriteFileText;

const char* const DEMO_APP_NAME = "DemoApp.exe";
const char* const DEMO_UNINSTALL_NAME = "DemoUninstall.exe";

namespace {

const char README_NAME[] = "readme.txt";
const char README_LINK[] = "使用说明";
const char UNINSTALL_LINK_PREFIX[] = "卸载 ";
const char* const PLUGIN_FILES[] = {"filters.plg", "export.plg"};
const char* const DATA_FILES[] = {"settings.ini", "history.dat"};
// Real uninstallers stay a moment after their work while they "finish".
const int UNINSTALLER_LINGER_MS = 1500;

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// The .dat an uninstaller of that kind keeps beside it: its name with ".dat".
std::string UninstallerData(const DemoProduct& product)
{
    const std::string name = product.uninstallerName;
    return name.substr(0, name.size() - 4) + ".dat";
}

bool HasUninstaller(const DemoProduct& product)
{
    return product.uninstallerName && !product.uninstallerMissing;
}

std::string DisplayIcon(const DemoProduct& product)
{
    std::string exe = ProductFile(product, product.exeName);
    return product.iconIndex ? exe + ",0" : exe;
}

bool InstallFiles(const DemoProduct& product, const std::string& payloadFolder)
{
    std::string folder = ProductFolder(product);
    std::string plugins = JoinPath(folder, DEMO_PLUGIN_FOLDER);
    std::string data = JoinPath(folder, DEMO_DATA_FOLDER);
    if (folder.empty() || !machine::MakeDirs(plugins) || !machine::MakeDirs(data))
        return false;
    if (!machine::CopyFileTo(JoinPath(payloadFolder, DEMO_APP_NAME), ProductFile(product, product.exeName)))
        return false;
    if (HasUninstaller(product) && !machine::CopyFileTo(JoinPath(payloadFolder, DEMO_UNINSTALL_NAME),
                                                        ProductFile(product, product.uninstallerName)))
        return false;
    if (product.uninstallerData && !WriteFileText(ProductFile(product, UninstallerData(product).c_str()), "log\r\n"))
        return false;

    std::string name = Ansi(product.displayName);
    bool ok = WriteFileText(ProductFile(product, product.dllName), "in-process server of " + name + "\r\n");
    ok = ok && WriteFileText(JoinPath(folder, README_NAME), name + "\r\n" + Ansi(product.publisher) + "\r\n");
    for (const char* plugin : PLUGIN_FILES)
        ok = ok && WriteFileText(JoinPath(plugins, plugin), "plug-in\r\n");
    // The user's data: an uninstaller keeps it.
    for (const char* dataFile : DATA_FILES)
        ok = ok && WriteFileText(JoinPath(data, dataFile), "[Options]\r\nInstallDir=" + folder + "\r\n");
    return ok;
}

// Only a product with an uninstaller of its own keeps a log for it.
bool WriteLog(const DemoProduct& product)
{
    if (!HasUninstaller(product))
        return true;
    InstallLog log;
    log.displayName = Ansi(product.displayName);
    log.uninstallKey = product.uninstallKey;
    log.folders.push_back(DEMO_PLUGIN_FOLDER);
    log.files = {product.exeName, product.dllName, README_NAME};
    for (const char* plugin : PLUGIN_FILES)
        log.files.push_back(JoinPath(DEMO_PLUGIN_FOLDER, plugin));
    log.files.push_back(product.uninstallerName);
    if (product.uninstallerData)
        log.files.push_back(UninstallerData(product));
    log.relaunch = product.uninstallerRelaunches;
    log.lingerMs = UNINSTALLER_LINGER_MS;
    log.exitCode = product.uninstallerExitCode;
    return WriteInstallLog(ProductFile(product, DEMO_INSTALL_LOG), log);
}

bool RegisterUninstallEntry(const DemoProduct& product)
{
    std::string key = UninstallKeyPath(product);
    bool ok = SetString(HKEY_LOCAL_MACHINE, key, "DisplayName", Ansi(product.displayName));
    ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "UninstallString", UninstallCommand(product));
    ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "DisplayIcon", DisplayIcon(product));
    ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "Publisher", Ansi(product.publisher));
    ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "HelpLink", product.helpLink);
    ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "InstallLocation", ProductFolder(product));
    ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "DisplayVersion", product.version);
    if (product.windowsInstaller)
        ok = ok && machine::SetDword(HKEY_LOCAL_MACHINE, key, "WindowsInstaller", 1);
    if (product.quietSwitch)
        ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "QuietUninstallString",
                             UninstallCommand(product) + " " + product.quietSwitch);
    return ok;
}

// What Windows Installer writes of a product it installed.
bool RegisterWithInstaller(const DemoProduct& product)
{
    return !HasInstallerRegistration(product) || machine::RegisterInstallerProduct(InstallerRegistrationOf(product));
}

bool CreateShortcuts(const DemoProduct& product)
{
    std::string exe = ProductFile(product, product.exeName);
    std::string name = Ansi(product.displayName);
    bool ok = MakeAppShortcut(DesktopShortcutPath(product), exe, name);
    ok = ok && MakeAppShortcut(GroupShortcutPath(product, product.shortcutName), exe, name);
    ok = ok && MakeAppShortcut(GroupShortcutPath(product, README_LINK), ProductFile(product, README_NAME), name);
    if (HasUninstaller(product)) {
        std::string linkName = std::string(UNINSTALL_LINK_PREFIX) + product.shortcutName;
        ok = ok && MakeAppShortcut(GroupShortcutPath(product, linkName.c_str()),
                                   ProductFile(product, product.uninstallerName), name);
    }
    return ok;
}

bool RegisterRunValue(const DemoProduct& product)
{
    std::string command = Quoted(ProductFile(product, product.exeName)) + " " + product.runArguments;
    return SetString(product.runRoot, RunKeyPath(), product.runValue, command);
}

bool RegisterComClass(const DemoProduct& product)
{
    std::string key = std::string("CLSID\\") + product.clsid;
    bool ok = SetString(HKEY_CLASSES_ROOT, key, "", Ansi(product.typeName) + " Thumbnail Provider");
    ok = ok && SetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", ProductFile(product, product.dllName));
    ok = ok && SetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel", "Apartment");
    return ok;
}

bool RegisterFileType(const DemoProduct& product)
{
    std::string exe = ProductFile(product, product.exeName);
    std::string progId = product.progId;
    bool ok = SetString(HKEY_CLASSES_ROOT, product.extension, "", progId);
    ok = ok && SetString(HKEY_CLASSES_ROOT, progId, "", Ansi(product.typeName));
    ok = ok && SetString(HKEY_CLASSES_ROOT, progId + "\\DefaultIcon", "", exe + ",0");
    ok = ok && SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "", Quoted(exe) + " \"%1\"");
    return ok;
}

bool RegisterSoftwareKeys(const DemoProduct& product)
{
    std::string key = SoftwareKeyPath(product);
    std::string folder = ProductFolder(product);
    bool ok = SetString(HKEY_LOCAL_MACHINE, key, "InstallDir", folder);
    ok = ok && SetString(HKEY_LOCAL_MACHINE, key, "Version", product.version);
    ok = ok && SetString(HKEY_CURRENT_USER, key, "DataFolder", JoinPath(folder, DEMO_DATA_FOLDER));
    ok = ok && machine::SetDword(HKEY_CURRENT_USER, key, "FirstRun", 0);
    return ok;
}

bool Step(bool ok, const char* name, std::string* failedStep)
{
    if (!ok && failedStep)
        *failedStep = name;
    return ok;
}

}  // namespace

bool InstallProduct(const DemoProduct& product, const std::string& payloadFolder, std::string* failedStep)
{
    return Step(InstallFiles(product, payloadFolder), "files", failedStep) &&
           Step(WriteLog(product), "install log", failedStep) &&
           Step(RegisterUninstallEntry(product), "uninstall entry", failedStep) &&
           Step(RegisterWithInstaller(product), "Windows Installer registration", failedStep) &&
           Step(CreateShortcuts(product), "shortcuts", failedStep) &&
           Step(RegisterRunValue(product), "Run value", failedStep) &&
           Step(RegisterComClass(product), "COM class", failedStep) &&
           Step(RegisterFileType(product), "file type", failedStep) &&
           Step(RegisterSoftwareKeys(product), "Software keys", failedStep);
}

std::string BuiltPayloadFolder()
{
    return JoinPath(machine::ParentFolder(machine::ExecutableFolder()), "tools\\demo");
}

bool SeedDemoMachine(const std::string& payloadFolder, std::string* failedStep)
{
    for (const DemoProduct& product : DemoProducts()) {
        if (!InstallProduct(product, payloadFolder, failedStep)) {
            if (failedStep)
                *failedStep = std::string(product.uninstallKey) + ": " + *failedStep;
            return false;
        }
    }
    return true;
}

void RemoveProduct(const DemoProduct& product)
{
    std::string folder = ProductFolder(product);
    if (!folder.empty()) {
        machine::RemoveTree(folder);
        // A vendor level above the product folder goes when it is empty.
        std::string parent = machine::ParentFolder(folder);
        if (_stricmp(parent.c_str(), machine::ProgramFilesFolder().c_str()) != 0)
            RemoveDirectoryA(parent.c_str());
    }
    machine::DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallKeyPath(product));
    if (HasInstallerRegistration(product))
        machine::UnregisterInstallerProduct(InstallerRegistrationOf(product));
    machine::DeleteValue(product.runRoot, RunKeyPath(), product.runValue);
    machine::DeleteKeyTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + product.clsid);
    machine::DeleteKeyTree(HKEY_CLASSES_ROOT, product.extension);
    machine::DeleteKeyTree(HKEY_CLASSES_ROOT, product.progId);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        std::string key = SoftwareKeyPath(product);
        machine::DeleteKeyTree(root, key);
        // A vendor level above the product key goes when it is empty.
        std::string parent = machine::ParentFolder(key);
        if (_stricmp(parent.c_str(), "Software") != 0)
            SHDeleteEmptyKeyA(root, parent.c_str());
    }
    std::string desktopLink = DesktopShortcutPath(product);
    if (!desktopLink.empty())
        DeleteFileA(desktopLink.c_str());
    std::string group = GroupFolder(product);
    if (!group.empty())
        machine::RemoveTree(group);
}

void RemoveDemoMachine()
{
    for (const DemoProduct& product : DemoProducts())
        RemoveProduct(product);
}

}  // namespace demo

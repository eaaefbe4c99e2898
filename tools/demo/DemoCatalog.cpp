#include "DemoCatalog.h"

#include "machine/Registry.h"
#include "machine/ShellFolders.h"
#include "machine/Text.h"

#include <shlobj.h>

namespace demo {

using machine::Ansi;
using machine::JoinPath;
using machine::SpecialFolder;

const char* const DEMO_DATA_FOLDER = "Data";
const char* const DEMO_PLUGIN_FOLDER = "Plugins";
const char* const DEMO_INSTALL_LOG = "install.log";

const std::vector<DemoProduct>& DemoProducts()
{
    static const std::vector<DemoProduct> products = {
        {"QingKongViewer", "晴空图片查看器 3.2", "晴空软件工作室", "http://www.qingkong.example/help",
         "3.2.0", "晴空软件\\图片查看器", "QkViewer.exe", "QkThumb.dll",
         "{6B1F3A52-90C4-4D7E-A1B3-5C2E8F0D4A11}", ".qkp", "QingKong.Picture", "晴空图片",
         HKEY_CURRENT_USER, "QingKongTray", "/tray", "晴空软件\\图片查看器",
         CSIDL_DESKTOPDIRECTORY, "晴空图片查看器", "晴空图片查看器", false, true, "uninst.exe", true},
        {"{3D5A7C21-4B8E-4F6A-9C0D-2E1F7B6A5D42}", "Blue Harbor Mail 4.1", "Blue Harbor Software Ltd.",
         "http://support.blueharbor.example/mail", "4.1.2", "Blue Harbor Mail", "HarborMail.exe",
         "HarborMapi.dll", "{A8E4C0F2-1D3B-4C59-8E7A-6B2D9F1C3E54}", ".bhm", "BlueHarbor.Message",
         "Blue Harbor Message", HKEY_LOCAL_MACHINE, "BlueHarborMail", "/minimized",
         "Blue Harbor Software Ltd.\\Mail",
         CSIDL_COMMON_DESKTOPDIRECTORY, "Blue Harbor Mail", "Blue Harbor Mail", true, false, nullptr, false},
        {"MoBiNotes", "墨笔记事本", "墨笔网络科技有限公司", "http://www.mobi-notes.example/faq",
         "2.0.5", "墨笔记事本", "MoBiNotes.exe", "MoBiSpell.dll",
         "{C2F7E913-5A0B-4E8D-B6C1-9D3A4F2E7B65}", ".mbn", "MoBi.Note", "墨笔笔记",
         HKEY_LOCAL_MACHINE, "MoBiNotesHelper", "/autostart", "墨笔记事本",
         CSIDL_DESKTOPDIRECTORY, "墨笔记事本", "墨笔记事本", false, false, "uninst.exe", false},
    };
    return products;
}

std::string ProductFolder(const DemoProduct& product)
{
    std::string programFiles = machine::ProgramFilesFolder();
    if (programFiles.empty())
        return std::string();
    return JoinPath(programFiles, Ansi(product.folder));
}

std::string ProductFile(const DemoProduct& product, const char* name)
{
    return JoinPath(ProductFolder(product), Ansi(name));
}

std::string UninstallKeyPath(const DemoProduct& product)
{
    return std::string(machine::kUninstallKey) + "\\" + product.uninstallKey;
}

std::string RunKeyPath()
{
    return machine::kRunKey;
}

std::string SoftwareKeyPath(const DemoProduct& product)
{
    return "Software\\" + Ansi(product.softwareKey);
}

std::string DesktopShortcutPath(const DemoProduct& product)
{
    std::string desktop = SpecialFolder(product.desktopFolder);
    if (desktop.empty())
        return std::string();
    return JoinPath(desktop, Ansi(product.shortcutName) + ".lnk");
}

std::string GroupFolder(const DemoProduct& product)
{
    std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    if (programs.empty())
        return std::string();
    return JoinPath(programs, Ansi(product.groupName));
}

std::string GroupShortcutPath(const DemoProduct& product, const char* utf8Name)
{
    std::string group = GroupFolder(product);
    if (group.empty())
        return std::string();
    return JoinPath(group, Ansi(utf8Name) + ".lnk");
}

std::string UninstallCommand(const DemoProduct& product)
{
    if (!product.uninstallerName)
        return std::string("MsiExec.exe /X") + product.uninstallKey;
    return "\"" + ProductFile(product, product.uninstallerName) + "\"";
}

}  // namespace demo

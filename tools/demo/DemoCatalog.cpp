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
         CSIDL_DESKTOPDIRECTORY, "晴空图片查看器", "晴空图片查看器", false, true, "uninst.exe", true, false, false, 0,
         nullptr, nullptr},
        {"{3D5A7C21-4B8E-4F6A-9C0D-2E1F7B6A5D42}", "Blue Harbor Mail 4.1", "Blue Harbor Software Ltd.",
         "http://support.blueharbor.example/mail", "4.1.2", "Blue Harbor Mail", "HarborMail.exe",
         "HarborMapi.dll", "{A8E4C0F2-1D3B-4C59-8E7A-6B2D9F1C3E54}", ".bhm", "BlueHarbor.Message",
         "Blue Harbor Message", HKEY_LOCAL_MACHINE, "BlueHarborMail", "/minimized",
         "Blue Harbor Software Ltd.\\Mail",
         CSIDL_COMMON_DESKTOPDIRECTORY, "Blue Harbor Mail", "Blue Harbor Mail", true, false, nullptr, false, false,
         false, 0, nullptr, nullptr},
        {"MoBiNotes", "墨笔记事本", "墨笔网络科技有限公司", "http://www.mobi-notes.example/faq",
         "2.0.5", "墨笔记事本", "MoBiNotes.exe", "MoBiSpell.dll",
         "{C2F7E913-5A0B-4E8D-B6C1-9D3A4F2E7B65}", ".mbn", "MoBi.Note", "墨笔笔记",
         HKEY_LOCAL_MACHINE, "MoBiNotesHelper", "/autostart", "墨笔记事本",
         CSIDL_DESKTOPDIRECTORY, "墨笔记事本", "墨笔记事本", false, false, "uninst.exe", false, false, false, 0,
         nullptr, nullptr},
        // Quiet-capable: an unins000.exe with its unins000.dat.
        {"XingheZip", "星河压缩 5.1", "星河软件", "http://www.xinghe-zip.example/support", "5.1.0",
         "星河软件\\星河压缩", "XingheZip.exe", "XhShell.dll", "{4E8B2C17-9A3D-4F6E-B5C1-7D2A0E9F3B86}", ".xhz",
         "Xinghe.Archive", "星河压缩文件", HKEY_CURRENT_USER, "XingheZipMonitor", "/monitor", "星河软件\\星河压缩",
         CSIDL_COMMON_DESKTOPDIRECTORY, "星河压缩", "星河压缩", false, true, "unins000.exe", false, true, false, 0,
         nullptr, nullptr},
        // A Windows Installer product the Installer knows, whose entry says /I (repair).
        {"{7A3C9E51-2B6D-4C8F-A1E4-5D0B3F7C2E98}", "Northwind Reader 7", "Northwind Traders Ltd.",
         "http://help.northwind.example/reader", "7.0.3", "Northwind Reader", "NwReader.exe", "NwPreview.dll",
         "{9D1F6B24-8C5E-4A3B-B7D0-2E6F1C4A8B37}", ".nwr", "Northwind.Document", "Northwind Document",
         HKEY_LOCAL_MACHINE, "NorthwindReaderUpdate", "/check", "Northwind Reader", CSIDL_COMMON_DESKTOPDIRECTORY,
         "Northwind Reader", "Northwind Reader", true, false, nullptr, false, false, false, 0, nullptr,
         "{7A3C9E51-2B6D-4C8F-A1E4-5D0B3F7C2E9F}"},
        // Its uninstaller is gone: forced removal is what is left.
        {"YunFanSync", "云帆同步助手", "云帆网络", "http://www.yunfan-sync.example/help", "3.4.1", "云帆同步助手",
         "YunFanSync.exe", "YfOverlay.dll", "{2C7E4A19-6F3B-4D8A-9E1C-0B5D7F2A6C43}", ".yfs", "YunFan.SyncFile",
         "云帆同步文件", HKEY_CURRENT_USER, "YunFanSync", "/background", "云帆同步助手", CSIDL_DESKTOPDIRECTORY,
         "云帆同步助手", "云帆同步助手", false, true, "uninst.exe", false, false, true, 0, nullptr, nullptr},
        // Its uninstaller asks for a restart (3010); its entry names the quiet command.
        {"PixelForge", "Pixel Forge 2", "Pixel Forge Studio", "http://pixelforge.example/support", "2.2.0",
         "Pixel Forge", "PixelForge.exe", "PfFilters.dll", "{B5E2D846-1A7C-4F39-8D6E-3C0A9B2F7E15}", ".pfg",
         "PixelForge.Image", "Pixel Forge Image", HKEY_LOCAL_MACHINE, "PixelForgeAgent", "/agent", "Pixel Forge",
         CSIDL_DESKTOPDIRECTORY, "Pixel Forge", "Pixel Forge", false, false, "uninst.exe", false, false, false, 3010,
         "/S", nullptr},
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
        return std::string("MsiExec.exe ") + (product.upgradeCode ? "/I" : "/X") + product.uninstallKey;
    return "\"" + ProductFile(product, product.uninstallerName) + "\"";
}

bool HasInstallerRegistration(const DemoProduct& product)
{
    return product.upgradeCode != nullptr;
}

machine::InstallerProduct InstallerRegistrationOf(const DemoProduct& product)
{
    return {product.uninstallKey, product.upgradeCode ? product.upgradeCode : "", Ansi(product.displayName),
            product.version, Ansi(product.publisher), ProductFolder(product)};
}

}  // namespace demo

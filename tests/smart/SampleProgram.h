// A program installed the way installers do it: a folder with nested, read-only and
// hidden files, a shortcut to a second folder, desktop and Start-menu shortcuts, a
// COM class, file types, an uninstall entry, Run values and its vendor's key under
// "Software" with the product's key in it. Plus things that must not be claimed: a sibling folder whose name
// begins with the program folder's name, an out-of-process class, an expandable Run
// value, and another tool's key whose setting names the program (listed alone, weak).
// Its 32-bit part is registered in the other registry view: an uninstall entry, a Run
// value, a vendor key, a class, a shared file type served by that class and a file
// type kept apart as Vista keeps them.
// All of it goes again with the object.
#pragma once
#include "TraceTestSupport.h"

namespace smarttest {

struct SampleProgram {
    std::string id = UniqueName("um"), runValue = id, expandRunValue = "X" + id;
    TempDir base{"umsample"};
    std::string folder = base.Path() + "\\App", exe = folder + "\\app.exe";
    std::string toolsFolder = base.Path() + "\\Tools";  // reached through App\Tools.lnk
    std::string siblingFolder = base.Path() + "\\AppBar";
    ScopedDir desktopLink{SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + id + ".lnk"};
    ScopedDir commonDesktopLink{SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\" + id + ".lnk"};
    ScopedDir directMenuLink{SpecialFolder(CSIDL_PROGRAMS) + "\\A" + id + ".lnk"};
    ScopedDir group{SpecialFolder(CSIDL_PROGRAMS) + "\\G" + id};
    ScopedKey classA{HKEY_CLASSES_ROOT, "CLSID\\{A" + id + "}"}, classB{HKEY_CLASSES_ROOT, "CLSID\\{B" + id + "}"};
    ScopedKey classOutOfProcess{HKEY_CLASSES_ROOT, "CLSID\\{C" + id + "}"};
    ScopedKey extension{HKEY_CLASSES_ROOT, ".e" + id}, extension2{HKEY_CLASSES_ROOT, ".e2" + id};
    ScopedKey progId{HKEY_CLASSES_ROOT, "P" + id}, progId2{HKEY_CLASSES_ROOT, "P2" + id};
    ScopedKey wowClass{HKEY_CLASSES_ROOT, "Wow6432Node\\CLSID\\{D" + id + "}"};
    ScopedKey extension3{HKEY_CLASSES_ROOT, ".e3" + id}, progId3{HKEY_CLASSES_ROOT, "P3" + id};
    ScopedKey wowExtension{HKEY_CLASSES_ROOT, "Wow6432Node\\.w" + id}, wowProgId{HKEY_CLASSES_ROOT, "Wow6432Node\\PW" + id};
    ScopedKey wowUninstallKey{HKEY_LOCAL_MACHINE, std::string(kWowUninstallKey) + "\\W" + id};
    ScopedKey wowVendorKey{HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\V" + id};
    ScopedKey uninstallKey{HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + id};
    ScopedKey vendorKey{HKEY_LOCAL_MACHINE, "SOFTWARE\\V" + id};
    ScopedKey userKey{HKEY_CURRENT_USER, "Software\\U" + id}, siblingKey{HKEY_CURRENT_USER, "Software\\S" + id};
    ScopedKeyIsolation machineRun{HKEY_LOCAL_MACHINE, kRunKey}, userRun{HKEY_CURRENT_USER, kUserRunKey};
    ScopedKeyIsolation wowRun{HKEY_LOCAL_MACHINE, kWowRunKey};

    SampleProgram()
    {
        for (const char* file :
             {"\\app.exe", "\\readme.txt", "\\hidden.dat", "\\data\\config.ini", "\\data\\deep\\more.bin"})
            WriteFileText(folder + file);
        SetFileAttributesA((folder + "\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA((folder + "\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
        WriteFileText(toolsFolder + "\\tool.exe");
        MakeShortcut(folder + "\\Tools.lnk", toolsFolder + "\\tool.exe");
        WriteFileText(siblingFolder + "\\x.exe");
        for (const std::string& link :
             {desktopLink.Path(), commonDesktopLink.Path(), directMenuLink.Path(), group.Path() + "\\App.lnk"})
            MakeShortcut(link, exe);
        MakeShortcut(group.Path() + "\\Readme.lnk", folder + "\\readme.txt");

        const HKEY cr = HKEY_CLASSES_ROOT, lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
        SetString(cr, classA.Path(), "", "Sample class");
        SetString(cr, classA.Path() + "\\InprocServer32", "", folder + "\\app.dll");
        SetString(cr, classA.Path() + "\\InprocServer32", "ThreadingModel", "Apartment");
        SetString(cr, classB.Path() + "\\InprocServer32", "", folder + "\\ext.dll", REG_EXPAND_SZ);
        SetString(cr, classOutOfProcess.Path() + "\\LocalServer32", "", exe);
        SetString(cr, extension.Path(), "", progId.Path());
        SetString(cr, progId.Path() + "\\shell\\open\\command", "", "\"" + exe + "\" \"%1\"");
        SetString(cr, extension2.Path(), "", progId2.Path());
        SetString(cr, progId2.Path() + "\\CLSID", "", "{B" + id + "}");
        SetString(cr, wowClass.Path() + "\\InprocServer32", "", folder + "\\app32.dll");
        SetString(cr, extension3.Path(), "", progId3.Path());
        SetString(cr, progId3.Path() + "\\CLSID", "", "{D" + id + "}");
        SetString(cr, wowExtension.Path(), "", "PW" + id);
        SetString(cr, wowProgId.Path() + "\\shell\\open\\command", "", "\"" + exe + "\" \"%1\"");
        SetString(lm, wowUninstallKey.Path(), "InstallLocation", folder);
        SetString(lm, kWowRunKey, runValue, exe);
        SetString(lm, wowVendorKey.Path(), "Path", folder);
        SetString(lm, uninstallKey.Path(), "DisplayName", "Sample");
        SetString(lm, uninstallKey.Path(), "InstallLocation", folder);
        SetString(lm, uninstallKey.Path(), "UninstallString", folder + "\\uninst.exe");
        SetString(lm, uninstallKey.Path(), "Publisher", "V" + id);
        SetString(lm, kRunKey, runValue, "\"" + exe + "\" /min");
        SetString(lm, kRunKey, expandRunValue, exe, REG_EXPAND_SZ);
        SetString(cu, kUserRunKey, runValue, exe);
        SetString(lm, vendorKey.Path(), "Path", folder);
        SetString(lm, vendorKey.Path() + "\\Sample", "InstallDir", folder);
        SetString(lm, vendorKey.Path() + "\\Sample\\Settings", "x", "1");
        SetString(cu, userKey.Path(), "InstallDir", folder);
        SetString(cu, siblingKey.Path(), "Path", siblingFolder + "\\x.exe");
    }
};

}  // namespace smarttest

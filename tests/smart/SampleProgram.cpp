#include "SampleProgram.h"

#include "TraceTestSupport.h"
#include "resource.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace smarttest {

using namespace fixtures;

SampleProgram::SampleProgram() : id(UniqueName("um")), base("umsample")
{
    folder = base.Path() + "\\App";
    toolsFolder = base.Path() + "\\Tools";
    siblingFolder = base.Path() + "\\AppBar";
    WriteFileText(folder + "\\app.exe");
    WriteFileText(folder + "\\readme.txt");
    SetFileAttributesA((folder + "\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileText(folder + "\\hidden.dat");
    SetFileAttributesA((folder + "\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteFileText(folder + "\\data\\config.ini");
    WriteFileText(folder + "\\data\\deep\\more.bin");
    WriteFileText(toolsFolder + "\\tool.exe");
    MakeShortcut(folder + "\\Tools.lnk", toolsFolder + "\\tool.exe");
    WriteFileText(siblingFolder + "\\x.exe");

    desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + id + ".lnk";
    commonDesktopLink = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\" + id + ".lnk";
    MakeShortcut(desktopLink, Executable());
    MakeShortcut(commonDesktopLink, Executable());
    std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    directMenuLink = programs + "\\A" + id + ".lnk";
    group = programs + "\\G" + id;
    MakeShortcut(directMenuLink, Executable());
    MakeShortcut(group + "\\App.lnk", Executable());
    MakeShortcut(group + "\\Readme.lnk", folder + "\\readme.txt");

    classA = "CLSID\\{A" + id + "}";
    classB = "CLSID\\{B" + id + "}";
    classOutOfProcess = "CLSID\\{C" + id + "}";
    SetString(HKEY_CLASSES_ROOT, classA, "", "Sample class");
    SetString(HKEY_CLASSES_ROOT, classA + "\\InprocServer32", "", folder + "\\app.dll");
    SetString(HKEY_CLASSES_ROOT, classA + "\\InprocServer32", "ThreadingModel", "Apartment");
    SetString(HKEY_CLASSES_ROOT, classB + "\\InprocServer32", "", folder + "\\ext.dll", REG_EXPAND_SZ);
    SetString(HKEY_CLASSES_ROOT, classOutOfProcess + "\\LocalServer32", "", folder + "\\app.exe");

    extension = ".e" + id;
    extension2 = ".e2" + id;
    progId = "P" + id;
    progId2 = "P2" + id;
    SetString(HKEY_CLASSES_ROOT, extension, "", progId);
    SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "", "\"" + folder + "\\app.exe\" \"%1\"");
    SetString(HKEY_CLASSES_ROOT, extension2, "", progId2);
    SetString(HKEY_CLASSES_ROOT, progId2 + "\\CLSID", "", "{B" + id + "}");

    uninstallKey = std::string(kUninstallKey) + "\\" + id;
    SetString(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName", "Sample");
    SetString(HKEY_LOCAL_MACHINE, uninstallKey, "InstallLocation", folder);
    SetString(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", folder + "\\uninst.exe");
    SetString(HKEY_LOCAL_MACHINE, uninstallKey, "Publisher", "V" + id);

    runValue = id;
    expandRunValue = "X" + id;
    SetString(HKEY_LOCAL_MACHINE, kRunKey, runValue, "\"" + folder + "\\app.exe\" /min");
    SetString(HKEY_LOCAL_MACHINE, kRunKey, expandRunValue, folder + "\\app.exe", REG_EXPAND_SZ);
    SetString(HKEY_CURRENT_USER, kRunKey, runValue, folder + "\\app.exe");

    vendorKey = "Software\\V" + id;
    SetString(HKEY_LOCAL_MACHINE, vendorKey, "Path", folder);
    SetString(HKEY_LOCAL_MACHINE, vendorKey + "\\Settings", "x", "1");
    userKey = "Software\\U" + id;
    SetString(HKEY_CURRENT_USER, userKey, "InstallDir", folder);
    siblingKey = "Software\\S" + id;
    SetString(HKEY_CURRENT_USER, siblingKey, "Path", siblingFolder + "\\x.exe");
}

SampleProgram::~SampleProgram()
{
    DeleteFileA(desktopLink.c_str());
    DeleteFileA(commonDesktopLink.c_str());
    DeleteFileA(directMenuLink.c_str());
    RemoveTree(group);
    const char* classKeys[] = {classA.c_str(), classB.c_str(), classOutOfProcess.c_str(), extension.c_str(),
                               extension2.c_str(), progId.c_str(), progId2.c_str()};
    for (const char* key : classKeys)
        DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, uninstallKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, vendorKey);
    DeleteKeyTree(HKEY_CURRENT_USER, userKey);
    DeleteKeyTree(HKEY_CURRENT_USER, siblingKey);
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kRunKey, runValue.c_str());
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kRunKey, expandRunValue.c_str());
    SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, runValue.c_str());
}

std::vector<std::string> SampleProgram::ExpectedTraces() const
{
    const HKEY cr = HKEY_CLASSES_ROOT;
    std::vector<std::string> classAKeys = {
        KeyTrace(cr, classA), ValueTrace(cr, classA, ""), KeyTrace(cr, classA + "\\InprocServer32"),
        ValueTrace(cr, classA + "\\InprocServer32", ""), ValueTrace(cr, classA + "\\InprocServer32", "ThreadingModel")};
    std::vector<std::string> classBKeys = {KeyTrace(cr, classB), KeyTrace(cr, classB + "\\InprocServer32"),
                                           ValueTrace(cr, classB + "\\InprocServer32", "")};
    std::vector<std::string> progIdKeys = {
        KeyTrace(cr, progId), KeyTrace(cr, progId + "\\shell"), KeyTrace(cr, progId + "\\shell\\open"),
        KeyTrace(cr, progId + "\\shell\\open\\command"), ValueTrace(cr, progId + "\\shell\\open\\command", "")};
    std::vector<std::string> progId2Keys = {KeyTrace(cr, progId2), KeyTrace(cr, progId2 + "\\CLSID"),
                                            ValueTrace(cr, progId2 + "\\CLSID", "")};
    std::vector<std::string> expected = {
        // The program folder, each folder after its contents, in listing order; the
        // target is the first row and is not listed again.
        FileTrace(Executable()),
        FileTrace(folder + "\\data\\config.ini"),
        FileTrace(folder + "\\data\\deep\\more.bin"),
        FolderTrace(folder + "\\data\\deep"),
        FolderTrace(folder + "\\data"),
        FileTrace(folder + "\\hidden.dat"),
        FileTrace(folder + "\\readme.txt"),
        FileTrace(folder + "\\Tools.lnk"),
        // The shortcut's target folder lies outside: offered, unticked.
        WeakTrace(FileTrace(toolsFolder + "\\tool.exe"), IDS_WEAK_OUTSIDE_FOLDER),
        WeakTrace(FolderTrace(toolsFolder), IDS_WEAK_OUTSIDE_FOLDER),
        FolderTrace(folder),
        FileTrace(desktopLink),
        FileTrace(commonDesktopLink),
        FileTrace(directMenuLink),
        FileTrace(group + "\\App.lnk"),
        FileTrace(group + "\\Readme.lnk"),
        FolderTrace(group),
    };
    auto append = [&expected](const std::vector<std::string>& more) {
        expected.insert(expected.end(), more.begin(), more.end());
    };
    append(classAKeys);
    append(classBKeys);
    // File types: the extension routed through a class id, then through a command;
    // what the class walk reaches again is not listed twice.
    append({KeyTrace(cr, extension2), ValueTrace(cr, extension2, "")});
    append(progId2Keys);
    append({KeyTrace(cr, extension), ValueTrace(cr, extension, "")});
    append(progIdKeys);
    append({KeyTrace(HKEY_LOCAL_MACHINE, uninstallKey), ValueTrace(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName"),
            ValueTrace(HKEY_LOCAL_MACHINE, uninstallKey, "InstallLocation"),
            ValueTrace(HKEY_LOCAL_MACHINE, uninstallKey, "Publisher"),
            ValueTrace(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString")});
    append({ValueTrace(HKEY_LOCAL_MACHINE, kRunKey, runValue), ValueTrace(HKEY_CURRENT_USER, kRunKey, runValue)});
    append({KeyTrace(HKEY_LOCAL_MACHINE, vendorKey), ValueTrace(HKEY_LOCAL_MACHINE, vendorKey, "Path"),
            KeyTrace(HKEY_LOCAL_MACHINE, vendorKey + "\\Settings"), ValueTrace(HKEY_LOCAL_MACHINE, vendorKey + "\\Settings", "x")});
    // The vendor key bears the publisher's name; the user key is another tool's.
    append({WeakTrace(ValueTrace(HKEY_CURRENT_USER, userKey, "InstallDir"), IDS_WEAK_OTHER_SETTINGS)});
    return expected;
}

}  // namespace smarttest

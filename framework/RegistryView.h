// Registry keys are addressed by their physical paths, the ones the registry editor
// shows: on 64-bit Windows the 32-bit view of HKLM\SOFTWARE is SOFTWARE\Wow6432Node
// and the 32-bit COM classes are under Classes\Wow6432Node. Every open asks for the
// 64-bit view there, so one path names one key in both builds and in both views.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// True on 64-bit Windows: the 64-bit build always, the 32-bit one under WOW64.
bool HasRegistryViews();

// KEY_WOW64_64KEY for the 32-bit build on a system with views, else 0 (a 64-bit
// program's own view is the 64-bit one); part of every open's access.
REGSAM PhysicalView();

// The physical paths of root\path in each view, the program's native view first.
// HKLM "SOFTWARE\..." gains "SOFTWARE\Wow6432Node\..." and an HKEY_CLASSES_ROOT path
// "Wow6432Node\..."; other roots, and systems without views, have one path.
std::vector<std::string> PathsInEveryView(HKEY root, const char* path);

// True for a physical path of the 32-bit view on 64-bit Windows: one through
// Wow6432Node, as PathsInEveryView makes them.
bool IsRedirectedPath(HKEY root, const char* path);

// A key in one place of the registry: a root and a physical path below it.
struct RegistryPlace {
    HKEY root;
    std::string path;
};

// A "SOFTWARE\..." key in every place Windows keeps one: the machine's in each view
// (native first), then the current user's (whose Software is shared by the views).
std::vector<RegistryPlace> MachineAndUserPlaces(const char* softwarePath);

// Deletes parent's subkey name (no subkeys of its own) in the physical view.
LONG DeleteSubkeyInView(HKEY parent, const wchar_t* name);

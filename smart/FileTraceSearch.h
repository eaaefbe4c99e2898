// The file half of the analysis: the program's folders listed whole, its data
// folders in the application data folders (found by its names), and the shortcuts on
// the desktops and in the Start menus that lead into it.
#pragma once
#include "smart/AnalysisContext.h"

class CFileTraceSearch {
public:
    explicit CFileTraceSearch(CAnalysisContext& context) : context(context) {}

    // Every file search, in the list's order.
    void Run();
    // Lists folder with everything in it, each entry weak for weakReason; a link is
    // listed as itself, never followed.
    void CollectFolder(const char* folder, WeakReason weakReason = WEAK_NONE);
    // The program's data folders, by its names.
    void SearchDataFolders();
    void SearchShortcutFolder(const char* folder);
    // A Start menu folder; true when every entry in it was listed.
    bool SearchProgramsMenu(const char* folder, int depth);

private:
    void FollowCollectedShortcut(const char* shortcutPath);
    bool MayListOutsideFolder(const char* folder);
    bool AdoptDataFolder(const char* folder, bool isLink);
    void SearchVendorDataFolder(const char* vendorFolder);

    CAnalysisContext& context;
};

#include "smart/FileTraceSearch.h"

#include "framework/AnsiText.h"
#include "framework/PathExists.h"
#include "smart/FolderListing.h"
#include "smart/FolderPaths.h"

#include <shlobj.h>

namespace {

const int kMaxGroupDepth = 8;

// Where programs keep their data: the user's roaming and local folders, the machine's.
const int kDataFolders[] = {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA};

}  // namespace

void CFileTraceSearch::Run()
{
    // A folder that is gone holds nothing, but what points into it is still found.
    for (const std::string& folder : context.programFolders)
        CollectFolder(folder.c_str());
    SearchDataFolders();
    SearchShortcutFolder(context.machine.Desktop());
    SearchShortcutFolder(context.machine.CommonDesktop());
    SearchProgramsMenu(context.machine.ProgramsMenu(), 0);
    SearchProgramsMenu(context.machine.CommonProgramsMenu(), 0);
}

void CFileTraceSearch::CollectFolder(const char* folder, WeakReason weakReason)
{
    if (!context.machine.IsCollectable(folder))
        return;
    // A junction or symbolic link is listed as itself and never followed: its
    // target belongs to someone else and may lead back up the tree.
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        context.AddTrace(TRACE_FOLDER, folder, nullptr, nullptr, weakReason);
        return;
    }
    FolderListing listing(folder, "*.*");
    if (!listing.IsOpen())
        return;
    while (listing.Next()) {
        context.KeepResponsiveIfDue();
        int kind = listing.IsFolder() ? TRACE_FOLDER : TRACE_FILE;
        if (!listing.IsAddressable()) {
            context.AddTrace(kind, listing.Path(), nullptr, nullptr, WEAK_UNADDRESSABLE);
            continue;
        }
        if (kind == TRACE_FOLDER) {
            CollectFolder(listing.Path(), weakReason);
            continue;
        }
        context.AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr, weakReason);
        if (weakReason == WEAK_NONE && HasExtension(listing.Name(), ".lnk"))
            FollowCollectedShortcut(listing.Path());
    }
    listing.Close();
    context.AddTrace(TRACE_FOLDER, folder, nullptr, nullptr, weakReason);
}

void CFileTraceSearch::FollowCollectedShortcut(const char* shortcutPath)
{
    char target[MAX_PATH];
    bool isFile = true;
    if (!context.machine.ReadTargetPath(shortcutPath, target) || context.IsInProgramFolders(target) ||
        !PathExists(target, &isFile))
        return;
    // The shortcut leads out of the program's folders: what lies there may be the
    // program's, another program's or the user's. It is offered unticked, and its
    // own shortcuts are not followed.
    char folder[MAX_PATH];
    CopyText(folder, MAX_PATH, target);
    if ((isFile && !CutAtLastBackslash(folder)) || !MayListOutsideFolder(folder))
        return;
    CollectFolder(folder, WEAK_OUTSIDE_FOLDER);
}

bool CFileTraceSearch::MayListOutsideFolder(const char* folder)
{
    if (context.machine.IsSystemFolder(folder) || context.machine.Protected().IsShortcutFolder(folder))
        return false;
    // Never a folder above the program's, never another registered product's.
    for (const std::string& programFolder : context.programFolders) {
        if (IsWithinFolder(programFolder.c_str(), folder))
            return false;
    }
    for (const RegisteredEntry& entry : context.Entries().All()) {
        bool touches = false;
        bool ownsProgram = false;
        for (const std::string& entryFolder : entry.folders) {
            if (entryFolder.empty())
                continue;
            const char* text = entryFolder.c_str();
            touches = touches || IsWithinFolder(text, folder) || IsWithinFolder(folder, text);
            ownsProgram = ownsProgram || context.IsInProgramFolders(text);
        }
        if (touches && !ownsProgram)
            return false;
    }
    return true;
}

void CFileTraceSearch::SearchShortcutFolder(const char* folder)
{
    if (!HasDriveColon(folder) || context.machine.IsInWindowsFolder(folder))
        return;
    FolderListing listing(folder, "*.lnk");
    while (listing.Next()) {
        context.KeepResponsiveIfDue();
        if (listing.IsFolder() || !listing.IsAddressable() || !HasExtension(listing.Name(), ".lnk"))
            continue;
        char target[MAX_PATH];
        if (context.machine.ReadTargetPath(listing.Path(), target) && context.PointsIntoProgram(target))
            context.AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr);
    }
}

bool CFileTraceSearch::SearchProgramsMenu(const char* folder, int depth)
{
    if (depth > kMaxGroupDepth || !HasDriveColon(folder) || context.machine.IsInWindowsFolder(folder))
        return false;
    // A group's shortcuts are listed when they lead into the program; the group
    // itself only when every entry of it is listed, and after them.
    FolderListing listing(folder, "*.*");
    bool any = false;
    bool all = true;
    while (listing.Next()) {
        context.KeepResponsiveIfDue();
        any = true;
        if (!listing.IsAddressable()) {
            all = false;
            continue;
        }
        if (listing.IsFolder()) {
            // A shell folder (the Startup folder) is never the program's, however full of it.
            bool whole = !listing.IsLink() && SearchProgramsMenu(listing.Path(), depth + 1) &&
                         !context.machine.Protected().IsTooWide(listing.Path());
            if (whole)
                context.AddTrace(TRACE_FOLDER, listing.Path(), nullptr, nullptr);
            all = all && whole;
            continue;
        }
        char target[MAX_PATH];
        if (HasExtension(listing.Name(), ".lnk") && context.machine.ReadTargetPath(listing.Path(), target) &&
            context.PointsIntoProgram(target))
            context.AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr);
        all = all && context.IsListed(TRACE_FILE, listing.Path());
    }
    return any && all;
}

// In the application data folders, a folder named as the product is the program's
// data, and a vendor folder that holds nothing but such folders is too.
void CFileTraceSearch::SearchDataFolders()
{
    if (!context.names.HasProducts())
        return;
    for (int csidl : kDataFolders) {
        char base[MAX_PATH] = "";
        if (!SHGetSpecialFolderPathA(nullptr, base, csidl, FALSE) || !HasDriveColon(base) ||
            context.machine.IsInWindowsFolder(base))
            continue;
        FolderListing listing(base, "*");
        while (listing.Next()) {
            context.KeepResponsiveIfDue();
            if (!listing.IsFolder() || !listing.IsAddressable())
                continue;
            if (context.names.IsProduct(listing.Name()))
                AdoptDataFolder(listing.Path(), listing.IsLink());
            else if (context.names.IsVendor(listing.Name()) && !listing.IsLink())
                SearchVendorDataFolder(listing.Path());
        }
    }
}

// Lists a data folder whole, unless another registered product's folder is at,
// above or below it; a link is listed as itself. Later searches take what points
// into it for the program's.
bool CFileTraceSearch::AdoptDataFolder(const char* folder, bool isLink)
{
    if (context.IsInProgramFolders(folder) || context.Entries().IsOtherProductFolder(folder) ||
        !context.machine.IsCollectable(folder))
        return false;
    if (isLink) {
        context.AddTrace(TRACE_FOLDER, folder, nullptr, nullptr);
        return true;
    }
    CollectFolder(folder);
    context.programFolders.push_back(folder);
    return true;
}

void CFileTraceSearch::SearchVendorDataFolder(const char* vendorFolder)
{
    std::vector<std::string> productFolders;
    bool holdsOther = false;
    FolderListing listing(vendorFolder, "*");
    while (listing.Next()) {
        const bool product = listing.IsFolder() && !listing.IsLink() && listing.IsAddressable() &&
                             context.names.IsProduct(listing.Name());
        if (product)
            productFolders.push_back(listing.Path());
        holdsOther = holdsOther || !product;
    }
    listing.Close();
    if (productFolders.empty())
        return;
    if (!holdsOther && AdoptDataFolder(vendorFolder, false))
        return;
    for (const std::string& folder : productFolders)
        AdoptDataFolder(folder.c_str(), false);
}

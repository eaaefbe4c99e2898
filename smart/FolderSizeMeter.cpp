#include "smart/FolderSizeMeter.h"

#include "framework/AnsiText.h"
#include "framework/PathExists.h"
#include "framework/SteadyClock.h"
#include "smart/AnalysisContext.h"
#include "smart/FolderListing.h"
#include "smart/ProgramLocator.h"

#include <new>

CFolderSizeMeter::CFolderSizeMeter(size_t maxEntries, int maxDepth) : maxEntries(maxEntries), maxDepth(maxDepth) {}

CFolderSizeMeter::~CFolderSizeMeter() = default;

void CFolderSizeMeter::Start(const char* folder)
{
    pending.clear();
    listing.reset();
    bytes = 0;
    entries = 0;
    partial = false;
    finished = true;
    std::string path = folder ? folder : "";
    if (EndsWithBackslash(path.c_str()))
        path.pop_back();
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    pending.push_back({path, 0});
    finished = false;
}

bool CFolderSizeMeter::Step(double budgetSeconds)
{
    const double deadline = SteadySeconds() + budgetSeconds;
    while (!finished) {
        if (listing && listing->Next())
            TakeEntry();
        else
            ListNextFolder();
        if (SteadySeconds() >= deadline)
            break;
    }
    return finished;
}

// Depth first: the folder found last is listed next, so what waits stays small.
void CFolderSizeMeter::ListNextFolder()
{
    listing.reset();
    if (pending.empty()) {
        Stop(true);
        return;
    }
    current = std::move(pending.back());
    pending.pop_back();
    listing.reset(new (std::nothrow) FolderListing(current.path.c_str(), "*", FolderListing::WITH_DOT_NAMES));
    if (!listing || !listing->IsOpen())
        partial = true;
}

void CFolderSizeMeter::TakeEntry()
{
    if (++entries > maxEntries) {
        Stop(false);
        return;
    }
    if (listing->IsLink())
        return;
    if (!listing->IsFolder()) {
        bytes += listing->Size();
        return;
    }
    if (!listing->IsAddressable() || current.depth >= maxDepth) {
        partial = true;
        return;
    }
    pending.push_back({listing->Path(), current.depth + 1});
}

void CFolderSizeMeter::Stop(bool complete)
{
    partial = partial || !complete;
    finished = true;
    listing.reset();
    pending.clear();
}

bool MayMeasureFolder(const char* folder)
{
    return CFolderScreen().MayMeasure(folder);
}

CFolderScreen::CFolderScreen() : context(new (std::nothrow) CAnalysisContext()) {}

CFolderScreen::~CFolderScreen() = default;

bool CFolderScreen::MayMeasure(const char* folder)
{
    if (!context)
        return false;
    if (!loaded) {
        context->LoadMachine();
        loaded = true;
    }
    char full[MAX_PATH];
    bool isFile = true;
    return CProgramLocator(*context).Screen(folder, full) == TARGET_ACCEPTED && PathExists(full, &isFile) && !isFile;
}

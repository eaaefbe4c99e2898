// The target and its folder: screens what the user names, and finds the folders
// that are the program's: the target's own, the folder a shortcut leads to, the
// registered location above a self-updating program, the folders an uninstall
// entry names before its uninstaller runs. Never a system, shared or shortcut folder,
// none that holds another product.
#pragma once
#include <string>
#include <vector>

#include "smart/AnalysisContext.h"
#include "smart/UninstallClues.h"

// What becomes of a named target before any analysis.
enum TargetVerdict {
    TARGET_IGNORED,   // no absolute path, or a file directly in a drive root: nothing happens
    TARGET_REFUSED,   // a system folder, a folder too wide to be a program's, a network path
    TARGET_ACCEPTED,  // full holds the path to analyse
};

class CProgramLocator {
public:
    explicit CProgramLocator(CAnalysisContext& context) : context(context) {}

    // Makes typed full (full: MAX_PATH bytes) and screens it; the machine's folders
    // must be loaded.
    TargetVerdict Screen(const char* typed, char* full) const;
    // Whether folder may be taken for a program's own folder (full: its MAX_PATH full
    // form): no system, shared or shortcut folder, none that holds another product.
    bool ScreenLeftoverFolder(const char* folder, char* full);
    // Adopts the folders of an accepted target (isFile: it is a file).
    void ChooseProgramFolder(const char* target, bool isFile);
    // The folders an entry's texts name that may be the product's own (see
    // CTraceAnalyzer::NoteUninstallClues).
    void NoteUninstallClues(UninstallClues* clues);
    // Adopts the noted folders of a product whose uninstaller ran, but those that a
    // remaining entry names.
    void AdoptLeftoverFolders(const UninstallClues& clues);

private:
    bool AdoptFolder(const char* folder, const char* programFile);
    void FollowNamedShortcut(const char* shortcutPath);
    // The noted candidates: install location, icon's and uninstaller's folder.
    std::vector<std::string> ClueFolders(const UninstallClues& clues);

    CAnalysisContext& context;
};

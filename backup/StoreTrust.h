// Who may own and change the folders that hold the backups. The program runs with
// administrator rights and puts back what a backup holds, so a folder that a
// standard user could have made first, or can change, is never one it saves to or
// restores from.
#pragma once
#include <windows.h>

#include <string>

enum FolderCheck {
    FOLDER_SAFE,        // a real folder that only the trusted own and change
    FOLDER_MISSING,     // not there (or it cannot be made)
    FOLDER_LINKED,      // it, or a folder on its path, is a link; or it is no folder
    FOLDER_UNREADABLE,  // its owner and permissions cannot be read
    FOLDER_OPEN,        // owned by another, or another may change it
};

class CStoreTrust {
public:
    virtual ~CStoreTrust() = default;

    // SYSTEM and Administrators. Wine reads every owner, and every entry made for
    // Administrators, back as the user's own SID and enforces nothing: there that
    // SID stands for Administrators. Tests override this to be a standard user.
    virtual bool IsTrusted(PSID sid) const;
    // The owner is trusted, and the DACL lets no one else do more than read. No DACL
    // at all lets everyone do everything; an entry of an unknown kind counts as one
    // that grants.
    bool IsAdminOnly(PSECURITY_DESCRIPTOR descriptor) const;
    // The folder at path as a store's folder must be: a real folder, no link on the
    // way to it, owned and changeable by the trusted alone.
    FolderCheck CheckFolder(const std::string& path) const;
    // The file at path as a store's own file must be: a plain file, no link on the
    // way to it, owned and changeable by the trusted alone (FOLDER_LINKED for a link
    // or a folder).
    FolderCheck CheckFile(const std::string& path) const;
    // Makes the folder with the store's permissions when it is missing (SYSTEM and
    // Administrators full control, nothing inherited), then checks it.
    FolderCheck MakeFolder(const std::string& path) const;
    // Makes a new folder with the store's permissions; false (GetLastError says why)
    // when it exists or cannot be made.
    bool CreateFolder(const std::string& path) const;

private:
    FolderCheck CheckItem(const std::string& path, bool folder) const;
};

// The trust the program runs with.
const CStoreTrust& DefaultStoreTrust();

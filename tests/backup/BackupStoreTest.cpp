// The store of backups: made for administrators alone and checked each time it is
// used. A store that a standard user made first, that others may change, or that a
// link leads to is never used: nothing in it is listed as restorable, restored or
// deleted, and no removal saves to it (so none happens).
#include "backup/BackupStore.h"
#include "backup/RemovalBackup.h"
#include "backup/RestoreRun.h"
#include "backup/Sha256.h"
#include "framework/AnsiText.h"
#include "support/BackupStoreSupport.h"
#include "support/Fixtures.h"
#include "smart/TraceRemoval.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using fixtures::TempDir;

TraceItem FileItem(const std::string& path)
{
    TraceItem item = {TRACE_FILE, "", "", nullptr, WEAK_NONE};
    CopyText(item.path, MAX_PATH, path.c_str());
    return item;
}

// Removes file with a backup in store; the outcome and the backup's run name.
RemovalTally RemoveWithBackup(const CBackupStore& store, const std::string& file, std::string* runName = nullptr)
{
    TraceItem item = FileItem(file);
    CRemovalBackup backup(store, "Sample");
    RemovalTally tally = RemoveTraces({&item}, {true}, &backup);
    if (runName)
        *runName = backup.RunName();
    return tally;
}

bool Judged(const CStoreTrust& trust, const char* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    bool adminOnly = trust.IsAdminOnly(descriptor);
    LocalFree(descriptor);
    return adminOnly;
}

TEST(StoreTrust, TheOwnerAndEveryEntryThatGrantsMoreThanReadingAreJudged)
{
    const CStoreTrust& trust = DefaultStoreTrust();
    const struct {
        const char* sddl;
        bool adminOnly;
    } cases[] = {
        {"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
        {"O:SYD:(A;;FA;;;SY)(A;;0x1200a9;;;WD)(A;;FR;;;BU)(D;;FA;;;AU)", true},  // others read, a denial
        {"O:BAD:(A;;FA;;;BA)(A;;0x2;;;BU)", false},                        // Users may add files
        {"O:BAD:(A;;FA;;;BA)(A;;0x4;;;AU)", false},                        // signed-in users may add folders
        {"O:BAD:(A;;FA;;;BA)(A;;0x40;;;WD)", false},                       // Everyone may delete inside
        {"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)", false},                         // Users may change the permissions
        {"O:BAD:(A;;FA;;;BA)(A;OICIIO;GA;;;CO)", false},                   // whoever makes something in it owns it
        {"O:BAD:(A;;FA;;;BA)(A;;GW;;;IU)", false},
        {"O:BUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},                // owned by Users
        {"O:BA", false},                                                   // no DACL: everyone may do anything
    };
    for (const auto& each : cases)
        EXPECT_EQ(each.adminOnly, Judged(trust, each.sddl)) << each.sddl;
    // A null DACL lets everyone do anything too.
    SECURITY_DESCRIPTOR open;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(administrators);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize));
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&open, administrators, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_FALSE(trust.IsAdminOnly(&open));
    // Wine gives every folder the user as its owner and enforces nothing: the
    // program's own trust takes that user for Administrators, a standard user's would not.
    HANDLE token = nullptr;
    BYTE buffer[256];
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size));
    CloseHandle(token);
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    EXPECT_TRUE(trust.IsTrusted(user));
    EXPECT_FALSE(fixtures::MadeByStandardUser().IsTrusted(user));
}

TEST(StoreTrust, Sha256IsTheStandardDigest)
{
    EXPECT_EQ("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", Sha256Hex("abc"));
    EXPECT_EQ("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855", Sha256Hex(""));
}

TEST(BackupStore, ItsFoldersAreMadeForAdministratorsAlone)
{
    TempDir data("umstore");
    CBackupStore store(data.Path());
    EXPECT_EQ(FOLDER_MISSING, store.Check());
    std::string name;
    ASSERT_EQ(FOLDER_SAFE, store.CreateRunFolder("Made", &name));
    EXPECT_EQ(FOLDER_SAFE, store.Check());
    const std::string app = data.Path() + "\\UninstallManager", run = store.Root() + "\\" + name;
    for (const std::string& folder : {app, store.Root(), run, run + "\\" + kBackupFilesName}) {
        // Nothing of what the folders above give everyone (Wine: "Everyone may read").
        std::string dacl = fixtures::DaclText(folder);
        EXPECT_EQ(std::string::npos, dacl.find(";WD)")) << folder << " " << dacl;
        EXPECT_EQ(FOLDER_SAFE, DefaultStoreTrust().CheckFolder(folder)) << folder;
        EXPECT_EQ(FOLDER_OPEN, fixtures::MadeByStandardUser().CheckFolder(folder)) << folder;
    }
    // A store whose folder a file stands in cannot be made; one on a path that does
    // not exist neither.
    fixtures::WriteFileText(data.Path() + "\\file\\UninstallManager", "x");
    EXPECT_EQ(FOLDER_LINKED, CBackupStore(data.Path() + "\\file").CreateRunFolder("Made", &name));
    EXPECT_EQ(FOLDER_MISSING, CBackupStore(data.Path() + "\\none\\deeper").CreateRunFolder("Made", &name));
}

// A genuine backup that restores, then seen through stores that fail the check in
// each way a standard user can bring about: nothing of it is listed as restorable,
// restored or deleted, and no removal saves to such a store.
TEST(BackupStore, AStoreOthersMadeCanChangeOrReachThroughALinkIsNeverUsed)
{
    TempDir data("umstore"), victim("umvictim"), other("umother");
    const std::string saved = victim.Path() + "\\saved.txt", kept = victim.Path() + "\\kept.txt";
    fixtures::WriteFileText(saved, "saved");
    std::string name;
    const CBackupStore genuine(data.Path());
    ASSERT_EQ(1, RemoveWithBackup(genuine, saved, &name).Count(REMOVAL_DONE));
    const std::string app = data.Path() + "\\UninstallManager", run = genuine.Root() + "\\" + name;
    const std::string linkedApp = other.Path() + "\\apps", linkedData = other.Path() + "\\data";
    fixtures::MakeDirs(linkedApp);
    ASSERT_TRUE(fixtures::MakeFolderLink(linkedApp + "\\UninstallManager", app));
    ASSERT_TRUE(fixtures::MakeFolderLink(linkedData, data.Path()));
    const fixtures::MadeByStandardUser standardUser;
    const struct {
        const char* how;
        std::string dataFolder;
        std::string opened;  // the folder Everyone may write for the while
        const CStoreTrust* trust;
    } stores[] = {
        {"everyone may write its folder", data.Path(), app, &DefaultStoreTrust()},
        {"everyone may write its backups", data.Path(), genuine.Root(), &DefaultStoreTrust()},
        {"everyone may write the run", data.Path(), run, &DefaultStoreTrust()},
        {"its folder is a link", linkedApp, "", &DefaultStoreTrust()},
        {"a folder on its path is a link", linkedData, "", &DefaultStoreTrust()},
        {"a standard user made it", data.Path(), "", &standardUser},
    };
    fixtures::WriteFileText(kept, "kept");
    const std::set<std::string> before = fixtures::FileSnapshot(victim.Path());
    const std::set<std::string> storeBefore = fixtures::FileSnapshot(genuine.Root());
    for (const auto& each : stores) {
        SCOPED_TRACE(each.how);
        ASSERT_TRUE(each.opened.empty() || fixtures::SetDacl(each.opened, fixtures::kEveryoneMayWrite));
        const CBackupStore store(each.dataFolder, *each.trust);
        std::vector<BackupSummary> listed = store.List();
        ASSERT_EQ(1u, listed.size());
        EXPECT_EQ(BACKUP_UNSAFE, listed[0].state);
        EXPECT_EQ(-1, listed[0].items);
        CRestoreRun restore(store, name);
        std::string reason;
        EXPECT_FALSE(restore.Load(&reason));
        EXPECT_EQ(0, restore.Run().restored);
        EXPECT_FALSE(store.Delete(name));
        std::string made;
        if (each.opened != run) {
            EXPECT_NE(FOLDER_SAFE, store.CreateRunFolder("Another", &made));
            TraceItem item = FileItem(kept);
            CRemovalBackup backup(store, "Another");
            RemovalTally tally = RemoveTraces({&item}, {true}, &backup);
            EXPECT_TRUE(tally.notSaved);
            EXPECT_NE(FOLDER_SAFE, backup.StoreCheck());
            EXPECT_NE(FOLDER_MISSING, backup.StoreCheck());
        }
        ASSERT_TRUE(each.opened.empty() || fixtures::SetDacl(each.opened, fixtures::kAdministratorsOnly));
        EXPECT_EQ(before, fixtures::FileSnapshot(victim.Path()));
        EXPECT_EQ(storeBefore, fixtures::FileSnapshot(genuine.Root()));
    }
    fixtures::RemoveFolderLink(linkedApp + "\\UninstallManager");
    fixtures::RemoveFolderLink(linkedData);
    // Mended, the store is used again: the backup restores.
    CRestoreRun restore(genuine, name);
    std::string reason;
    ASSERT_TRUE(restore.Load(&reason)) << reason;
    EXPECT_EQ(1, restore.Run().restored);
    EXPECT_TRUE(fixtures::FileExists(saved));
}

}  // namespace

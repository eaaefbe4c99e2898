// A batch of uninstalls with real uninstallers (BatchChild copies): one after another,
// never two at once, in order; exit codes read (3010 restart needed, 1605 not
// installed, 1618 tried again); a command that cannot start passed over; stopped after
// the running one; a quiet uninstaller showing a window reported as waiting for the
// user and left to finish; Poll never holds the caller up. And the restore point
// before a batch, which Wine does not make.
#include "EntryFixtures.h"
#include "inventory/RestorePoint.h"
#include "inventory/UninstallBatch.h"
#include "inventory/UninstallChoice.h"

#include <algorithm>
#include <functional>

using namespace inventorytest;

namespace {

class UninstallBatchTest : public testing::Test {
protected:
    UninstallBatchTest() { SetEnvironmentVariableA("UM_BATCH_LOG", sharedLog.c_str()); }
    ~UninstallBatchTest() override { SetEnvironmentVariableA("UM_BATCH_LOG", nullptr); }

    // An entry whose uninstaller is a copy of BatchChild named name, run with arguments;
    // quiet: the entry names a quiet command (the same with /quiet).
    BatchProduct Product(const std::string& name, const std::string& arguments, bool quiet = false,
                         HKEY root = HKEY_LOCAL_MACHINE)
    {
        // The uninstaller notes its runs beside itself; the product's folder, which the
        // watch compares, is another.
        const std::string program = dir.Path() + "\\" + name + "\\" + name + ".exe";
        const std::string folder = dir.Path() + "\\" + name + "\\Data";
        EXPECT_TRUE(MakeDirs(folder) && CopyFileTo(BuiltChild(), program));
        std::map<std::string, std::string> texts = {{"UninstallString", "\"" + program + "\" " + arguments}};
        if (quiet)
            texts["QuietUninstallString"] = "\"" + program + "\" /quiet " + arguments;
        const std::string path = RegisterEntry(root, UniqueName("UmBatch" + name), texts);
        entries.emplace_back(root, path);
        const InstalledSoftwareEntry entry = LoadEntry(root, path);
        return {name, root, path, folder, ChooseUninstallCommand(entry, UNINSTALL_QUIET)};
    }
    std::string Log(const std::string& name) const { return ChildLog(dir.Path() + "\\" + name + "\\" + name + ".exe"); }

    // Polls the batch as a window's timer would until it is over (or a minute has
    // passed), calling during after each poll; the longest poll in milliseconds.
    double Run(CUninstallBatch& batch, const std::function<void()>& during = [] {})
    {
        double longest = 0;
        LARGE_INTEGER frequency, before, after;
        QueryPerformanceFrequency(&frequency);
        for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
            QueryPerformanceCounter(&before);
            const bool more = batch.Poll();
            QueryPerformanceCounter(&after);
            longest = std::max(longest, 1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart);
            if (!more)
                break;
            during();
            Sleep(20);
        }
        EXPECT_TRUE(batch.IsOver());
        return longest;
    }
    std::string SharedLog() const
    {
        std::string text;
        ReadFileText(sharedLog, &text);
        return text;
    }

    TempDir dir{"umbatch"};
    const std::string sharedLog = dir.Path() + "\\batch.log";
    struct Entries : std::vector<std::pair<HKEY, std::string>> {
        ~Entries()
        {
            for (const auto& [root, path] : *this)
                DeleteKeyTree(root, path);
        }
    } entries;
};

// Four uninstallers and one that is missing: each runs alone, in order, with the
// switches its kind takes; the missing one is passed over; each exit code says what
// became of its product.
TEST_F(UninstallBatchTest, RunsEachInTurnAndReadsTheirExitCodes)
{
    std::vector<BatchProduct> products = {
        Product("A", "/sleep:300 /exit:0", true), Product("B", "/sleep:300 /exit:3010"),
        Product("Gone", "/exit:0"), Product("C", "/sleep:300 /exit:1605"), Product("D", "/sleep:300 /exit:7")};
    ASSERT_TRUE(DeleteFileA((dir.Path() + "\\Gone\\Gone.exe").c_str()));
    CUninstallBatch batch(products);
    EXPECT_EQ(BATCH_WAITING, batch.Item(0).state);
    const double longestPoll = Run(batch, [&] {
        const int current = batch.Current();
        EXPECT_TRUE(current < 0 || batch.Item(current).state == BATCH_RUNNING);
    });
    const BatchState states[] = {BATCH_DONE, BATCH_RESTART_NEEDED, BATCH_NOT_STARTED, BATCH_NOT_INSTALLED,
                                 BATCH_FAILED};
    const DWORD codes[] = {0, 3010, 0, 1605, 7};
    for (size_t i = 0; i < batch.Count(); ++i) {
        SCOPED_TRACE(batch.Item(i).product.name);
        EXPECT_EQ(states[i], batch.Item(i).state);
        EXPECT_EQ(codes[i], batch.Item(i).exitCode);
        EXPECT_EQ(UNINSTALL_CANCELLED, batch.Item(i).outcome) << "the entry stays";
    }
    EXPECT_EQ(COMMAND_NOT_FOUND, batch.Item(2).start);
    EXPECT_EQ("start A.exe /quiet /sleep:300 /exit:0\r\nend A.exe\r\n"
              "start B.exe /sleep:300 /exit:3010\r\nend B.exe\r\n"
              "start C.exe /sleep:300 /exit:1605\r\nend C.exe\r\n"
              "start D.exe /sleep:300 /exit:7\r\nend D.exe\r\n",
              SharedLog());
    EXPECT_LT(longestPoll, 100.0) << "a poll held the window up";
    EXPECT_FALSE(batch.Poll());
    EXPECT_EQ(-1, batch.Current());
}

// Stopped while the second runs: it finishes, the others are never started.
TEST_F(UninstallBatchTest, StopEndsTheBatchAfterTheRunningProduct)
{
    CUninstallBatch batch({Product("A", "/sleep:200"), Product("B", "/sleep:500"), Product("C", ""),
                           Product("D", "")});
    Run(batch, [&] {
        if (batch.Current() == 1)
            batch.Stop();
    });
    const BatchState states[] = {BATCH_DONE, BATCH_DONE, BATCH_STOPPED, BATCH_STOPPED};
    for (size_t i = 0; i < batch.Count(); ++i)
        EXPECT_EQ(states[i], batch.Item(i).state) << i;
    EXPECT_EQ("", Log("C") + Log("D"));
    EXPECT_EQ("start A.exe /sleep:200\r\nend A.exe\r\nstart B.exe /sleep:500\r\nend B.exe\r\n", SharedLog());
}

// 1618: tried again after the delay, the next product waiting meanwhile; past the
// last retry it failed. Stopped while it waits, it is not tried again.
TEST_F(UninstallBatchTest, AnotherInstallationRunningIsTriedAgainUpToALimit)
{
    BatchLimits limits;
    limits.retryDelayMs = 300;
    limits.retries = 2;
    CUninstallBatch batch({Product("Once", "/busy:1"), Product("Always", "/busy:9"), Product("After", "")}, limits);
    Run(batch);
    EXPECT_EQ(BATCH_DONE, batch.Item(0).state);
    EXPECT_EQ(2, batch.Item(0).attempts);
    EXPECT_EQ(BATCH_FAILED, batch.Item(1).state);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_ALREADY_RUNNING), batch.Item(1).exitCode);
    EXPECT_EQ(3, batch.Item(1).attempts);
    EXPECT_EQ(BATCH_DONE, batch.Item(2).state);
    EXPECT_EQ("start Once.exe /busy:1\r\nend Once.exe\r\nstart Once.exe /busy:1\r\nend Once.exe\r\n"
              "start Always.exe /busy:9\r\nend Always.exe\r\nstart Always.exe /busy:9\r\nend Always.exe\r\n"
              "start Always.exe /busy:9\r\nend Always.exe\r\nstart After.exe \r\nend After.exe\r\n",
              SharedLog());

    CUninstallBatch stopped({Product("Waits", "/busy:9"), Product("Never", "")}, limits);
    Run(stopped, [&] {
        if (stopped.Item(0).state == BATCH_RETRY_WAIT)
            stopped.Stop();
    });
    EXPECT_EQ(BATCH_STOPPED, stopped.Item(0).state);
    EXPECT_EQ(1, stopped.Item(0).attempts);
    EXPECT_EQ(BATCH_STOPPED, stopped.Item(1).state);
    EXPECT_EQ("", Log("Never"));
}

// A quiet uninstaller that shows a window longer than the limit waits for the user: it
// is said so, and left to finish. An interactive one is expected to show windows.
TEST_F(UninstallBatchTest, AQuietUninstallerShowingAWindowWaitsForTheUser)
{
    BatchLimits limits;
    limits.userWaitMs = 300;
    CUninstallBatch batch({Product("Asks", "/window:1500", true), Product("Shows", "/window:1000"),
                           Product("Silent", "/sleep:1000", true)},
                          limits);
    bool waited[3] = {};
    Run(batch, [&] {
        const int current = batch.Current();
        if (current >= 0)
            waited[current] = waited[current] || batch.Item(current).waitingForUser;
    });
    EXPECT_TRUE(waited[0]);
    EXPECT_FALSE(waited[1]);
    EXPECT_FALSE(waited[2]);
    for (size_t i = 0; i < batch.Count(); ++i) {
        EXPECT_EQ(BATCH_DONE, batch.Item(i).state) << i;
        EXPECT_FALSE(batch.Item(i).waitingForUser) << i;
    }
    EXPECT_NE(std::string::npos, Log("Asks").find("end Asks.exe")) << "never killed";
}

// The listener hears of each product before it runs, and can stop the batch there.
// A user's entry runs as the desktop user, quiet command or not: with none, refused.
TEST_F(UninstallBatchTest, TheListenerHearsBeforeEachRunAndAUsersCommandNeedsTheDesktopUser)
{
    struct Listener : BatchListener {
        bool BeforeRun(size_t index, const BatchItem& item) override
        {
            told.push_back(item.product.name + (ChildLogOf(item).empty() ? "" : " ran before"));
            return index < 2;
        }
        static std::string ChildLogOf(const BatchItem& item)
        {
            return ChildLog(ParentFolder(item.product.folder) + "\\" + item.product.name + ".exe");
        }
        std::vector<std::string> told;
    } listener;
    CUninstallBatch batch({Product("User", "", true, HKEY_CURRENT_USER), Product("A", ""), Product("B", ""),
                           Product("C", "")});
    batch.SetListener(&listener);
    Run(batch);
    EXPECT_EQ((std::vector<std::string>{"User", "A", "B"}), listener.told);
    EXPECT_EQ(BATCH_NOT_STARTED, batch.Item(0).state);
    EXPECT_EQ(COMMAND_NO_DESKTOP_USER, batch.Item(0).start);
    EXPECT_EQ(QUIET_ENTRY, batch.Item(0).product.choice.kind);
    EXPECT_EQ(BATCH_DONE, batch.Item(1).state);
    EXPECT_EQ(BATCH_STOPPED, batch.Item(2).state);
    EXPECT_EQ(BATCH_STOPPED, batch.Item(3).state);
    EXPECT_TRUE(batch.StoppedByListener());
    EXPECT_EQ("start A.exe \r\nend A.exe\r\n", SharedLog());
}

// Where the system makes no restore point (Wine's library answers with a failure and
// no error) or has no library, it is unavailable; a library that makes one begins it
// and ends it once, kept or cancelled; one that is off is unavailable, one that
// refuses now is refused. The batch needs none of it.
TEST(RestorePointTest, CreatedWhereOfferedOtherwiseUnavailableOrRefused)
{
    EXPECT_EQ(RESTORE_POINT_UNAVAILABLE, CRestorePoint().Begin("UninstallManager"));
    EXPECT_EQ(RESTORE_POINT_UNAVAILABLE, CRestorePoint("C:\\nowhere").Begin("UninstallManager"));
    const std::string fake = JoinPath(ExecutableFolder(), "fake-restore");
    const struct {
        const char* answer;
        bool cancel;
        RestorePointResult result;
        const char* calls;
    } cases[] = {
        {"created", false, RESTORE_POINT_CREATED, "be"},
        {"created", true, RESTORE_POINT_CREATED, "bc"},
        {"disabled", false, RESTORE_POINT_UNAVAILABLE, "b"},
        {"busy", false, RESTORE_POINT_REFUSED, "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        SetEnvironmentVariableA("UM_FAKE_RESTORE", c.answer);
        SetEnvironmentVariableA("UM_FAKE_RESTORE_CALLS", "");
        {
            CRestorePoint point(fake);
            // 40 double-byte characters: 31 fit the 63 bytes it keeps, never half of one.
            std::string described, keptHex;
            for (int i = 0; i < 40; ++i) {
                described += "\xB2\xE2";
                keptHex += i < 31 ? "B2E2" : "";
            }
            EXPECT_EQ(c.result, point.Begin(described.c_str()));
            char kept[256] = "";
            GetEnvironmentVariableA("UM_FAKE_RESTORE_DESCRIPTION", kept, sizeof(kept));
            EXPECT_EQ(keptHex, kept);
            point.End(c.cancel);
            point.End(c.cancel);
        }
        char calls[64] = "";
        GetEnvironmentVariableA("UM_FAKE_RESTORE_CALLS", calls, sizeof(calls));
        EXPECT_STREQ(c.calls, calls);
    }
    SetEnvironmentVariableA("UM_FAKE_RESTORE", nullptr);
    SetEnvironmentVariableA("UM_FAKE_RESTORE_CALLS", nullptr);
}

}  // namespace

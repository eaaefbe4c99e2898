// The end-to-end fixture: the demo machine seeded once per suite (and taken away
// after it), the main window made anew for every test.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "DemoSeed.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "ui/MainDialog.h"

namespace e2e {

template <typename Base>
class DemoMachineWindow : public Base {
protected:
    static void SetUpTestSuite()
    {
        demo::RemoveDemoMachine();
        seeded = demo::SeedDemoMachine(demo::BuiltPayloadFolder(), &failedStep);
    }
    static void TearDownTestSuite() { demo::RemoveDemoMachine(); }
    void SetUp() override
    {
        ASSERT_TRUE(seeded) << failedStep;
        ASSERT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
        // The quick page reads the entries between messages.
        ASSERT_TRUE(apptest::PumpUntil([&] { return !dialog.quickPage.IsLoading(); }, 30000));
    }
    void TearDown() override
    {
        if (dialog.IsWindow())
            dialog.DestroyWindow();
    }

    static inline bool seeded = false;
    static inline std::string failedStep;
    CMainDialog dialog;
};

}  // namespace e2e

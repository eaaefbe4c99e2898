#include <gtest/gtest.h>
#include "inventory/InstalledSoftwareList.h"
TEST(Smoke, Runs) { CInstalledSoftwareList list; list.Reload(); EXPECT_GE(list.GetCount(), 0u); }

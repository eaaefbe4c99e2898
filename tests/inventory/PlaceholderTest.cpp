#include <gtest/gtest.h>
#include "inventory/InstalledSoftwareList.h"
// Replaced by the inventory suite.
TEST(InventoryPlaceholder, EmptyListWalk) { CInstalledSoftwareList list; int pos = 5; InstalledSoftwareEntry* e = nullptr; EXPECT_FALSE(list.GetFirst(pos, e)); EXPECT_EQ(pos, -1); }

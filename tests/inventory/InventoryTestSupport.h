// Helpers of the inventory suites: products written under the real Uninstall key,
// which each test sees emptied of everything but its own entries.
#pragma once
#include "inventory/InstalledSoftwareList.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <string>

namespace inventory_test {

inline std::string ProductPath(const std::string& subkey)
{
    return std::string(UNINSTALL_KEY_PATH) + "\\" + subkey;
}

// Width of a live icon; 0 for null or for a handle that is no longer an icon.
inline int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap = {};
    GetObjectA(info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

class InventoryTest : public testing::Test {
protected:
    // A product with both required values stored as plain strings.
    static void AddProduct(const std::string& subkey, const std::string& name, const std::string& command)
    {
        ASSERT_TRUE(fixtures::SetString(HKEY_LOCAL_MACHINE, ProductPath(subkey), "DisplayName", name));
        ASSERT_TRUE(fixtures::SetString(HKEY_LOCAL_MACHINE, ProductPath(subkey), "UninstallString", command));
    }
    static void SetText(const std::string& subkey, const std::string& value, const std::string& text,
                        DWORD type = REG_SZ)
    {
        ASSERT_TRUE(fixtures::SetString(HKEY_LOCAL_MACHINE, ProductPath(subkey), value, text, type));
    }
    static void SetRaw(const std::string& subkey, const std::string& value, DWORD type, const std::string& bytes)
    {
        ASSERT_TRUE(fixtures::SetValue(HKEY_LOCAL_MACHINE, ProductPath(subkey), value, type, bytes.data(),
                                       static_cast<DWORD>(bytes.size())));
    }

    // The loaded record of a subkey, or null when the subkey gave none.
    const InstalledSoftwareEntry* Find(const std::string& subkey) const
    {
        const std::string path = ProductPath(subkey);
        const InstalledSoftwareEntry* found = nullptr;
        for (int i = 0; list.GetAt(i); ++i) {
            if (path == list.GetAt(i)->keyPath) {
                EXPECT_EQ(found, nullptr) << "two records for " << subkey;
                found = list.GetAt(i);
            }
        }
        return found;
    }

    fixtures::ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH};
    CInstalledSoftwareList list;
};

}  // namespace inventory_test

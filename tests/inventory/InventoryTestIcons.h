// The inventory test program's own icons, which the tests read back from a copy of
// the program as a product's icon file, by position (in id order) and by id.
#pragma once

#define TEST_ICON_FIRST 128
#define TEST_ICON_SECOND 132
#define TEST_ICON_THIRD 133
#define TEST_ICON_FOURTH 138
#define TEST_ICON_BY_ID 139

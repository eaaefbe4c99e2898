#include "controls/PageButton.h"

CPageButton::CPageButton()
{
    themeClassList = L"BUTTON";
}

#include "ui/PageButton.h"

CPageButton::CPageButton()
{
    themeClassList = L"BUTTON";
}

// The push button of both pages: a styled button that paints the themed
// "BUTTON" class where it can and its own face otherwise.
#pragma once
#include "ui/StyledButton.h"

class CPageButton : public CStyledButton {
public:
    CPageButton();
};

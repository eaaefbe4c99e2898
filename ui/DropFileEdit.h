// The target field of the smart-uninstall page: an edit that also takes a file
// dragged from the shell (a shortcut is replaced by its target; only an existing
// regular file is accepted).
#pragma once
#include "framework/Static.h"

#include <shellapi.h>

class CDropFileEdit : public CEdit {
public:
    // While set, drops are refused (an analysis is running).
    void IgnoreDrops(bool ignore) { ignoringDrops = ignore; }

    // Takes the first dropped item; TRUE when the field's text changed.
    BOOL OnDropFiles(HDROP drop);

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool ignoringDrops = false;
};

// Helpers for the window tests: pumping, list-view reads, shell drops, mouse clicks.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace apptest {

// Dispatches every pending message of this thread.
void Pump();

std::string ItemText(HWND list, int row, int column);
int ItemImage(HWND list, int row);
bool ItemChecked(HWND list, int row);
int ItemCount(HWND list);
void SelectRow(HWND list, int row);
void SetChecked(HWND list, int row, bool checked);

// Sends WM_DROPFILES with the given paths, as the shell does.
void DropFiles(HWND target, const std::vector<std::string>& paths);

// Presses and releases the left mouse button at a client point of window.
void ClickAt(HWND window, int x, int y);

// Rectangle of window in the client coordinates of ancestor.
RECT RectIn(HWND window, HWND ancestor);

std::string WindowText(HWND window);

}  // namespace apptest

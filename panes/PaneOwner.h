#pragma once
// What the panes and the trace bar need from the window that holds them: the parent window
// for their controls and the shell's small-icon image list they draw from. The main window
// implements it; the ui tests implement it with a plain host window.
#include <windows.h>

#include <commctrl.h>

class IPaneOwner {
public:
    virtual HWND ownerWindow() const = 0;
    // Null when the owner has no image list: the controls then show no icons.
    virtual HIMAGELIST smallImageList() const = 0;
    virtual ~IPaneOwner() = default;
};

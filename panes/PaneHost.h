#pragma once
// What the file panes ask of the window that holds them, beyond a parent and icons: the
// requests a pane starts and the other panes it acts on. The main window implements it.
#include "common/CString.h"
#include "panes/PaneOwner.h"

class IPaneHost : public IPaneOwner {
public:
    // Lists a remote folder into the remote panes (logs on first when not connected).
    virtual void listRemoteDir(const CString& path) = 0;
    // Empties the remote file list.
    virtual void clearRemoteList() = 0;
    // Shows a local folder in the local file list.
    virtual void listLocalFolder(const CString& path) = 0;
};

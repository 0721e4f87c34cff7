#pragma once
// What the file panes ask of the window that holds them, beyond a parent and icons: the
// requests a pane starts and the other panes it acts on. The main window implements it.
#include "common/CString.h"
#include "panes/PaneOwner.h"

class IPaneHost : public IPaneOwner {
public:
    // Lists a remote folder into the remote panes (logs on first when not connected).
    virtual void listRemoteDir(const CString& path) = 0;
    // A control connection is up and logged on, as far as the window knows.
    virtual bool connected() const = 0;
    // Empties the remote file list.
    virtual void clearRemoteList() = 0;
    // Shows a local folder in the local file list.
    virtual void listLocalFolder(const CString& path) = 0;
    // The remote folder selected in the remote tree.
    virtual CString remoteFolder() const = 0;
    // Queues the upload of a local file into a remote folder (binary).
    virtual void uploadFile(const CString& localPath, const CString& remoteDir) = 0;
    // Queues the creation of a remote folder.
    virtual void makeRemoteDir(const CString& path) = 0;
    // Queues the upload of a local folder and everything below it into remoteBase/relative.
    virtual void uploadFolder(const CString& localPath, const CString& remoteBase,
                              const CString& relative) = 0;
};

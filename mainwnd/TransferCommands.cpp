// The main window's commands that move files and change the server's folders. Names go back to
// the server exactly as they were listed: "a.txt " and "a.txt" are two files.
#include "mainwnd/CMyMainWnd.h"

#include "accounts/Prompts.h"
#include "panes/LocalFolder.h"
#include "panes/TreePath.h"

namespace {
CString trimmed(CString text) {
    return text.Trim();
}
} // namespace

void CMyMainWnd::uploadFile(const CString& localPath, const CString& remoteDir) {
    m_queue.submit("TYPE", "I", "");
    m_queue.submit("STOR", localPath, remoteDir);
    schedulePump();
}

void CMyMainWnd::downloadFile(const CString& remotePath, const CString& localDir) {
    m_queue.submit("TYPE", "I", "");
    m_queue.submit("RETR", remotePath, localDir);
    schedulePump();
}

void CMyMainWnd::makeRemoteDir(const CString& path) {
    m_queue.submit("MKD", path, "");
    schedulePump();
}

void CMyMainWnd::uploadFolder(const CString& localPath, const CString& remoteBase,
                              const CString& relative) {
    m_leftTree.uploadFolder(localPath, remoteBase, relative);
}

void CMyMainWnd::sendToServer() {
    const CString localDir = trimmed(m_leftTree.getSelectedPath());
    const CString remoteDir = trimmed(m_rightTree.getSelectedPath());
    if (localDir.empty())
        return;
    for (int cursor = m_leftList.firstSelected(); cursor;) {
        const int row = m_leftList.nextSelected(cursor);
        const CString name = m_leftList.nameOf(row);
        if (m_leftList.getRecord(row).isDir)
            m_leftTree.uploadFolder(JoinLocalPath(localDir, name), remoteDir, name);
        else
            uploadFile(JoinLocalPath(localDir, name), remoteDir);
    }
    listRemoteDir(m_rightTree.getSelectedPath());
}

void CMyMainWnd::retrieveFromServer() {
    const CString localDir = trimmed(m_leftTree.getSelectedPath());
    const CString remoteDir = trimmed(m_rightTree.getSelectedPath());
    if (localDir.empty())
        return;
    for (int cursor = m_rightList.firstSelected(); cursor;) {
        const int row = m_rightList.nextSelected(cursor);
        if (!m_rightList.getRecord(row).isDir)
            downloadFile(JoinRemotePath(remoteDir, m_rightList.nameOf(row)), localDir);
    }
    m_queue.submit("UpdateLocalListCommand", localDir, "");
    schedulePump();
}

void CMyMainWnd::removeRemoteFiles() {
    const CString remoteDir = trimmed(m_rightTree.getSelectedPath());
    for (int cursor = m_rightList.firstSelected(); cursor;) {
        const int row = m_rightList.nextSelected(cursor);
        const CString path = JoinRemotePath(remoteDir, m_rightList.nameOf(row));
        m_queue.submit(m_rightList.getRecord(row).isDir ? "RMD" : "DELE", path, "");
    }
    listRemoteDir(m_rightTree.getSelectedPath());
}

void CMyMainWnd::createRemoteDir() {
    CGetNameDlg dialog;
    if (dialog.DoModal(m_hWnd) != IDOK)
        return;
    const CString name = trimmed(dialog.m_name);
    if (name.empty())
        return;
    makeRemoteDir(JoinRemotePath(m_rightTree.getSelectedPath(), name));
    listRemoteDir(m_rightTree.getSelectedPath());
}

void CMyMainWnd::deleteRemoteDir() {
    const CString path = m_rightTree.getSelectedPath();
    if (path.empty())
        return;
    const CString question = "Are you sure you want to delete the Directory\n" + path;
    if (MessageBoxA(m_hWnd, question.c_str(), "Warning", MB_YESNO) != IDYES)
        return;
    m_queue.submit("RMD", path, "");
    schedulePump();
    // The folder above is shown instead (its selection lists it).
    HTREEITEM parent = m_rightTree.getParent(m_rightTree.getSelection());
    if (parent)
        m_rightTree.selectItem(parent);
}

void CMyMainWnd::runSiteCommand(bool usingFile) {
    CSITECommandDlg dialog;
    if (usingFile) {
        const int first = m_rightList.firstSelected();
        dialog.m_command = first ? m_rightList.nameOf(first - 1) : CString();
    } else {
        dialog.m_command = m_rightTree.getSelectedPath();
    }
    if (dialog.DoModal(m_hWnd) != IDOK)
        return;
    m_queue.submit("SITE", trimmed(dialog.m_command), "");
    schedulePump();
}

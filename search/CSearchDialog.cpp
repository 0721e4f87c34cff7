#include "search/CSearchDialog.h"

#include "common/Files.h"
#include "engine/Command.h"
#include "mainwnd/CMyMainWnd.h"
#include "res/resource.h"
#include "search/SearchWalk.h"

#include <commctrl.h>

namespace {
// Delete mode: how often the dialog looks whether the queue has ended the walk without its
// last listing (a refused listing, an abort, a lost connection), which no refresh reports.
constexpr UINT_PTR kWalkTimer = 1;
constexpr UINT kWalkTimerMs = 250;
// Posted when the walk stops at a bound, so that the box is not opened from inside the
// engine's listing callback.
constexpr UINT WM_WALK_STOPPED = WM_APP + 1;

CString titleFor(const CString& root) {
    return "Remote Search for Folder " + root;
}
} // namespace

int CSearchDialog::templateId() const {
    return IDD_SEARCH;
}

INT_PTR CSearchDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        onInit();
        return TRUE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kWalkTimer && m_bDeleteMode && !m_bClosing && queueIdle() &&
            !m_main.m_search.complete())
            giveUp(m_main.m_search.stopped()
                       ? "The search stopped: " + m_main.m_search.m_stopReason + "."
                       : CString("Not every folder below it could be listed."));
        return TRUE;
    case WM_WALK_STOPPED:
        if (m_bClosing) {
            // told by the delete mode's own end
        } else if (m_bDeleteMode) {
            giveUp("The search stopped: " + m_main.m_search.m_stopReason + ".");
        } else {
            const CString text = "The search of " + m_root +
                                 " stopped: " + m_main.m_search.m_stopReason +
                                 ".\nThe list shows what was found up to there.";
            MessageBoxA(m_hWnd, text.c_str(), "Tarnwick", MB_OK | MB_ICONWARNING);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void CSearchDialog::onInit() {
    m_list.attach(GetDlgItem(m_hWnd, IDC_SEARCH_LIST));
    SendMessageA(m_list.window(), LVM_SETIMAGELIST, LVSIL_SMALL,
                 reinterpret_cast<LPARAM>(m_main.m_hSmallImages));
    m_list.insertColumn(0, "Name", LVCFMT_LEFT, 400, -1);
    SetWindowTextA(m_hWnd, titleFor(m_main.m_search.m_searchRoot).c_str());
    if (m_bDeleteMode)
        SetTimer(m_hWnd, kWalkTimer, kWalkTimerMs, nullptr);
    refreshList();
}

void CSearchDialog::onCommand(int id) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
        close(id);
        break; // Escape and the close box send IDCANCEL
    case IDC_SEARCH_DELETE:
        deleteSelected();
        break;
    case IDC_SEARCH_DOWNLOAD:
        downloadSelected();
        break;
    case IDC_SEARCH_REFRESH:
        restartSearch();
        break;
    default:
        break;
    }
}

void CSearchDialog::refreshList() {
    if (!m_hWnd)
        return;
    // Message boxes of the engine re-enable their owner when they close.
    EnableWindow(m_main.m_hWnd, FALSE);
    const CSearchWalk& walk = m_main.m_search;
    if (walk.m_searchRoot != m_root || walk.generation() != m_shownWalk ||
        walk.m_searchResults.size() < m_shown) {
        if (walk.m_searchRoot != m_root) {
            m_root = walk.m_searchRoot;
            SetWindowTextA(m_hWnd, titleFor(m_root).c_str());
        }
        m_list.deleteAllItems();
        m_shown = 0;
        m_shownWalk = walk.generation();
        m_stopToldOf = false;
    }
    // Results are only ever appended, so only the new ones become rows; inserting folders at
    // the top and files at the end gives the same order as a fill from scratch.
    SendMessageA(m_list.window(), WM_SETREDRAW, FALSE, 0);
    for (; m_shown < walk.m_searchResults.size(); ++m_shown) {
        const SearchResult& result = walk.m_searchResults[m_shown];
        CString text;
        if (!SearchRelativePath(m_root, result, text))
            continue;
        const int row = m_list.insertItem(result.isDir ? 0 : m_list.getItemCount(), text,
                                          iconOf(text, result.isDir));
        if (row >= 0)
            m_list.setItemData(row, static_cast<LPARAM>(m_shown));
    }
    SendMessageA(m_list.window(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list.window(), nullptr, TRUE);

    if (walk.stopped() && !m_stopToldOf) {
        m_stopToldOf = true;
        PostMessageA(m_hWnd, WM_WALK_STOPPED, 0, 0);
    }
    if (m_bDeleteMode && walk.complete()) {
        m_bDeleteMode = false;
        KillTimer(m_hWnd, kWalkTimer);
        m_list.selectAll();
        deleteSelected();
        close(IDOK);
    }
}

std::vector<size_t> CSearchDialog::selectedResults() const {
    std::vector<size_t> chosen;
    const CSearchWalk& walk = m_main.m_search;
    if (walk.generation() != m_shownWalk)
        return chosen; // the rows belong to a walk that is gone
    for (int cursor = m_list.firstSelected(); cursor;) {
        const size_t index = static_cast<size_t>(m_list.getItemData(m_list.nextSelected(cursor)));
        if (index < walk.m_searchResults.size())
            chosen.push_back(index);
    }
    return chosen;
}

// Not dependent on the local folder: deleting on the server has nothing to do with it.
void CSearchDialog::deleteSelected() {
    std::vector<SearchResult> chosen;
    for (size_t index : selectedResults())
        chosen.push_back(m_main.m_search.m_searchResults[index]);
    for (const SearchRequest& request : SearchDeleteOrder(chosen))
        m_main.m_queue.submit(request.name, request.path, "");
    m_main.listRemoteDir(m_main.m_rightTree.getSelectedPath());
}

void CSearchDialog::downloadSelected() {
    CString localDir = m_main.m_leftTree.getSelectedPath();
    localDir.Trim();
    CString refused;
    if (!localDir.empty()) {
        std::vector<SearchDownload> files;
        for (size_t index : selectedResults()) {
            SearchDownload plan =
                SearchDownloadPlan(m_root, m_main.m_search.m_searchResults[index], localDir);
            if (!plan.refused.empty()) {
                refused += plan.refused + "\n";
                continue;
            }
            // An existing folder stays as it is; one that cannot be made fails its downloads.
            for (const CString& folder : plan.folders)
                files::CreateFolder(folder);
            if (!plan.remotePath.empty())
                files.push_back(plan);
        }
        for (const SearchDownload& file : files)
            m_main.downloadFile(file.remotePath, file.localFolder);
    }
    m_main.m_queue.submit("UpdateLocalListCommand", localDir, "");
    if (!refused.empty())
        MessageBoxA(m_hWnd, refused.c_str(), "Tarnwick", MB_OK | MB_ICONWARNING);
}

void CSearchDialog::restartSearch() {
    m_bDeleteMode = false;
    KillTimer(m_hWnd, kWalkTimer);
    m_list.deleteAllItems();
    // The old walk ends here; its late listings bring no rows back.
    endWalk("a new search was started");
    m_shown = m_main.m_search.m_searchResults.size();
    m_stopToldOf = true;
    m_main.startRemoteSearch();
}

void CSearchDialog::close(INT_PTR result) {
    m_bClosing = true;
    KillTimer(m_hWnd, kWalkTimer);
    m_bDeleteMode = false;
    // Closed means done: folders still waiting are not listed into a dialog that pops up
    // again.
    endWalk("the search was closed");
    EndDialog(m_hWnd, result);
}

void CSearchDialog::giveUp(const CString& why) {
    m_bClosing = true;
    m_bDeleteMode = false;
    KillTimer(m_hWnd, kWalkTimer);
    const CString text = "Nothing was deleted in " + m_root + ".\n" + why;
    MessageBoxA(m_hWnd, text.c_str(), "Tarnwick", MB_OK | MB_ICONWARNING);
    close(IDCANCEL);
}

void CSearchDialog::endWalk(const CString& why) {
    m_main.m_search.stop(why);
    m_main.m_queue.dropPending(
        [](const CommandRecord& r) { return r.name == "TreeLIST" && r.arg2 == "Y"; });
}

bool CSearchDialog::queueIdle() const {
    const CCommand* current = m_main.m_queue.currentCommand();
    // Work saved at a lost connection comes back with the next log-on.
    return m_main.m_queue.pendingCount() == 0 && m_main.m_queue.saved().empty() &&
           (!current || current->getState() == CMD_FINISHED);
}

int CSearchDialog::iconOf(const CString& text, bool isDir) {
    const int dot = text.ReverseFind('.');
    const CString key = isDir ? CString("/") : dot > text.ReverseFind('/') ? text.Mid(dot) : "";
    auto known = m_icons.find(key);
    if (known != m_icons.end())
        return known->second;
    SHFILEINFOA info = {};
    SHGetFileInfoA(text.c_str(), isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info,
                   sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    m_icons[key] = info.iIcon;
    return info.iIcon;
}

// The program's resources as the program loads them: every dialog template opens through
// CMyBaseDialog::DoModal and lays out its controls without overlaps; Escape cannot press a
// button that acts; the manifest gets us common controls 6. Each dialog is also photographed
// into artifacts/dialog-<id>.png.
#include "accounts/CMyBaseDialog.h"
#include "res/resource.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace ui_test;

namespace {

// Any template, run through the program's dialog base.
class CTemplateView : public CMyBaseDialog {
public:
    explicit CTemplateView(int id) : m_id(id) {}
    int templateId() const override { return m_id; }
    INT_PTR dialogProc(HWND, UINT message, WPARAM, LPARAM) override {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }

private:
    int m_id;
};

const int kTemplates[] = {IDD_ABOUT,  IDD_ACCOUNT, IDD_GETNAME,    IDD_ACCOUNTS,
                          IDD_GETPASS, IDD_IMPORT,  IDD_EXPORT,     IDD_SEARCH,
                          IDD_SITECOMMAND,          IDD_GETUSERNAME};

RECT childRect(HWND dialog, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A tidy dialog: every control inside the client area, and no two controls overlapping.
void expectTidyLayout(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    for (size_t i = 0; i < children.size(); ++i) {
        RECT a = childRect(dialog, children[i]);
        EXPECT_TRUE(a.left >= client.left && a.top >= client.top && a.right <= client.right &&
                    a.bottom <= client.bottom)
            << "control " << GetDlgCtrlID(children[i]) << " leaves the dialog";
        for (size_t j = i + 1; j < children.size(); ++j) {
            RECT b = childRect(dialog, children[j]);
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &a, &b))
                << "controls " << GetDlgCtrlID(children[i]) << " and " << GetDlgCtrlID(children[j])
                << " overlap";
        }
    }
}

} // namespace

TEST(Resources, EveryDialogTemplateOpensTidily) {
    HostWindow host(900, 600, "Tarnwick2 - resources");
    for (int id : kTemplates) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        CTemplateView view(id);
        INT_PTR result = RunModal([&] { return view.DoModal(host.ownerWindow()); }, nullptr,
                                  [&](HWND dialog) {
                                      EXPECT_EQ(&view, CMyBaseDialog::fromHandle(dialog));
                                      expectTidyLayout(dialog);
                                      // Escape sends IDCANCEL: a button with that id must
                                      // only close the dialog.
                                      if (GetDlgItem(dialog, IDCANCEL)) {
                                          CString text = GetText(dialog, IDCANCEL);
                                          EXPECT_TRUE(text == "Cancel" || text == "Close")
                                              << text;
                                      }
                                      std::string name = "dialog-" + std::to_string(id) + ".png";
                                      EXPECT_TRUE(SaveScreenshot(dialog, name.c_str()));
                                      EndDialog(dialog, 77);
                                  });
        EXPECT_EQ(77, result);
    }
}

TEST(Resources, TheManifestGetsCommonControls6) {
    // The controls of this process come from the side-by-side assembly of version 6, not
    // from the system folder's version 5.
    HMODULE controls = GetModuleHandleA("comctl32.dll");
    ASSERT_TRUE(controls);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(controls, path, sizeof path);
    std::string loaded = path;
    for (char& ch : loaded)
        ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    EXPECT_NE(std::string::npos, loaded.find("microsoft.windows.common-controls")) << path;
    EXPECT_NE(std::string::npos, loaded.find("_6.0.")) << path;
}

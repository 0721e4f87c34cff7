// The program's resources as the program loads them: every dialog template opens through
// CMyBaseDialog::DoModal and lays out its controls without overlaps or cut texts; Escape
// cannot press a button that acts; password fields hide what is typed; every shortcut a menu
// shows works; the toolbar strip makes its buttons; the manifest gets us common controls 6.
// Each dialog is also photographed into artifacts/dialog-<id>.png.
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

LONG styleOf(HWND dialog, int id) {
    return GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE);
}

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

// Every label and button shows its whole text in the dialog's font: a label's text, wrapped
// at its width, fits its height; a button's or check box's single line fits its width.
void expectTextsFit(HWND dialog) {
    HDC dc = GetDC(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        CString text = GetText(dialog, GetDlgCtrlID(child));
        CString kind = ClassOf(child);
        if (text.empty() || (kind != "Static" && kind != "Button"))
            continue;
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        RECT box;
        GetClientRect(child, &box);
        RECT need = box;
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (kind == "Static") {
            DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            EXPECT_LE(need.bottom - need.top, box.bottom - box.top) << "label \"" << text << "\"";
        } else {
            DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
            // A check box's square and gap take about a line's height.
            int extra = (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? need.bottom - need.top + 4 : 4;
            EXPECT_LE(need.right - need.left + extra, box.right - box.left)
                << "button \"" << text << "\"";
        }
        SelectObject(dc, old);
    }
    ReleaseDC(dialog, dc);
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
                                      expectTextsFit(dialog);
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

TEST(Resources, PasswordFieldsHideWhatIsTyped) {
    HostWindow host;
    struct StyleCheck {
        int dialog;
        int control;
        LONG mask;
        LONG expected;
    };
    const StyleCheck checks[] = {
        {IDD_GETPASS, IDC_PROMPT_EDIT, ES_PASSWORD, ES_PASSWORD},
        {IDD_ACCOUNT, IDC_ACC_PASSWORD, ES_PASSWORD, ES_PASSWORD},
        {IDD_GETNAME, IDC_PROMPT_EDIT, ES_PASSWORD, 0},
    };
    for (const StyleCheck& check : checks) {
        CTemplateView view(check.dialog);
        RunModal([&] { return view.DoModal(host.ownerWindow()); }, nullptr,
                 [&](HWND dialog) {
                     EXPECT_EQ(check.expected, styleOf(dialog, check.control) & check.mask)
                         << "dialog " << check.dialog << " control " << check.control;
                     EndDialog(dialog, IDCANCEL);
                 });
    }
}

namespace {

// The items of a popup in order; separators as ("", 0).
std::vector<std::pair<CString, UINT>> itemsOf(HMENU popup) {
    std::vector<std::pair<CString, UINT>> items;
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(popup, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR)
            items.emplace_back(CString(), 0);
        else
            items.emplace_back(CString(text), info.wID);
    }
    return items;
}

// "Ctrl+F5" -> (FVIRTKEY | FCONTROL, VK_F5); "Ctrl+L" -> (FVIRTKEY | FCONTROL, 'L').
bool parseShortcut(CString text, BYTE& flags, WORD& key) {
    flags = FVIRTKEY;
    for (auto [prefix, flag] :
         {std::pair<const char*, BYTE>{"Ctrl+", FCONTROL}, {"Shift+", FSHIFT}}) {
        if (text.Find(prefix) == 0) {
            flags |= flag;
            text = text.Mid(static_cast<int>(strlen(prefix)));
        }
    }
    if (text.size() == 1) {
        key = static_cast<WORD>(text[0]);
        return true;
    }
    if (text.size() >= 2 && text[0] == 'F') {
        key = static_cast<WORD>(VK_F1 + atoi(text.c_str() + 1) - 1);
        return true;
    }
    return false;
}

} // namespace

TEST(Resources, MenuShortcutsMatchTheAcceleratorTable) {
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCEL));
    ASSERT_TRUE(table);
    std::vector<ACCEL> entries(32);
    entries.resize(CopyAcceleratorTableA(table, entries.data(), 32));
    DestroyAcceleratorTable(table);
    EXPECT_EQ(13u, entries.size());
    auto has = [&](BYTE flags, WORD key, WORD command) {
        for (const ACCEL& entry : entries) {
            if ((entry.fVirt & ~FNOINVERT) == flags && entry.key == key && entry.cmd == command)
                return true;
        }
        return false;
    };
    for (const ACCEL& entry : entries)
        EXPECT_TRUE(entry.fVirt & FNOINVERT) << "command " << entry.cmd << " flashes the menu";

    // Every shortcut a menu item shows is in the table, for that item's command.
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU));
    int shown = 0;
    for (int p = 0; p < GetMenuItemCount(menu); ++p) {
        for (const auto& [text, id] : itemsOf(GetSubMenu(menu, p))) {
            int tab = text.Find('\t');
            if (tab < 0)
                continue;
            BYTE flags = 0;
            WORD key = 0;
            ASSERT_TRUE(parseShortcut(text.Mid(tab + 1), flags, key)) << text;
            EXPECT_TRUE(has(flags, key, static_cast<WORD>(id))) << text;
            ++shown;
        }
    }
    DestroyMenu(menu);
    EXPECT_EQ(7, shown);
    // And the keys no menu shows.
    EXPECT_TRUE(has(FVIRTKEY | FCONTROL | FSHIFT, VK_RETURN, ID_RESUME));
    EXPECT_TRUE(has(FVIRTKEY | FCONTROL | FSHIFT, VK_ADD, ID_ACCEL_KEYPAD_PLUS));
    EXPECT_TRUE(has(FVIRTKEY | FCONTROL | FSHIFT, VK_SUBTRACT, ID_ACCEL_KEYPAD_MINUS));
    EXPECT_TRUE(has(FVIRTKEY, VK_F1, ID_HELP_OVERVIEW));
    EXPECT_TRUE(has(FALT, '/', ID_ACCEL_HELPKEY)); // characters, not virtual keys
    EXPECT_TRUE(has(FALT, '?', ID_ACCEL_HELPKEY));
}

TEST(Resources, ToolbarStripMakesEightButtonImages) {
    // A toolbar made from the strip the way the main window makes its own.
    HostWindow host(400, 60, "Tarnwick2 - toolbar");
    TBBUTTON buttons[TOOLBAR_IMAGE_COUNT] = {};
    for (int i = 0; i < TOOLBAR_IMAGE_COUNT; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = 100 + i;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    HWND toolbar = CreateToolbarEx(
        host.ownerWindow(), WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT, IDC_TOOLBAR,
        TOOLBAR_IMAGE_COUNT, GetModuleHandleA(nullptr), IDB_TOOLBAR, buttons, TOOLBAR_IMAGE_COUNT,
        0, 0, TOOLBAR_IMAGE_WIDTH, TOOLBAR_IMAGE_HEIGHT, sizeof(TBBUTTON));
    ASSERT_TRUE(toolbar);
    EXPECT_EQ(TOOLBAR_IMAGE_COUNT, SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_TRUE(images);
    EXPECT_EQ(TOOLBAR_IMAGE_COUNT, ImageList_GetImageCount(images));
    int width = 0;
    int height = 0;
    ImageList_GetIconSize(images, &width, &height);
    EXPECT_EQ(TOOLBAR_IMAGE_WIDTH, width);
    EXPECT_EQ(TOOLBAR_IMAGE_HEIGHT, height);
    EXPECT_TRUE(SaveScreenshot(host.ownerWindow(), "toolbar.png"));
}

TEST(Resources, ManifestAsksForCommonControls6AndDpiAwareness) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(found);
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string manifest(text, SizeofResource(module, found));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, manifest.find("PerMonitorV2, PerMonitor"));
    EXPECT_NE(std::string::npos, manifest.find("true/pm"));

    // And the loader honoured it: the controls of this process come from the side-by-side
    // assembly of version 6, not from the system folder's version 5.
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

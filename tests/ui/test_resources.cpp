// The program's resources as the program loads them: every dialog template opens through
// CMyBaseDialog::DoModal with its controls, titles and labels, and lays them out without
// overlaps; the menus, accelerators, strings, icon, toolbar strip and manifest are there.
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

struct Control {
    int id;
    const char* className;
    const char* text; // null: not checked
};

struct Template {
    int id;
    const char* title;
    std::vector<Control> controls;
    std::vector<const char*> labels;
};

const std::vector<Template>& templates() {
    static const std::vector<Template> all = {
        {IDD_ABOUT,
         "About Tarnwick",
         {{IDOK, "Button", "OK"},
          {IDC_ABOUT_ICON, "Static", nullptr},
          {IDC_ABOUT_VERSION, "Static", "Tarnwick Version 2.302"},
          {IDC_ABOUT_NOTICE, "Static", nullptr},
          {IDC_ABOUT_CONTACT, "Static", nullptr}},
         {}},
        {IDD_ACCOUNT,
         "Preferences",
         {{IDC_ACC_NAME, "Edit", nullptr},
          {IDC_ACC_SERVER, "Edit", nullptr},
          {IDC_ACC_PORT, "Edit", nullptr},
          {IDC_ACC_USER, "Edit", nullptr},
          {IDC_ACC_PASSWORD, "Edit", nullptr},
          {IDC_ACC_ANONYMOUS, "Button", "Anonymous"},
          {IDC_ACC_SAVEPASSWORD, "Button", "Save Password"},
          {IDC_ACC_PASV, "Button", "PASV mode"},
          {IDOK, "Button", "OK"},
          {IDCANCEL, "Button", "Cancel"}},
         {"Account", "Server Name", "Port", "User Name", "Password"}},
        {IDD_GETNAME,
         "Specify Name",
         {{IDC_PROMPT_EDIT, "Edit", nullptr},
          {IDOK, "Button", "OK"},
          {IDCANCEL, "Button", "Cancel"}},
         {"Directory Name"}},
        {IDD_ACCOUNTS,
         "Accounts",
         {{IDC_ACCOUNTS_LIST, "SysListView32", nullptr},
          {IDC_ACCOUNTS_ADD, "Button", "Add"},
          {IDC_ACCOUNTS_EDIT, "Button", "Edit"},
          {IDC_ACCOUNTS_DELETE, "Button", "Delete"},
          {IDC_ACCOUNTS_DEFAULT, "Button", "Set Default"},
          {IDC_ACCOUNTS_ANONNAME, "Edit", nullptr},
          {IDC_ACCOUNTS_IMPORT, "Button", "Import..."},
          {IDC_ACCOUNTS_EXPORT, "Button", "Export..."},
          {IDOK, "Button", "Close"}},
         {"Anonymous Connection Username"}},
        {IDD_GETPASS,
         "Enter Password",
         {{IDC_PROMPT_EDIT, "Edit", nullptr},
          {IDC_SAVE_PASSWORD, "Button", "Save Password"},
          {IDOK, "Button", "OK"},
          {IDCANCEL, "Button", "Cancel"}},
         {"Password"}},
        {IDD_IMPORT,
         "Import Accounts",
         {{IDC_IMPEXP_FILE, "Edit", nullptr},
          {IDC_IMPEXP_BROWSE, "Button", "..."},
          {IDOK, "Button", "Import"},
          {IDCANCEL, "Button", "Close"}},
         {"Filename"}},
        {IDD_EXPORT,
         "Export Accounts",
         {{IDC_IMPEXP_FILE, "Edit", nullptr},
          {IDC_IMPEXP_BROWSE, "Button", "..."},
          {IDC_EXPORT_PASSWORDS, "Button", "Include Passwords"},
          {IDOK, "Button", "Export"},
          {IDCANCEL, "Button", "Close"}},
         {"Filename"}},
        {IDD_SEARCH,
         "Search Results",
         {{IDC_SEARCH_LIST, "SysListView32", nullptr},
          {IDOK, "Button", "Close"},
          {IDC_SEARCH_DELETE, "Button", "Delete"},
          {IDC_SEARCH_DOWNLOAD, "Button", "Download"},
          {IDC_SEARCH_REFRESH, "Button", "Refresh"}},
         {}},
        {IDD_SITECOMMAND,
         "Enter SITE Parameters",
         {{IDC_PROMPT_EDIT, "Edit", nullptr},
          {IDOK, "Button", "OK"},
          {IDCANCEL, "Button", "Cancel"}},
         {"Command"}},
        {IDD_GETUSERNAME,
         "Enter Username",
         {{IDC_PROMPT_EDIT, "Edit", nullptr},
          {IDC_SAVE_USERNAME, "Button", "Save Username"},
          {IDOK, "Button", "OK"},
          {IDCANCEL, "Button", "Cancel"}},
         {"Username"}},
    };
    return all;
}

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

void checkTemplate(HWND dialog, const Template& t) {
    char title[256] = "";
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(t.title, title);
    for (const Control& c : t.controls) {
        HWND control = GetDlgItem(dialog, c.id);
        ASSERT_TRUE(control) << "control " << c.id << " is missing";
        EXPECT_EQ(CString(c.className), ClassOf(control)) << "control " << c.id;
        if (c.text) {
            EXPECT_EQ(CString(c.text), GetText(dialog, c.id)) << "control " << c.id;
        }
    }
    for (const char* label : t.labels)
        EXPECT_TRUE(FindChildByText(dialog, "Static", label)) << "label \"" << label << "\"";
    expectTidyLayout(dialog);
    expectTextsFit(dialog);
}

} // namespace

TEST(Resources, EveryDialogTemplateOpensWithItsControls) {
    HostWindow host(900, 600, "Tarnwick2 - resources");
    for (const Template& t : templates()) {
        SCOPED_TRACE("dialog " + std::to_string(t.id));
        CTemplateView view(t.id);
        INT_PTR result = RunModal([&] { return view.DoModal(host.ownerWindow()); }, t.title,
                                  [&](HWND dialog) {
                                      EXPECT_EQ(&view, CMyBaseDialog::fromHandle(dialog));
                                      checkTemplate(dialog, t);
                                      std::string name = "dialog-" + std::to_string(t.id) + ".png";
                                      EXPECT_TRUE(SaveScreenshot(dialog, name.c_str()));
                                      EndDialog(dialog, 77);
                                  });
        EXPECT_EQ(77, result);
    }
}

TEST(Resources, DialogStylesFitTheirUse) {
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
        {IDD_GETPASS, IDC_SAVE_PASSWORD, BS_TYPEMASK, BS_AUTOCHECKBOX},
        {IDD_GETUSERNAME, IDC_SAVE_USERNAME, BS_TYPEMASK, BS_AUTOCHECKBOX},
        {IDD_EXPORT, IDC_EXPORT_PASSWORDS, BS_TYPEMASK, BS_AUTOCHECKBOX},
        {IDD_ACCOUNT, IDC_ACC_PASV, BS_TYPEMASK, BS_AUTOCHECKBOX},
        {IDD_ACCOUNT, IDOK, BS_TYPEMASK, BS_DEFPUSHBUTTON},
        {IDD_ACCOUNTS, IDOK, BS_TYPEMASK, BS_DEFPUSHBUTTON},
        {IDD_SEARCH, IDOK, BS_TYPEMASK, BS_DEFPUSHBUTTON},
        {IDD_ACCOUNTS, IDC_ACCOUNTS_LIST, LVS_TYPEMASK | LVS_SINGLESEL, LVS_REPORT | LVS_SINGLESEL},
        {IDD_SEARCH, IDC_SEARCH_LIST, LVS_TYPEMASK | LVS_SINGLESEL, LVS_REPORT},
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

struct Item {
    const char* text; // null: a separator
    UINT id;
};

// The items of a popup in order; separators as {null, 0}.
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

void expectPopup(HMENU menu, int position, const char* title, const std::vector<Item>& expected) {
    SCOPED_TRACE(title);
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(title, text);
    HMENU popup = GetSubMenu(menu, position);
    ASSERT_TRUE(popup);
    auto items = itemsOf(popup);
    ASSERT_EQ(expected.size(), items.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(CString(expected[i].text ? expected[i].text : ""), items[i].first) << i;
        EXPECT_EQ(expected[i].id, items[i].second) << i;
    }
}

const Item kSeparator = {nullptr, 0};

} // namespace

TEST(Resources, MainMenuHasEveryCommand) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU));
    ASSERT_TRUE(menu);
    EXPECT_EQ(4, GetMenuItemCount(menu));
    expectPopup(menu, 0, "&File",
                {{"&Logon\tCtrl+L", ID_LOGON},
                 {"&Close Connection\tCtrl+Q", ID_CLOSE_CONNECTION},
                 kSeparator,
                 {"&Account Manager\tCtrl+A", ID_ACCOUNT_MANAGER},
                 kSeparator,
                 {"E&xit", ID_EXIT}});
    expectPopup(menu, 1, "FTP Actions",
                {{"&Send To Server", ID_SEND},
                 {"&Retrieve from Server", ID_RETRIEVE},
                 kSeparator,
                 {"Re&move Remote File", ID_REMOVE_FILE},
                 {"&Create Server Directory", ID_CREATE_DIR},
                 {"&Delete Server Directory", ID_DELETE_DIR},
                 kSeparator,
                 {"Execute SITE Command using Dir", ID_SITE_USING_DIR},
                 {"Execute SITE Command using File", ID_SITE_USING_FILE},
                 kSeparator,
                 {"&Abort Current Actions\tCtrl+X", ID_ABORT}});
    expectPopup(menu, 2, "&View",
                {{"Remote Search...\tCtrl+S", ID_REMOTE_SEARCH},
                 {"Refresh &Local List\tF5", ID_REFRESH_LOCAL},
                 {"Refresh Re&mote List\tCtrl+F5", ID_REFRESH_REMOTE},
                 kSeparator,
                 {"Clear Trace Bar", ID_CLEAR_TRACE}});
    expectPopup(menu, 3, "&Help",
                {{"Overview ...", ID_HELP_OVERVIEW},
                 {"Support Forums", ID_HELP_SUPPORT},
                 kSeparator,
                 {"&About Tarnwick2", ID_ABOUT}});
    DestroyMenu(menu);
}

TEST(Resources, ContextPopupsHaveTheirItems) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUPS));
    ASSERT_TRUE(menu);
    EXPECT_EQ(4, GetMenuItemCount(menu));
    expectPopup(menu, POPUP_LOCAL_LIST, "1",
                {{"Send To Server", ID_SEND},
                 kSeparator,
                 {"Abort Current Actions", ID_ABORT},
                 {"Close Connection", ID_CLOSE_CONNECTION}});
    expectPopup(menu, POPUP_REMOTE, "2",
                {{"Paste", ID_PASTE},
                 kSeparator,
                 {"Retrieve from Server", ID_RETRIEVE},
                 kSeparator,
                 {"Remove Remote File", ID_REMOVE_FILE},
                 {"Delete Server Directory", ID_DELETE_DIR},
                 {"Recursive Delete Server Directory", ID_RECURSIVE_DELETE},
                 kSeparator,
                 {"Create Server Directory", ID_CREATE_DIR},
                 {"Close Connection", ID_CLOSE_CONNECTION},
                 kSeparator,
                 {"Execute SITE Command using Dir", ID_SITE_USING_DIR},
                 {"Execute SITE Command using File", ID_SITE_USING_FILE},
                 kSeparator});
    expectPopup(menu, POPUP_TRACE, "3", {{"Clear", ID_CLEAR_TRACE}});
    expectPopup(menu, POPUP_ACCOUNTS, "4", {{"account", ID_ACCOUNT_FIRST}});
    DestroyMenu(menu);
}

namespace {

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

TEST(Resources, ToolbarCommandsHaveTooltipsAndSomeCommandsNoHelp) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    auto text = [&](UINT id) {
        char buffer[80] = "";
        LoadStringA(module, id, buffer, sizeof buffer);
        return CString(buffer);
    };
    EXPECT_EQ("Logon to Server", text(ID_LOGON));
    EXPECT_EQ("Retrieve files(s) from Server", text(ID_RETRIEVE));
    for (UINT id : {ID_CLOSE_CONNECTION, ID_SEND, ID_CREATE_DIR, ID_DELETE_DIR, ID_REMOVE_FILE,
                    ID_ABORT, ID_ACCOUNT_MANAGER, ID_REFRESH_LOCAL, ID_REFRESH_REMOTE, ID_PASTE,
                    ID_CLEAR_TRACE, ID_REMOTE_SEARCH, ID_ACCOUNT_FIRST, ID_ABOUT, ID_EXIT})
        EXPECT_FALSE(text(id).empty()) << id;
    // These show "Ready" in the status bar: they must have no text.
    for (UINT id : {ID_RECURSIVE_DELETE, ID_SITE_USING_DIR, ID_SITE_USING_FILE, ID_HELP_OVERVIEW,
                    ID_HELP_SUPPORT, ID_RESUME})
        EXPECT_EQ("", text(id)) << id;
}

TEST(Resources, ToolbarStripHasEightImagesOf16By15) {
    HBITMAP strip = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TOOLBAR));
    ASSERT_TRUE(strip);
    BITMAP info = {};
    ASSERT_TRUE(GetObjectA(strip, sizeof info, &info));
    EXPECT_EQ(TOOLBAR_IMAGE_COUNT * TOOLBAR_IMAGE_WIDTH, info.bmWidth);
    EXPECT_EQ(TOOLBAR_IMAGE_HEIGHT, info.bmHeight);
    EXPECT_EQ(8, TOOLBAR_IMAGE_COUNT);
    EXPECT_EQ(16, TOOLBAR_IMAGE_WIDTH);
    EXPECT_EQ(15, TOOLBAR_IMAGE_HEIGHT);
    DeleteObject(strip);
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

TEST(Resources, IconComesInSmallAndLargeSizes) {
    for (int size : {16, 32, 48}) {
        HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TARNWICK),
                                 IMAGE_ICON, size, size, 0);
        ASSERT_TRUE(icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(static_cast<HICON>(icon), &info));
        BITMAP colour = {};
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(size, colour.bmWidth);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(static_cast<HICON>(icon));
    }
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

// SPDX-License-Identifier: GPL-3.0-or-later
// BareDialog.cpp - the start-up benchmark's reference: a bare Win32 program
// with a window of the main window's size holding the same controls (a tab
// control and report lists with check boxes and grid lines), built straight
// on the SDK, shown, and closed by WM_CLOSE.

#include <windows.h>
#include <commctrl.h>

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeList(HWND parent, int x, int y, int width, int height)
{
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, x, y, width,
                                height, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES);
    const char* headings[] = {"Name", "Path", "Type", "State"};
    for (int column = 0; column < 4; ++column) {
        LVCOLUMNA info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH;
        info.cx = 100;
        info.pszText = const_cast<char*>(headings[column]);
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
    }
    for (int row = 0; row < 40; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>("C:\\");
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    return list;
}

}  // namespace

int main()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "OstraneReferenceDialog";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_APPWINDOW, windowClass.lpszClassName, "Ostrane reference",
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 740, 640, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    HWND tabs = CreateWindowExA(WS_EX_STATICEDGE, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE, 0, 90, 740, 520, window,
                                nullptr, windowClass.hInstance, nullptr);
    const char* titles[] = {"1", "2", "3", "4", "5"};
    for (int tab = 0; tab < 5; ++tab) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(titles[tab]);
        SendMessageA(tabs, TCM_INSERTITEMA, tab, reinterpret_cast<LPARAM>(&item));
    }
    for (int list = 0; list < 5; ++list)
        MakeList(tabs, 10 + list * 4, 30, 700, 470);
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Window.cpp - subclassing windows, their window procedure through the
// message tables, and the calls that other threads send to the window thread.

#include "fw/win32/Window.h"

#include "fw/Controls.h"
#include "fw/DefaultProcessing.h"

#include <algorithm>
#include <cstring>

namespace ostrane::fw {
namespace {

constexpr const char* kDataProperty = "Ostrane.WindowData";
constexpr const char* kCallWindowClass = "Ostrane.WindowThreadCalls";
constexpr UINT kRunMessage = WM_APP + 1;

DWORD g_windowThread = 0;
HWND g_callWindow = nullptr;

// A framework object of the control's class, for a window that no member
// control is bound to.
std::unique_ptr<CWnd> ObjectForClass(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, WC_BUTTONA) == 0)
        return std::make_unique<CButton>();
    if (lstrcmpiA(name, WC_EDITA) == 0)
        return std::make_unique<CEdit>();
    if (lstrcmpiA(name, WC_COMBOBOXA) == 0)
        return std::make_unique<CComboBox>();
    if (lstrcmpiA(name, WC_STATICA) == 0)
        return std::make_unique<CStatic>();
    if (lstrcmpiA(name, WC_LISTVIEWA) == 0)
        return std::make_unique<CListCtrl>();
    if (lstrcmpiA(name, WC_TABCONTROLA) == 0)
        return std::make_unique<CTabCtrl>();
    return std::make_unique<CWnd>();
}

// The entry of the object's message table for the message: commands and
// notifications by their control and code, the rest by the message alone.
const AFX_MSGMAP_ENTRY* EntryFor(CWnd* object, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (object == nullptr)
        return nullptr;
    switch (message) {
    case WM_COMMAND:
        return object->FindMessageEntry(message, HIWORD(wParam), LOWORD(wParam));
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return header ? object->FindMessageEntry(message, header->code, static_cast<UINT>(header->idFrom)) : nullptr;
    }
    default:
        return object->FindMessageEntry(message, 0, 0);
    }
}

// The window is going: whatever C++ object was attached outlives it and
// must no longer point at it.
void Release(HWND window, WindowData* data)
{
    if (data->object && data->object->m_hWnd == window)
        data->object->m_hWnd = nullptr;
    if (data->ownObject)
        data->ownObject->m_hWnd = nullptr;
    RemovePropA(window, kDataProperty);
    delete data;
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowData* data = DataOf(window);
    if (data == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    WNDPROC previous = data->previous;
    if (message == WM_NCDESTROY) {
        LRESULT result = CallWindowProcA(previous, window, message, wParam, lParam);
        Release(window, data);
        return result;
    }
    MessageInProgress inProgress(window, message, [=] {
        return CallWindowProcA(previous, window, message, wParam, lParam);
    });
    // Enter in a dialog without an OK button asks for IDOK all the same;
    // the dialogs here have none, and Enter ends nothing, as on Linux.
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && lParam == 0 && GetDlgItem(window, IDOK) == nullptr)
        return 0;
    const AFX_MSGMAP_ENTRY* entry = EntryFor(data->object, message, wParam, lParam);
    if (entry == nullptr)
        return inProgress.RunDefault();
    LRESULT result = 0;
    CallMessageHandler(data->object, *entry, wParam, lParam, &result);
    return result;
}

LRESULT CALLBACK CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRunMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

WindowData* DataOf(HWND window)
{
    return window ? static_cast<WindowData*>(GetPropA(window, kDataProperty)) : nullptr;
}

WindowData* Subclass(HWND window, CWnd* object)
{
    if (window == nullptr || !IsWindow(window))
        return nullptr;
    WindowData* data = DataOf(window);
    if (data == nullptr) {
        data = new WindowData;
        SetPropA(window, kDataProperty, data);
        data->previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcedure)));
    }
    if (object != nullptr) {
        data->object = object;
    } else if (data->object == nullptr) {
        data->ownObject = ObjectForClass(window);
        data->ownObject->m_hWnd = window;
        data->object = data->ownObject.get();
    }
    return data;
}

bool DispatchToMap(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    WindowData* data = DataOf(window);
    const AFX_MSGMAP_ENTRY* entry = data ? EntryFor(data->object, message, wParam, lParam) : nullptr;
    if (entry == nullptr)
        return false;
    CallMessageHandler(data->object, *entry, wParam, lParam, result);
    return true;
}

void BecomeWindowThread()
{
    if (g_windowThread != 0)
        return;
    g_windowThread = GetCurrentThreadId();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &CallWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kCallWindowClass;
    RegisterClassA(&windowClass);
    g_callWindow = CreateWindowExA(0, kCallWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
}

bool IsWindowThread()
{
    return g_windowThread == 0 || g_windowThread == GetCurrentThreadId();
}

void RunOnWindowThread(const std::function<void()>& f)
{
    if (IsWindowThread() || g_callWindow == nullptr) {
        f();
        return;
    }
    // A call to the window thread is a safe point of a suspended thread.
    platform::PauseIfSuspended();
    SendMessageA(g_callWindow, kRunMessage, 0, reinterpret_cast<LPARAM>(&f));
}

int CopyTextToBuffer(const CString& text, LPSTR buffer, int maxCount)
{
    if (buffer == nullptr || maxCount <= 0)
        return 0;
    // Whole characters of the code page only: a double-byte one is never cut.
    LPCSTR begin = text.GetString();
    int length = 0;
    for (LPCSTR next = begin; *next != '\0';) {
        next = CharNextA(next);
        if (next - begin > maxCount - 1)
            break;
        length = static_cast<int>(next - begin);
    }
    std::memcpy(buffer, text.GetString(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

}  // namespace ostrane::fw

// SPDX-License-Identifier: GPL-3.0-or-later
// Wnd.cpp - CWnd over the Qt widget behind its handle.

#include "fw/Wnd.h"

#include "fw/DefaultProcessing.h"
#include "fw/ModalResponder.h"
#include "fw/WinApp.h"
#include "fw/qt/Icons.h"
#include "fw/qt/Painting.h"
#include "fw/qt/Widgets.h"
#include "fw/qt/Window.h"
#include "platform/WinBase.h"
#include "platform/WinError.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <cstring>

using namespace ostrane::fw;

namespace {

QString TextOf(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    if (widget && widget->isWindow())
        return widget->windowTitle();
    return QString();
}

void SetTextOf(QWidget* widget, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->isEditable())
        combo->setEditText(text);
    else if (widget && widget->isWindow())
        widget->setWindowTitle(text);
}

LRESULT DefaultWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    QWidget* widget = WidgetOf(window);
    switch (message) {
    case WM_ICONERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(wParam), widget);
        return 1;
    case WM_SETICON: {
        HICON& slot = wParam == ICON_BIG ? window->bigIcon : window->smallIcon;
        HICON previous = slot;
        slot = reinterpret_cast<HICON>(lParam);
        QIcon combined;
        for (HICON icon : {window->bigIcon, window->smallIcon}) {
            if (icon == nullptr)
                continue;
            for (const QSize& size : icon->icon.availableSizes())
                combined.addPixmap(icon->icon.pixmap(size));
        }
        if (widget)
            widget->setWindowIcon(combined);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_CLOSE:
        if (widget)
            widget->close();
        return 0;
    default:
        return 0;
    }
}

}  // namespace

CWnd::~CWnd()
{
    if (m_hWnd != nullptr)
        DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND window)
{
    return window ? window->object : nullptr;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    return OnWindowThread([&] {
        if (window == nullptr || m_hWnd != nullptr || window->object != window->ownObject.get())
            return FALSE;
        window->object = this;
        m_hWnd = window;
        return TRUE;
    });
}

HWND CWnd::UnsubclassWindow()
{
    return OnWindowThread([&] {
        HWND window = m_hWnd;
        if (window && window->object == this)
            window->object = window->ownObject.get();
        m_hWnd = nullptr;
        return window;
    });
}

CWnd* CWnd::GetParent() const
{
    return OnWindowThread([&] { return FromHandle(ParentOf(m_hWnd)); });
}

CWnd* CWnd::GetDlgItem(int id) const
{
    return OnWindowThread([&]() -> CWnd* {
        QWidget* client = ClientOf(m_hWnd);
        if (client == nullptr)
            return nullptr;
        for (QObject* child : client->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            HWND handle = widget ? HandleOf(widget) : nullptr;
            if (handle && handle->id == id)
                return handle->object;
        }
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    });
}

int CWnd::GetDlgCtrlID() const
{
    return m_hWnd ? m_hWnd->id : 0;
}

void CWnd::SetWindowText(LPCSTR text)
{
    OnWindowThread([&] { SetTextOf(WidgetOf(m_hWnd), ToQString(text)); });
}

int CWnd::GetWindowText(LPSTR buffer, int maxCount) const
{
    CString text;
    GetWindowText(text);
    return CopyTextToBuffer(text, buffer, maxCount);
}

void CWnd::GetWindowText(CString& text) const
{
    text = OnWindowThread([&] { return FromQString(TextOf(WidgetOf(m_hWnd))); });
}

int CWnd::GetDlgItemText(int id, LPSTR buffer, int maxCount) const
{
    CWnd* item = GetDlgItem(id);
    if (item == nullptr) {
        CopyTextToBuffer(CString(), buffer, maxCount);
        return 0;
    }
    return item->GetWindowText(buffer, maxCount);
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    return OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        if (widget == nullptr)
            return FALSE;
        BOOL wasDisabled = widget->isEnabled() ? FALSE : TRUE;
        widget->setEnabled(enable != FALSE);
        return wasDisabled;
    });
}

BOOL CWnd::IsWindowEnabled() const
{
    return OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        return widget && widget->isEnabled() ? TRUE : FALSE;
    });
}

BOOL CWnd::ShowWindow(int command)
{
    return OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        if (widget == nullptr)
            return FALSE;
        BOOL wasVisible = widget->isHidden() ? FALSE : TRUE;
        switch (command) {
        case SW_HIDE:
            widget->hide();
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            widget->showMinimized();
            break;
        case SW_RESTORE:
            widget->showNormal();
            break;
        default:
            widget->show();
            break;
        }
        return wasVisible;
    });
}

BOOL CWnd::IsWindowVisible() const
{
    return OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        return widget && widget->isVisible() ? TRUE : FALSE;
    });
}

BOOL CWnd::IsIconic() const
{
    return OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        return widget && widget->isWindow() && widget->isMinimized() ? TRUE : FALSE;
    });
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL)
{
    OnWindowThread([&] {
        if (QWidget* widget = WidgetOf(m_hWnd))
            widget->setGeometry(x, y, width, height);
    });
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        if (widget == nullptr)
            return FALSE;
        if ((flags & SWP_NOMOVE) == 0)
            widget->move(x, y);
        if ((flags & SWP_NOSIZE) == 0)
            widget->resize(cx, cy);
        if ((flags & SWP_NOZORDER) == 0) {
            if (insertAfter == &wndTop)
                widget->raise();
            else if (insertAfter == &wndBottom)
                widget->lower();
            else if (QWidget* sibling = insertAfter ? WidgetOf(insertAfter->m_hWnd) : nullptr)
                widget->stackUnder(sibling);
        }
        if (flags & SWP_SHOWWINDOW)
            widget->show();
        if (flags & SWP_HIDEWINDOW)
            widget->hide();
        return TRUE;
    });
}

void CWnd::GetClientRect(LPRECT rect) const
{
    *rect = OnWindowThread([&] {
        QWidget* client = ClientOf(m_hWnd);
        if (client == nullptr)
            return RECT{0, 0, 0, 0};
        // A framed control's client area lies inside its frame (a list's border).
        auto* frame = qobject_cast<QFrame*>(client);
        return ToRect(QRect(QPoint(0, 0), frame ? frame->contentsRect().size() : client->size()));
    });
}

void CWnd::GetWindowRect(LPRECT rect) const
{
    *rect = OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        if (widget == nullptr)
            return RECT{0, 0, 0, 0};
        return ToRect(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
    });
}

void CWnd::ScreenToClient(LPPOINT point) const
{
    OnWindowThread([&] {
        if (QWidget* client = ClientOf(m_hWnd)) {
            QPoint local = client->mapFromGlobal(QPoint(point->x, point->y));
            *point = POINT{local.x(), local.y()};
        }
    });
}

DWORD CWnd::GetStyle() const
{
    return OnWindowThread([&]() -> DWORD {
        QWidget* widget = WidgetOf(m_hWnd);
        if (widget == nullptr)
            return 0;
        DWORD style = m_hWnd->style & ~(WS_VISIBLE | WS_DISABLED);
        if (!widget->isHidden())
            style |= WS_VISIBLE;
        if (!widget->isEnabled())
            style |= WS_DISABLED;
        return style;
    });
}

DWORD CWnd::GetExStyle() const
{
    return m_hWnd ? m_hWnd->exStyle : 0;
}

void CWnd::Invalidate(BOOL)
{
    OnWindowThread([&] {
        if (QWidget* widget = WidgetOf(m_hWnd))
            widget->update();
    });
}

void CWnd::UpdateWindow()
{
    OnWindowThread([&] {
        if (QWidget* widget = WidgetOf(m_hWnd))
            widget->repaint();
    });
}

HICON CWnd::GetIcon(BOOL bigIcon) const
{
    return OnWindowThread([&]() -> HICON {
        if (m_hWnd == nullptr)
            return nullptr;
        return bigIcon ? m_hWnd->bigIcon : m_hWnd->smallIcon;
    });
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return OnWindowThread([&]() -> LRESULT {
        HWND window = m_hWnd;
        if (window == nullptr)
            return 0;
        return HandleWithDefault(window, message, wParam, lParam, [window, message, wParam, lParam] {
            return DefaultWindowProcedure(window, message, wParam, lParam);
        });
    });
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type)
{
    return OnWindowThread([&] {
        MessageBoxRequest request{m_hWnd, CString(text), CString(caption ? caption : AfxGetAppName()), type};
        return AfxGetModalResponder().ShowMessageBox(request);
    });
}

namespace {

// A window's timers are children of its window data, told apart by their id.
constexpr const char* kTimerIdProperty = "ostraneTimerId";

QTimer* TimerOf(HWND window, UINT_PTR id)
{
    for (QTimer* timer : window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (timer->property(kTimerIdProperty).toULongLong() == id)
            return timer;
    }
    return nullptr;
}

}  // namespace

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse)
{
    return OnWindowThread([&]() -> UINT_PTR {
        HWND window = m_hWnd;
        if (window == nullptr)
            return 0;
        QTimer* timer = TimerOf(window, id);
        if (timer == nullptr) {
            timer = new QTimer(window);
            timer->setProperty(kTimerIdProperty, QVariant::fromValue<qulonglong>(id));
            QObject::connect(timer, &QTimer::timeout, window, [window, id] {
                LRESULT ignored = 0;
                DispatchToMap(window, WM_TIMER, id, 0, &ignored);
            });
        }
        // Windows never fires a timer more often than every 10 ms.
        timer->start(static_cast<int>(std::clamp<UINT>(elapse, 10, INT_MAX)));
        return id;
    });
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    return OnWindowThread([&] {
        QTimer* timer = m_hWnd ? TimerOf(m_hWnd, id) : nullptr;
        delete timer;
        return timer != nullptr ? TRUE : FALSE;
    });
}

BOOL CWnd::DestroyWindow()
{
    return OnWindowThread([&] {
        QWidget* widget = WidgetOf(m_hWnd);
        if (widget == nullptr) {
            m_hWnd = nullptr;
            return FALSE;
        }
        delete widget;
        m_hWnd = nullptr;
        return TRUE;
    });
}

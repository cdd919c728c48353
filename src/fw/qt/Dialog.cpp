// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog.cpp - CDialog: windows from templates, modal runs, data exchange.

#include "fw/Dialog.h"

#include "fw/WinApp.h"
#include "fw/qt/Widgets.h"
#include "fw/qt/Window.h"
#include "platform/ResourceTable.h"
#include "platform/WinBase.h"
#include "platform/WinError.h"

using namespace ostrane::fw;

namespace {

const ostrane::resources::DialogTemplate* FindDialogTemplate(UINT id)
{
    HRSRC resource = FindResourceA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(id)), RT_DIALOG);
    if (resource == nullptr)
        return nullptr;
    return static_cast<const ostrane::resources::DialogTemplate*>(
        LockResource(LoadResource(AfxGetInstanceHandle(), resource)));
}

// A popup dialog is owned by the given window or, without one, by the
// application's main window.
QWidget* OwnerWidget(CWnd* parent)
{
    CWnd* owner = parent ? parent : AfxGetMainWnd();
    QWidget* widget = owner ? WidgetOf(owner->m_hWnd) : nullptr;
    return widget ? widget->window() : nullptr;
}

DialogWidget* DialogWidgetOf(HWND window)
{
    return dynamic_cast<DialogWidget*>(WidgetOf(window));
}

}  // namespace

const AFX_MSGMAP* CDialog::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CWnd::GetMessageMap());
    return &map;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    if (parent != nullptr)
        m_pParentWnd = parent;
    return OnWindowThread([&] {
        const auto* dialogTemplate = FindDialogTemplate(m_templateId);
        if (dialogTemplate == nullptr || m_hWnd != nullptr)
            return FALSE;
        bool child = (dialogTemplate->style & WS_CHILD) != 0;
        QWidget* parentWidget = child ? ClientOf(m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr)
                                      : OwnerWidget(m_pParentWnd);
        if (child && parentWidget == nullptr)
            return FALSE;
        if (CreateDialogWindow(*dialogTemplate, parentWidget, this) == nullptr)
            return FALSE;
        OnInitDialog();
        if (m_hWnd != nullptr && (dialogTemplate->style & WS_VISIBLE))
            WidgetOf(m_hWnd)->show();
        return m_hWnd != nullptr ? TRUE : FALSE;
    });
}

INT_PTR CDialog::DoModal()
{
    return OnWindowThread([&]() -> INT_PTR {
        const auto* dialogTemplate = FindDialogTemplate(m_templateId);
        if (dialogTemplate == nullptr || CreateDialogWindow(*dialogTemplate, OwnerWidget(m_pParentWnd), this) == nullptr)
            return -1;
        DialogWidget* widget = DialogWidgetOf(m_hWnd);
        widget->setModal(true);
        OnInitDialog();
        INT_PTR result = IDCANCEL;
        if (m_hWnd != nullptr)
            result = widget->exec();
        DestroyWindow();
        return result;
    });
}

void CDialog::EndDialog(int result)
{
    OnWindowThread([&] {
        if (DialogWidget* widget = DialogWidgetOf(m_hWnd))
            widget->EndWith(result);
    });
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Controls.cpp - buttons, edits and combo boxes over their Qt widgets.

#include "fw/Controls.h"

#include "fw/qt/Widgets.h"
#include "fw/qt/Window.h"

#include <QAbstractButton>
#include <QLineEdit>

using namespace ostrane::fw;

namespace {

ComboBoxWidget* ComboOf(HWND window)
{
    return dynamic_cast<ComboBoxWidget*>(WidgetOf(window));
}

}  // namespace

int CButton::GetCheck() const
{
    return OnWindowThread([&] {
        auto* button = qobject_cast<QAbstractButton*>(WidgetOf(m_hWnd));
        return button && button->isChecked() ? 1 : 0;
    });
}

void CButton::SetCheck(int check)
{
    OnWindowThread([&] {
        if (auto* button = qobject_cast<QAbstractButton*>(WidgetOf(m_hWnd)); button && button->isCheckable())
            button->setChecked(check != 0);
    });
}

BOOL CEdit::SetReadOnly(BOOL readOnly)
{
    return OnWindowThread([&] {
        auto* edit = qobject_cast<QLineEdit*>(WidgetOf(m_hWnd));
        if (edit == nullptr)
            return FALSE;
        edit->setReadOnly(readOnly != FALSE);
        return TRUE;
    });
}

int CComboBox::AddString(LPCSTR text)
{
    return OnWindowThread([&] {
        ComboBoxWidget* combo = ComboOf(m_hWnd);
        if (combo == nullptr)
            return CB_ERR;
        QString item = ToQString(text);
        int index = combo->count();
        if (combo->IsSorted()) {
            // Sorted as the system sorts a combo box: without regard to case.
            index = 0;
            while (index < combo->count() && combo->itemText(index).compare(item, Qt::CaseInsensitive) <= 0)
                ++index;
        }
        int current = combo->currentIndex();
        combo->insertItem(index, item);
        // Inserting never changes which item is chosen (none, at first).
        combo->setCurrentIndex(current >= index ? current + 1 : current);
        return index;
    });
}

int CComboBox::GetCount() const
{
    return OnWindowThread([&] {
        ComboBoxWidget* combo = ComboOf(m_hWnd);
        return combo ? combo->count() : CB_ERR;
    });
}

int CComboBox::GetCurSel() const
{
    return OnWindowThread([&] {
        ComboBoxWidget* combo = ComboOf(m_hWnd);
        return combo ? combo->currentIndex() : CB_ERR;
    });
}

int CComboBox::SetCurSel(int index)
{
    return OnWindowThread([&] {
        ComboBoxWidget* combo = ComboOf(m_hWnd);
        if (combo == nullptr || index >= combo->count())
            return CB_ERR;
        combo->setCurrentIndex(index < 0 ? -1 : index);
        return index < 0 ? CB_ERR : index;
    });
}

void CComboBox::GetLBText(int index, CString& text) const
{
    text = OnWindowThread([&] {
        ComboBoxWidget* combo = ComboOf(m_hWnd);
        return combo ? FromQString(combo->itemText(index)) : CString();
    });
}

void CComboBox::ResetContent()
{
    OnWindowThread([&] {
        if (ComboBoxWidget* combo = ComboOf(m_hWnd))
            combo->clear();
    });
}

void CComboBox::ShowDropDown(BOOL show)
{
    OnWindowThread([&] {
        if (ComboBoxWidget* combo = ComboOf(m_hWnd)) {
            if (show)
                combo->showPopup();
            else
                combo->hidePopup();
        }
    });
}

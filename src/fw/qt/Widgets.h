// SPDX-License-Identifier: GPL-3.0-or-later
// Widgets.h - the Qt widgets that stand for dialogs and simple controls, and
// the creation of a dialog's windows from its template.
#pragma once

#include "platform/ResourceTable.h"
#include "platform/WinTypes.h"

#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QSize>

class CWnd;

namespace ostrane::fw {

class DialogWidget : public QDialog {
public:
    DialogWidget(QWidget* parent, bool child);

    bool IsChild() const { return m_child; }

    // Ends the modal run (or hides a modeless dialog) with the result.
    void EndWith(int result);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    void accept() override;

private:
    bool m_child;
};

class ComboBoxWidget : public QComboBox {
public:
    ComboBoxWidget(QWidget* parent, DWORD style);

    bool IsSorted() const { return m_sorted; }
    void hidePopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_sorted;
    int m_taking = -1;  // the list item the user is taking, while that input is handled
};

// Dialog base units of a font: the average width of the Latin letters and
// the character height, in pixels, from which dialog units are converted.
QSize DialogBaseUnits(const QFont& font);
QFont TemplateFont(const resources::DialogTemplate& dialogTemplate);
QRect DialogUnitsToPixels(const QSize& baseUnits, int x, int y, int cx, int cy);

// Builds the dialog's window and its controls from the template; returns the
// dialog's handle, or nullptr when a control could not be made.
HWND CreateDialogWindow(const resources::DialogTemplate& dialogTemplate, QWidget* parent, CWnd* owner);

}  // namespace ostrane::fw

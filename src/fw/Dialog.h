// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog.h - CDialog and dialog data exchange.
//
// A dialog is built from its template in the program's resources: controls,
// texts, styles and positions in dialog units, converted to pixels from the
// template font's character size as Windows does.
#pragma once

#include "fw/Wnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    // Runs the dialog modally; returns the value given to EndDialog, or -1
    // when the window could not be created.
    virtual INT_PTR DoModal();

    // Creates the dialog's window without running it: a child of the parent
    // for a child template, a top-level window otherwise.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);

    void EndDialog(int result);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    virtual BOOL OnInitDialog();

    // Handlers of the dialog's OK and Cancel commands (Enter and Esc in a
    // modal dialog, the close box). Both end the dialog.
    virtual void OnOK();
    virtual void OnCancel();

    UINT GetTemplateId() const { return m_templateId; }

protected:
    virtual void DoDataExchange(CDataExchange* dx);

private:
    UINT m_templateId;
    CWnd* m_pParentWnd;
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds a member control to the dialog's control with the given id, the
// first time the data is exchanged.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

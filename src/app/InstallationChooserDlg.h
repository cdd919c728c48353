// SPDX-License-Identifier: GPL-3.0-or-later
// InstallationChooserDlg.h - CInstallationChooserDlg: at start-up with
// --windows auto, lets the user choose among the Windows installations
// found mounted.
#pragma once

#include "fw/Afx.h"
#include "platform/WindowsInstallation.h"
#include "resource.h"

#include <vector>

class CInstallationChooserDlg : public CDialog {
public:
    enum { IDD = IDD_CHOOSE_INSTALLATION };

    explicit CInstallationChooserDlg(const std::vector<ostrane::platform::MountedWindowsInstallation>& installations,
                                     CWnd* parent = nullptr);
    ~CInstallationChooserDlg() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    // The directory chosen; empty until the user confirms a choice.
    const CString& GetChosenDirectory() const { return m_strChosen; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    std::vector<ostrane::platform::MountedWindowsInstallation> m_installations;
    CListCtrl m_listInstallations;
    CString m_strChosen;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// UsbToolsPage.h - CUsbToolsPage, the first tab: drive immunity, USB storage,
// autoplay and forced eject.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CUsbToolsPage : public CDialog {
public:
    enum { IDD = IDD_USB_TOOLS_PAGE };

    explicit CUsbToolsPage(CWnd* parent = nullptr);
    ~CUsbToolsPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    // 1 when both driver information files are present (storage enabled).
    int IsUsbStorageEnabled();
    // 1 when the autoplay policy value is 255 (autoplay off for every drive).
    int IsAutoplayDisabled();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnSelectAll();
    void OnInvertSelection();
    void OnImmunize();
    void OnRemoveImmunity();
    void OnToggleUsbStorage();
    void OnToggleAutoplay();
    void OnForceEject();

private:
    void InitDriveList();
    void FillDriveList();
    void ShowDescription(int controlId, UINT stringId);
    void ShowUsbStorageState(int enabled);
    void ShowAutoplayState(int disabled);

    void ApplyToCheckedDrives(void (CUsbToolsPage::*action)(LPCSTR root), LPCSTR stateText);
    void ImmunizeDrive(LPCSTR root);
    void RemoveDriveImmunity(LPCSTR root);

    void SetUsbStoragePolicy(DWORD writeProtect, DWORD start);
    void DeleteUsbStorFiles();
    void RestoreUsbStorFiles();
    void RestoreUsbStorFile(WORD resourceId, LPCSTR resourceType, LPCSTR pathFormat);

    // TRUE when the value was written; a failure has been shown.
    BOOL SetAutoplayPolicy(DWORD value);

    CString m_strFilePath;
    CButton m_btnAutoplay;
    CButton m_btnUsbStorage;
    CListCtrl m_listDrives;
};

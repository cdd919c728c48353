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

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

private:
    void ShowDescription(int controlId, UINT stringId);

    CButton m_btnAutoplay;
    CButton m_btnUsbStorage;
    CListCtrl m_listDrives;
};

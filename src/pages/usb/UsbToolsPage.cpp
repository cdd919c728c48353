// UsbToolsPage.cpp - the USB tools page and its descriptions.

#include "pages/usb/UsbToolsPage.h"

CUsbToolsPage::CUsbToolsPage(CWnd* parent) : CDialog(IDD, parent) {}

CUsbToolsPage::~CUsbToolsPage() = default;

const AFX_MSGMAP* CUsbToolsPage::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap());
    return &map;
}

void CUsbToolsPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_AUTOPLAY_TOGGLE, m_btnAutoplay);
    DDX_Control(dx, IDC_USB_STORAGE_TOGGLE, m_btnUsbStorage);
    DDX_Control(dx, IDC_DRIVE_LIST, m_listDrives);
}

BOOL CUsbToolsPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    ShowDescription(IDC_IMMUNITY_TEXT, IDS_IMMUNITY_DESCRIPTION);
    ShowDescription(IDC_USB_STORAGE_TEXT, IDS_USB_STORAGE_DESCRIPTION);
    ShowDescription(IDC_AUTOPLAY_TEXT, IDS_AUTOPLAY_DESCRIPTION);
    ShowDescription(IDC_FORCE_EJECT_TEXT, IDS_FORCE_EJECT_DESCRIPTION);
    return TRUE;
}

void CUsbToolsPage::ShowDescription(int controlId, UINT stringId)
{
    char text[AnsiCapacity(255)];
    LoadStringA(AfxGetInstanceHandle(), stringId, text, sizeof text);
    SetDlgItemText(controlId, text);
}

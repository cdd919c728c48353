// ScanPage.cpp - the scan page.

#include "pages/scan/ScanPage.h"

CScanPage::CScanPage(CWnd* parent) : CDialog(IDD, parent) {}

CScanPage::~CScanPage() = default;

const AFX_MSGMAP* CScanPage::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap());
    return &map;
}

void CScanPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_KILL, m_btnKill);
    DDX_Control(dx, IDC_SCAN_RANGE, m_cmbRange);
    DDX_Control(dx, IDC_SCAN, m_btnScan);
    DDX_Control(dx, IDC_SCAN_RESULTS, m_listResult);
}

// IfeoPage.cpp - the system repair page.

#include "pages/repair/IfeoPage.h"

CIfeoPage::CIfeoPage(CWnd* parent) : CDialog(IDD, parent) {}

CIfeoPage::~CIfeoPage() = default;

const AFX_MSGMAP* CIfeoPage::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap());
    return &map;
}

void CIfeoPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_IFEO_LIST, m_listIfeo);
}

BOOL CIfeoPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    char description[AnsiCapacity(255)];
    LoadStringA(AfxGetInstanceHandle(), IDS_IFEO_DESCRIPTION, description, sizeof description);
    SetDlgItemText(IDC_IFEO_DESCRIPTION, description);
    return TRUE;
}

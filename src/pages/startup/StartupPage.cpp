// StartupPage.cpp - the startup manager page.

#include "pages/startup/StartupPage.h"

CStartupPage::CStartupPage(CWnd* parent) : CDialog(IDD, parent) {}

CStartupPage::~CStartupPage() = default;

const AFX_MSGMAP* CStartupPage::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap());
    return &map;
}

void CStartupPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_RUN_LIST, m_listRun);
}

// ProcessPage.cpp - the process manager page.

#include "pages/process/ProcessPage.h"

CProcessPage::CProcessPage(CWnd* parent) : CDialog(IDD, parent) {}

CProcessPage::~CProcessPage() = default;

const AFX_MSGMAP* CProcessPage::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap());
    return &map;
}

void CProcessPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_MODULE_LIST, m_listModules);
    DDX_Control(dx, IDC_PROCESS_LIST, m_listProcesses);
}

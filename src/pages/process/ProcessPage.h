// ProcessPage.h - CProcessPage, the second tab: processes and their modules.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CProcessPage : public CDialog {
public:
    enum { IDD = IDD_PROCESS_PAGE };

    explicit CProcessPage(CWnd* parent = nullptr);
    ~CProcessPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange* dx) override;

private:
    CListCtrl m_listModules;
    CListCtrl m_listProcesses;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// ProcessPage.h - CProcessPage, the second tab: processes and their modules;
// ends, freezes and thaws the selected process.
#pragma once

#include "fw/Afx.h"
#include "resource.h"

class CProcessPage : public CDialog {
public:
    enum { IDD = IDD_PROCESS_PAGE };

    explicit CProcessPage(CWnd* parent = nullptr);
    ~CProcessPage() override;

    const AFX_MSGMAP* GetMessageMap() const override;

    void InitProcessLists();
    void FillProcessList();
    void FillModuleList(DWORD pid);
    // The selected row of the process list, or -1.
    int GetSelectedRow();
    // Suspends (TRUE) or resumes (FALSE) each thread of the process once.
    BOOL SetProcessSuspended(BOOL suspend, DWORD pid);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnClickProcessList(NMHDR* header, LRESULT* result);
    void OnFreezeProcess();
    void OnThawProcess();
    void OnEndProcess();
    void OnRefreshProcesses();

private:
    // The texts of a row's frozen mark, compared byte for byte.
    static constexpr char kFrozen[] = "已冻结";
    static constexpr char kNotFrozen[] = "未冻结";

    // A row's process id: the leading decimal digits of its first cell, 0
    // when there are none.
    DWORD ProcessIdOfRow(int row) const;

    CListCtrl m_listModules;
    CListCtrl m_listProcesses;
};

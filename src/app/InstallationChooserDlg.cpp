// SPDX-License-Identifier: GPL-3.0-or-later
// InstallationChooserDlg.cpp - the list of installations found, one a row,
// the first chosen at the start.

#include "app/InstallationChooserDlg.h"

CInstallationChooserDlg::CInstallationChooserDlg(
    const std::vector<ostrane::platform::MountedWindowsInstallation>& installations, CWnd* parent)
    : CDialog(IDD, parent), m_installations(installations)
{
}

CInstallationChooserDlg::~CInstallationChooserDlg() = default;

const AFX_MSGMAP* CInstallationChooserDlg::GetMessageMap() const
{
    static const AFX_MSGMAP_ENTRY entries[] = {
        ButtonClicked(IDOK, &CInstallationChooserDlg::OnOK),
        ButtonClicked(IDCANCEL, &CInstallationChooserDlg::OnCancel),
    };
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
    return &map;
}

void CInstallationChooserDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_INSTALLATION_LIST, m_listInstallations);
}

BOOL CInstallationChooserDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_listInstallations.SetExtendedStyle(m_listInstallations.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_listInstallations.InsertColumn(0, "挂载位置", LVCFMT_LEFT);
    m_listInstallations.SetColumnWidth(0, LVSCW_AUTOSIZE_USEHEADER);
    // Directory names come from the disks' labels: shown with their control
    // characters as escapes.
    for (std::size_t i = 0; i < m_installations.size(); ++i)
        m_listInstallations.InsertItem(static_cast<int>(i), m_installations[i].shown.c_str());
    if (!m_installations.empty())
        m_listInstallations.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    return TRUE;
}

void CInstallationChooserDlg::OnOK()
{
    int row = m_listInstallations.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0 || row >= static_cast<int>(m_installations.size()))
        return;
    m_strChosen = m_installations[static_cast<std::size_t>(row)].directory.c_str();
    CDialog::OnOK();
}

void CInstallationChooserDlg::OnCancel()
{
    m_strChosen.Empty();
    CDialog::OnCancel();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// UsbToolsPage_Immunity.cpp - making drives immune to autorun malware by
// occupying the name autorun.inf at their roots, and taking it back.

#include "pages/usb/UsbToolsPage.h"

#include "platform/FileApi.h"

namespace {

const char kImmunizeFailed[] = "无法免疫该盘符！可能已经免疫，或者该磁盘为不可写状态！";
const char kRemoveFailed[] = "无法取消该盘符免疫！可能该盘未免疫，或者该磁盘为不可写状态！";

}  // namespace

void CUsbToolsPage::OnImmunize()
{
    ApplyToCheckedDrives(&CUsbToolsPage::ImmunizeDrive, "免疫");
}

void CUsbToolsPage::ImmunizeDrive(LPCSTR root)
{
    char outerName[AnsiCapacity(260)] = "";
    char innerName[AnsiCapacity(260)] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_AUTORUN_NAME, outerName, sizeof outerName);
    LoadStringA(AfxGetInstanceHandle(), IDS_IMMUNITY_DIR, innerName, sizeof innerName);

    CString path = CString(root) + outerName;
    if (!CreateDirectoryA(path, nullptr)) {
        MessageBox(kImmunizeFailed, "错误");
        return;
    }
    SetFileAttributesA(path, FILE_ATTRIBUTE_HIDDEN);

    path += innerName;
    if (!CreateDirectoryA(path, nullptr))
        AfxMessageBox(kImmunizeFailed);
}

void CUsbToolsPage::OnRemoveImmunity()
{
    ApplyToCheckedDrives(&CUsbToolsPage::RemoveDriveImmunity, "未免疫");
}

// Both actions: refused without a highlighted row, then done for every
// checked row, whose state column then reads stateText whatever the outcome.
void CUsbToolsPage::ApplyToCheckedDrives(void (CUsbToolsPage::*action)(LPCSTR root), LPCSTR stateText)
{
    // The guard counts highlighted rows; the work is done on checked rows.
    if (m_listDrives.GetSelectedCount() == 0) {
        MessageBox("无选中任何盘符");
        return;
    }
    for (int row = 0; row < m_listDrives.GetItemCount(); ++row) {
        if (!m_listDrives.GetCheck(row))
            continue;
        char root[10] = "";
        m_listDrives.GetItemText(row, 0, root, sizeof root);
        (this->*action)(root);
        m_listDrives.SetItemText(row, 1, stateText);
    }
}

void CUsbToolsPage::RemoveDriveImmunity(LPCSTR root)
{
    char outerName[AnsiCapacity(260)] = "";
    char innerName[AnsiCapacity(260)] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_AUTORUN_NAME, outerName, sizeof outerName);
    LoadStringA(AfxGetInstanceHandle(), IDS_IMMUNITY_DIR, innerName, sizeof innerName);

    CString outer = CString(root) + outerName;
    CString inner = outer + innerName;
    bool removed = RemoveDirectoryA(inner) && RemoveDirectoryA(outer);
    if (!removed)
        MessageBox(kRemoveFailed, "错误");
}

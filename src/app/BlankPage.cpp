// SPDX-License-Identifier: GPL-3.0-or-later
// BlankPage.cpp - the blank page: an empty template.

#include "app/BlankPage.h"

CBlankPage::CBlankPage(CWnd* parent) : CDialog(IDD, parent) {}

CBlankPage::~CBlankPage() = default;

const AFX_MSGMAP* CBlankPage::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap());
    return &map;
}

void CBlankPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
}

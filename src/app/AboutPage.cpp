// SPDX-License-Identifier: GPL-3.0-or-later
// AboutPage.cpp - the about page: all of its content is its template.

#include "app/AboutPage.h"

CAboutPage::CAboutPage(CWnd* parent) : CDialog(IDD, parent) {}

CAboutPage::~CAboutPage() = default;

const AFX_MSGMAP* CAboutPage::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap());
    return &map;
}

void CAboutPage::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
}

// ToolboxApp.h - CToolboxApp, the application: runs the main window once.
#pragma once

#include "fw/Afx.h"

class CToolboxApp : public CWinApp {
public:
    CToolboxApp();

    const AFX_MSGMAP* GetMessageMap() const override;
    BOOL InitInstance() override;
};

// SPDX-License-Identifier: GPL-3.0-or-later
// Afx.h - the framework in one include.
#pragma once

#include "fw/AfxTypes.h"
#include "fw/CString.h"
#include "fw/Controls.h"
#include "fw/Dialog.h"
#include "fw/FileFind.h"
#include "fw/MessageMap.h"
#include "fw/ModalResponder.h"
#include "fw/OleTypes.h"
#include "fw/PaintDC.h"
#include "fw/WinApp.h"
#include "fw/Wnd.h"
#include "platform/Win32.h"

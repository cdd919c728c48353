// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedResponder.cpp - the test responder.

#include "ScriptedResponder.h"

#include "platform/WinUser.h"

#include <utility>

namespace ostrane::testing {

ScriptedResponder::ScriptedResponder() : m_previous(AfxSetModalResponder(this)) {}

ScriptedResponder::~ScriptedResponder()
{
    AfxSetModalResponder(m_previous);
}

std::vector<std::string> ScriptedResponder::BoxTexts() const
{
    std::vector<std::string> texts;
    for (const auto& box : m_boxes)
        texts.push_back(box.text);
    return texts;
}

int ScriptedResponder::ShowMessageBox(const MessageBoxRequest& request)
{
    m_boxes.push_back({request.text.str(), request.caption.str(), request.type & MB_TYPEMASK,
                       request.type & MB_ICONMASK, request.owner});
    if (m_whileOpen)
        std::exchange(m_whileOpen, nullptr)();
    if (!m_answers.empty()) {
        int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    UINT buttons = request.type & MB_TYPEMASK;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDCANCEL : IDOK;
}

bool ScriptedResponder::ChooseFolder(HWND, const CString& title, CString& folder)
{
    folderTitles.push_back(title.str());
    if (m_folders.empty() || m_folders.front().empty()) {
        if (!m_folders.empty())
            m_folders.pop_front();
        return false;
    }
    folder = m_folders.front().c_str();
    m_folders.pop_front();
    return true;
}

}  // namespace ostrane::testing

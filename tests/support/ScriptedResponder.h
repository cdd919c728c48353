// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptedResponder.h - answers message boxes and folder pickers from a
// script and records every box shown, in order.
#pragma once

#include "fw/ModalResponder.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace ostrane::testing {

struct ShownBox {
    std::string text;
    std::string caption;
    UINT buttons;  // MB_TYPEMASK bits
    UINT icon;     // MB_ICONMASK bits
    HWND owner;
};

class ScriptedResponder : public CModalResponder {
public:
    // Installs itself for its lifetime.
    ScriptedResponder();
    ~ScriptedResponder() override;

    // The next box is answered with this button; unscripted boxes get IDOK
    // (or IDCANCEL when the box has no OK button).
    void AnswerNextBox(int button) { m_answers.push_back(button); }
    // The next folder picker chooses this folder; an empty string cancels.
    void AnswerNextFolder(const std::string& folder) { m_folders.push_back(folder); }
    // Runs while the next box is open, before it is answered.
    void WhileNextBoxIsOpen(std::function<void()> action) { m_whileOpen = std::move(action); }

    const std::vector<ShownBox>& Boxes() const { return m_boxes; }
    std::vector<std::string> BoxTexts() const;
    void Clear() { m_boxes.clear(); }

    int ShowMessageBox(const MessageBoxRequest& request) override;
    bool ChooseFolder(HWND owner, const CString& title, CString& folder) override;

    std::vector<std::string> folderTitles;

private:
    std::deque<int> m_answers;
    std::deque<std::string> m_folders;
    std::function<void()> m_whileOpen;
    std::vector<ShownBox> m_boxes;
    CModalResponder* m_previous;
};

}  // namespace ostrane::testing

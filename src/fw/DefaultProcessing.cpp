// SPDX-License-Identifier: GPL-3.0-or-later
// DefaultProcessing.cpp - the per-thread record of the message in hand.

#include "fw/DefaultProcessing.h"

namespace ostrane::fw {
namespace {
thread_local MessageInProgress* t_current = nullptr;
}

MessageInProgress::MessageInProgress(HWND window, UINT message, std::function<LRESULT()> defaultProcessing)
    : m_window(window), m_message(message), m_default(std::move(defaultProcessing)), m_outer(t_current)
{
    t_current = this;
}

MessageInProgress::~MessageInProgress()
{
    t_current = m_outer;
}

LRESULT MessageInProgress::RunDefault()
{
    if (!m_done) {
        m_done = true;
        if (m_default)
            m_result = m_default();
    }
    return m_result;
}

MessageInProgress* MessageInProgress::Current()
{
    return t_current;
}

LRESULT HandleWithDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          std::function<LRESULT()> defaultProcessing)
{
    MessageInProgress inProgress(window, message, std::move(defaultProcessing));
    LRESULT result = 0;
    if (!DispatchToMap(window, message, wParam, lParam, &result))
        return inProgress.RunDefault();
    return result;
}

}  // namespace ostrane::fw

// SPDX-License-Identifier: GPL-3.0-or-later
// MessageMap.h - message tables: which member handles which message.
//
// A class's message table is a static array of entries returned by its
// virtual GetMessageMap(), chained to its base class's table. Each entry
// names the message (and, for commands and notifications, the control id and
// notification code) and the member function that handles it:
//
//     const AFX_MSGMAP* CUsbToolsPage::GetMessageMap() const
//     {
//         static const AFX_MSGMAP_ENTRY entries[] = {
//             ButtonClicked(IDC_USB_SELECT_ALL, &CUsbToolsPage::OnSelectAll),
//         };
//         static const AFX_MSGMAP map = MessageMapOf(CDialog::GetMessageMap(), entries);
//         return &map;
//     }
#pragma once

#include "fw/AfxTypes.h"
#include "platform/WinUser.h"

#include <cstddef>
#include <type_traits>

class CCmdTarget;

// The handler's signature; the dispatcher calls it with matching arguments.
enum class AfxSig {
    Void,             // void ()
    FlagsPoint,       // void (UINT flags, CPoint point)
    Notify,           // void (NMHDR* header, LRESULT* result)
    QueryCursor,      // HCURSOR ()
    Timer,            // void (UINT_PTR timerId)
};

// The handler, as a member of CCmdTarget; the entry's signature says which
// member of the union holds it.
union AfxHandler {
    void (CCmdTarget::*plain)();
    void (CCmdTarget::*flagsPoint)(UINT, CPoint);
    void (CCmdTarget::*notify)(NMHDR*, LRESULT*);
    HCURSOR (CCmdTarget::*queryCursor)();
    void (CCmdTarget::*timer)(UINT_PTR);
};

struct AFX_MSGMAP_ENTRY {
    UINT message;
    UINT code;
    UINT id;
    AfxSig signature;
    AfxHandler handler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* baseMap;
    const AFX_MSGMAP_ENTRY* entries;
    std::size_t count;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Finds the entry for the message in this object's tables, most derived first.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;
};

namespace ostrane::fw {

// Calls the entry's handler on the target with the message's parameters,
// unpacked as the entry's signature says; a handler's result goes to
// `result` when there is one.
void CallMessageHandler(CCmdTarget* target, const AFX_MSGMAP_ENTRY& entry, WPARAM wParam, LPARAM lParam,
                        LRESULT* result);

}  // namespace ostrane::fw

template <std::size_t N>
AFX_MSGMAP MessageMapOf(const AFX_MSGMAP* baseMap, const AFX_MSGMAP_ENTRY (&entries)[N])
{
    return AFX_MSGMAP{baseMap, entries, N};
}

inline AFX_MSGMAP MessageMapOf(const AFX_MSGMAP* baseMap)
{
    return AFX_MSGMAP{baseMap, nullptr, 0};
}

// Entry builders. A handler of a derived class is stored as a member of
// CCmdTarget and called on the object of the derived class, as the framework
// of the Windows program does.
template <class T>
AFX_MSGMAP_ENTRY CommandMessage(UINT id, void (T::*handler)())
{
    static_assert(std::is_base_of_v<CCmdTarget, T>);
    return {WM_COMMAND, 0, id, AfxSig::Void, {.plain = static_cast<void (CCmdTarget::*)()>(handler)}};
}

template <class T>
AFX_MSGMAP_ENTRY ButtonClicked(UINT id, void (T::*handler)())
{
    static_assert(std::is_base_of_v<CCmdTarget, T>);
    return {WM_COMMAND, BN_CLICKED, id, AfxSig::Void, {.plain = static_cast<void (CCmdTarget::*)()>(handler)}};
}

template <class T>
AFX_MSGMAP_ENTRY ComboCloseUp(UINT id, void (T::*handler)())
{
    static_assert(std::is_base_of_v<CCmdTarget, T>);
    return {WM_COMMAND, CBN_CLOSEUP, id, AfxSig::Void, {.plain = static_cast<void (CCmdTarget::*)()>(handler)}};
}

template <class T>
AFX_MSGMAP_ENTRY NotifyMessage(UINT code, UINT id, void (T::*handler)(NMHDR*, LRESULT*))
{
    using Base = void (CCmdTarget::*)(NMHDR*, LRESULT*);
    return {WM_NOTIFY, code, id, AfxSig::Notify, {.notify = static_cast<Base>(handler)}};
}

template <class T>
AFX_MSGMAP_ENTRY PaintMessage(void (T::*handler)())
{
    static_assert(std::is_base_of_v<CCmdTarget, T>);
    return {WM_PAINT, 0, 0, AfxSig::Void, {.plain = static_cast<void (CCmdTarget::*)()>(handler)}};
}

template <class T>
AFX_MSGMAP_ENTRY QueryDragIconMessage(HCURSOR (T::*handler)())
{
    using Base = HCURSOR (CCmdTarget::*)();
    return {WM_QUERYDRAGICON, 0, 0, AfxSig::QueryCursor, {.queryCursor = static_cast<Base>(handler)}};
}

template <class T>
AFX_MSGMAP_ENTRY TimerMessage(void (T::*handler)(UINT_PTR))
{
    using Base = void (CCmdTarget::*)(UINT_PTR);
    return {WM_TIMER, 0, 0, AfxSig::Timer, {.timer = static_cast<Base>(handler)}};
}

template <class T>
AFX_MSGMAP_ENTRY LButtonDownMessage(void (T::*handler)(UINT, CPoint))
{
    using Base = void (CCmdTarget::*)(UINT, CPoint);
    return {WM_LBUTTONDOWN, 0, 0, AfxSig::FlagsPoint, {.flagsPoint = static_cast<Base>(handler)}};
}

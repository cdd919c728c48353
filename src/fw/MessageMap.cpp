// SPDX-License-Identifier: GPL-3.0-or-later
// MessageMap.cpp - finding a message's entry in the message tables and
// calling its handler, for both window systems.

#include "fw/MessageMap.h"

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    static const AFX_MSGMAP map = MessageMapOf(nullptr);
    return &map;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr; map = map->baseMap) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const auto& entry = map->entries[i];
            if (entry.message == message && entry.code == code && entry.id == id)
                return &entry;
        }
    }
    return nullptr;
}

namespace ostrane::fw {

void CallMessageHandler(CCmdTarget* target, const AFX_MSGMAP_ENTRY& entry, WPARAM wParam, LPARAM lParam,
                        LRESULT* result)
{
    switch (entry.signature) {
    case AfxSig::Void:
        (target->*entry.handler.plain)();
        break;
    case AfxSig::FlagsPoint: {
        CPoint point(static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                     static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam))));
        (target->*entry.handler.flagsPoint)(static_cast<UINT>(wParam), point);
        break;
    }
    case AfxSig::Notify: {
        LRESULT ignored = 0;
        (target->*entry.handler.notify)(reinterpret_cast<NMHDR*>(lParam), result ? result : &ignored);
        break;
    }
    case AfxSig::Timer:
        (target->*entry.handler.timer)(static_cast<UINT_PTR>(wParam));
        break;
    case AfxSig::QueryCursor: {
        HCURSOR cursor = (target->*entry.handler.queryCursor)();
        if (result)
            *result = reinterpret_cast<LRESULT>(cursor);
        break;
    }
    }
}

}  // namespace ostrane::fw

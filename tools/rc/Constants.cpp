// SPDX-License-Identifier: GPL-3.0-or-later
// Constants.cpp - the names a script may use in its expressions.
#include "Constants.h"

#include <map>
#include <string>

#include "platform/WinUser.h"

namespace ostrane::rc {
namespace {

// Primary and sub-language ids of the LANGUAGE statement (winnt.h values).
constexpr std::uint32_t LANG_NEUTRAL = 0x00;
constexpr std::uint32_t LANG_CHINESE = 0x04;
constexpr std::uint32_t LANG_ENGLISH = 0x09;
constexpr std::uint32_t SUBLANG_NEUTRAL = 0x00;
constexpr std::uint32_t SUBLANG_DEFAULT = 0x01;
constexpr std::uint32_t SUBLANG_CHINESE_TRADITIONAL = 0x01;
constexpr std::uint32_t SUBLANG_CHINESE_SIMPLIFIED = 0x02;
constexpr std::uint32_t SUBLANG_ENGLISH_US = 0x01;

// Window, dialog and control styles come from the platform headers, so that
// the script and the program read the same values. List-view extended styles
// (LVS_EX_) are left out: they are set by code, never in a template.
const std::map<std::string, std::uint32_t, std::less<>>& namedConstants()
{
    static const std::map<std::string, std::uint32_t, std::less<>> constants = {
        {"WS_OVERLAPPED", WS_OVERLAPPED},
        {"WS_POPUP", WS_POPUP},
        {"WS_CHILD", WS_CHILD},
        {"WS_MINIMIZE", WS_MINIMIZE},
        {"WS_VISIBLE", WS_VISIBLE},
        {"WS_DISABLED", WS_DISABLED},
        {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
        {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
        {"WS_MAXIMIZE", WS_MAXIMIZE},
        {"WS_CAPTION", WS_CAPTION},
        {"WS_BORDER", WS_BORDER},
        {"WS_DLGFRAME", WS_DLGFRAME},
        {"WS_VSCROLL", WS_VSCROLL},
        {"WS_HSCROLL", WS_HSCROLL},
        {"WS_SYSMENU", WS_SYSMENU},
        {"WS_THICKFRAME", WS_THICKFRAME},
        {"WS_GROUP", WS_GROUP},
        {"WS_TABSTOP", WS_TABSTOP},
        {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
        {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
        {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME},
        {"WS_EX_NOPARENTNOTIFY", WS_EX_NOPARENTNOTIFY},
        {"WS_EX_TOPMOST", WS_EX_TOPMOST},
        {"WS_EX_ACCEPTFILES", WS_EX_ACCEPTFILES},
        {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT},
        {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW},
        {"WS_EX_WINDOWEDGE", WS_EX_WINDOWEDGE},
        {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
        {"WS_EX_CONTEXTHELP", WS_EX_CONTEXTHELP},
        {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
        {"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
        {"DS_ABSALIGN", DS_ABSALIGN},
        {"DS_SYSMODAL", DS_SYSMODAL},
        {"DS_3DLOOK", DS_3DLOOK},
        {"DS_FIXEDSYS", DS_FIXEDSYS},
        {"DS_NOFAILCREATE", DS_NOFAILCREATE},
        {"DS_LOCALEDIT", DS_LOCALEDIT},
        {"DS_SETFONT", DS_SETFONT},
        {"DS_MODALFRAME", DS_MODALFRAME},
        {"DS_NOIDLEMSG", DS_NOIDLEMSG},
        {"DS_SETFOREGROUND", DS_SETFOREGROUND},
        {"DS_CONTROL", DS_CONTROL},
        {"DS_CENTER", DS_CENTER},
        {"DS_CENTERMOUSE", DS_CENTERMOUSE},
        {"DS_CONTEXTHELP", DS_CONTEXTHELP},
        {"DS_SHELLFONT", DS_SHELLFONT},
        {"SS_LEFT", SS_LEFT},
        {"SS_CENTER", SS_CENTER},
        {"SS_RIGHT", SS_RIGHT},
        {"SS_ICON", SS_ICON},
        {"SS_SIMPLE", SS_SIMPLE},
        {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP},
        {"SS_BITMAP", SS_BITMAP},
        {"SS_ETCHEDFRAME", SS_ETCHEDFRAME},
        {"SS_TYPEMASK", SS_TYPEMASK},
        {"SS_NOPREFIX", SS_NOPREFIX},
        {"SS_NOTIFY", SS_NOTIFY},
        {"SS_CENTERIMAGE", SS_CENTERIMAGE},
        {"SS_REALSIZEIMAGE", SS_REALSIZEIMAGE},
        {"SS_SUNKEN", SS_SUNKEN},
        {"BS_PUSHBUTTON", BS_PUSHBUTTON},
        {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
        {"BS_CHECKBOX", BS_CHECKBOX},
        {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
        {"BS_RADIOBUTTON", BS_RADIOBUTTON},
        {"BS_3STATE", BS_3STATE},
        {"BS_AUTO3STATE", BS_AUTO3STATE},
        {"BS_GROUPBOX", BS_GROUPBOX},
        {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
        {"BS_OWNERDRAW", BS_OWNERDRAW},
        {"BS_TYPEMASK", BS_TYPEMASK},
        {"BS_LEFTTEXT", BS_LEFTTEXT},
        {"BS_MULTILINE", BS_MULTILINE},
        {"BS_FLAT", BS_FLAT},
        {"ES_LEFT", ES_LEFT},
        {"ES_CENTER", ES_CENTER},
        {"ES_RIGHT", ES_RIGHT},
        {"ES_MULTILINE", ES_MULTILINE},
        {"ES_UPPERCASE", ES_UPPERCASE},
        {"ES_LOWERCASE", ES_LOWERCASE},
        {"ES_PASSWORD", ES_PASSWORD},
        {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
        {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
        {"ES_NOHIDESEL", ES_NOHIDESEL},
        {"ES_READONLY", ES_READONLY},
        {"ES_WANTRETURN", ES_WANTRETURN},
        {"ES_NUMBER", ES_NUMBER},
        {"CBS_SIMPLE", CBS_SIMPLE},
        {"CBS_DROPDOWN", CBS_DROPDOWN},
        {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
        {"CBS_OWNERDRAWFIXED", CBS_OWNERDRAWFIXED},
        {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL},
        {"CBS_OEMCONVERT", CBS_OEMCONVERT},
        {"CBS_SORT", CBS_SORT},
        {"CBS_HASSTRINGS", CBS_HASSTRINGS},
        {"CBS_NOINTEGRALHEIGHT", CBS_NOINTEGRALHEIGHT},
        {"CBS_DISABLENOSCROLL", CBS_DISABLENOSCROLL},
        {"LVS_ICON", LVS_ICON},
        {"LVS_REPORT", LVS_REPORT},
        {"LVS_SMALLICON", LVS_SMALLICON},
        {"LVS_LIST", LVS_LIST},
        {"LVS_TYPEMASK", LVS_TYPEMASK},
        {"LVS_SINGLESEL", LVS_SINGLESEL},
        {"LVS_SHOWSELALWAYS", LVS_SHOWSELALWAYS},
        {"LVS_SORTASCENDING", LVS_SORTASCENDING},
        {"LVS_SORTDESCENDING", LVS_SORTDESCENDING},
        {"LVS_SHAREIMAGELISTS", LVS_SHAREIMAGELISTS},
        {"LVS_NOLABELWRAP", LVS_NOLABELWRAP},
        {"LVS_AUTOARRANGE", LVS_AUTOARRANGE},
        {"LVS_EDITLABELS", LVS_EDITLABELS},
        {"LVS_OWNERDRAWFIXED", LVS_OWNERDRAWFIXED},
        {"LVS_ALIGNLEFT", LVS_ALIGNLEFT},
        {"LVS_NOSCROLL", LVS_NOSCROLL},
        {"LVS_NOCOLUMNHEADER", LVS_NOCOLUMNHEADER},
        {"LVS_NOSORTHEADER", LVS_NOSORTHEADER},
        {"TCS_TABS", TCS_TABS},
        {"TCS_SINGLELINE", TCS_SINGLELINE},
        {"TCS_BUTTONS", TCS_BUTTONS},
        {"TCS_MULTILINE", TCS_MULTILINE},
        {"TCS_FIXEDWIDTH", TCS_FIXEDWIDTH},
        {"TCS_FOCUSONBUTTONDOWN", TCS_FOCUSONBUTTONDOWN},
        {"TCS_FOCUSNEVER", TCS_FOCUSNEVER},
        {"IDC_STATIC", static_cast<std::uint32_t>(IDC_STATIC)},
        {"IDOK", IDOK},
        {"IDCANCEL", IDCANCEL},
        {"LANG_NEUTRAL", LANG_NEUTRAL},
        {"LANG_CHINESE", LANG_CHINESE},
        {"LANG_ENGLISH", LANG_ENGLISH},
        {"SUBLANG_NEUTRAL", SUBLANG_NEUTRAL},
        {"SUBLANG_DEFAULT", SUBLANG_DEFAULT},
        {"SUBLANG_CHINESE_TRADITIONAL", SUBLANG_CHINESE_TRADITIONAL},
        {"SUBLANG_CHINESE_SIMPLIFIED", SUBLANG_CHINESE_SIMPLIFIED},
        {"SUBLANG_ENGLISH_US", SUBLANG_ENGLISH_US},
    };
    return constants;
}

}  // namespace

std::optional<std::uint32_t> findConstant(std::string_view name)
{
    const auto& constants = namedConstants();
    const auto found = constants.find(name);
    if (found == constants.end())
        return std::nullopt;
    return found->second;
}

}  // namespace ostrane::rc

// SPDX-License-Identifier: GPL-3.0-or-later
// WinTypes.h - the basic Win32 types of the platform layer.
//
// Sizes follow 32-bit Windows where the program relies on them (DWORD, LONG
// and BOOL are 32 bits); handles are opaque pointers.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = std::int32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using ULONGLONG = std::uint64_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using CHAR = char;
using WCHAR = char16_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using PBYTE = BYTE*;
using LPBYTE = BYTE*;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;

// The calling convention of functions the system calls back (thread
// functions among them): __stdcall on 32-bit Windows, where a thread function
// without it does not convert to LPTHREAD_START_ROUTINE; this system has one
// convention only. COM's members use the same convention.
#define WINAPI
#define STDMETHODCALLTYPE

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr DWORD MAX_PATH = 260;

using HANDLE = void*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;
struct HKEY__;
using HKEY = HKEY__*;
struct HWND__;
using HWND = HWND__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HDC__;
using HDC = HDC__*;

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct LUID {
    DWORD LowPart;
    LONG HighPart;
};

constexpr WORD LOWORD(DWORD_PTR value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16); }

// Resource names are either strings or 16-bit ordinals in the low word of the pointer.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(id)); }
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0; }
inline LPCSTR MAKEINTRESOURCE(WORD id) { return MAKEINTRESOURCEA(id); }

// OLE Automation's date (days since 30 December 1899, time as the fraction)
// and currency (a 64-bit count of ten-thousandths).
using DATE = double;
struct CY {
    std::int64_t int64;
};
using CURRENCY = CY;

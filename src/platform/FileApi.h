// SPDX-License-Identifier: GPL-3.0-or-later
// FileApi.h - drives, paths, files and directories, the Windows directory.
//
// Paths are Windows paths: "E:\autorun.inf". Each drive letter stands for a
// directory of this machine (see posix/Drives.h). A path is resolved beneath
// its drive's root and never leaves it through a link; a name that is not
// there exactly is found in any ASCII letter case (see posix/DrivePath.h).
#pragma once

#include "platform/WinBase.h"


// Drive types
constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

// File attributes
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_DEVICE = 0x00000040;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Access, sharing, creation
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
// Writes go to the end of the file, each whole, whatever else writes it.
constexpr DWORD FILE_APPEND_DATA = 0x00000004;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
// Opens a link itself instead of what it names.
constexpr DWORD FILE_FLAG_OPEN_REPARSE_POINT = 0x00200000;

// File pointer
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

// The root paths of all drives ("C:\", "D:\", ...), each terminated, the list
// ended by an empty string. Returns the length written without the final
// terminator, or the size needed (with it) when the buffer is too small.
DWORD GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer);
UINT GetDriveTypeA(LPCSTR rootPathName);

DWORD GetFileAttributesA(LPCSTR fileName);
BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes);
BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES attributes);
BOOL RemoveDirectoryA(LPCSTR pathName);
BOOL DeleteFileA(LPCSTR fileName);

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
// Renames a file; with MOVEFILE_REPLACE_EXISTING an existing file of the new
// name is replaced in one step, so a reader sees the old file or the new one.
BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);

// With unique 0: creates a new empty file "PREuuuu.TMP" in the directory
// (PRE the prefix's first three characters, uuuu hexadecimal) under a number
// nobody can predict, exclusively, and returns the number; the full name is
// written to tempFileName (MAX_PATH characters). With another unique only the
// name is made. 0 on failure.
UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName);

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);

// Directory searches.

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    // A name here has at most 255 bytes, and its Windows form (see
    // posix/files/FileNames.h) three times as many: wider than Windows's
    // MAX_PATH, so that no name is cut.
    CHAR cFileName[3 * 255 + 1];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

// Lists the entries of a directory whose names match a pattern ("dir\*.*";
// `*` and `?` as on Windows, without regard to letter case), in the order
// the file system keeps them. An entry that leads elsewhere carries
// FILE_ATTRIBUTE_REPARSE_POINT, as a link or a mounted folder does on
// Windows: a symbolic link (with FILE_ATTRIBUTE_DIRECTORY too when it names a
// directory), the root of another drive, and the kernel's pseudo file
// systems (proc, sysfs, cgroup and the like). Pipes, sockets and devices carry
// FILE_ATTRIBUTE_DEVICE. Fails with ERROR_FILE_NOT_FOUND when nothing
// matches and ERROR_PATH_NOT_FOUND when the directory does not exist.
HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findFileData);
// Fails with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findFileData);
BOOL FindClose(HANDLE findFile);

// The Windows directory without a trailing backslash. Returns its length, or
// the size needed (with the terminator) when the buffer is too small, or 0.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

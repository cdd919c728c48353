// SPDX-License-Identifier: GPL-3.0-or-later
// The slot order of the exported interfaces, which modules compiled against
// them depend on: a reordered declaration would call the wrong operation.

#include "ado/ClassFactory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The Itanium ABI represents a pointer to a virtual member function as one
// plus the operation's byte offset in the table.
template <class Member>
std::ptrdiff_t SlotOf(Member member)
{
    struct Representation {
        std::ptrdiff_t pointer;
        std::ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof member == sizeof representation);
    std::memcpy(&representation, &member, sizeof representation);
    return (representation.pointer - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

using I = Interface_CAdo;
using Rs = _RecordsetPtr;

TEST(SlotOrder, InterfaceCAdo)
{
    EXPECT_EQ(SlotOf(&I::CloseConnection), 0);
    EXPECT_EQ(SlotOf(&I::OpenConnection), 1);
    EXPECT_EQ(SlotOf(&I::GetConnectionString), 4);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LONG, FieldInfo*)>(&I::GetFieldInfo)), 7);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LPCSTR, FieldInfo*)>(&I::GetFieldInfo)), 8);
    EXPECT_EQ(SlotOf(&I::GetRecordCount), 15);
    EXPECT_EQ(SlotOf(&I::OpenRecordset), 16);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LONG, VARIANT)>(&I::SetFieldValue)), 18);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LONG, COleCurrency)>(&I::SetFieldValue)), 26);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LPCSTR, COleCurrency)>(&I::SetFieldValue)), 28);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LPCSTR, SHORT)>(&I::SetFieldValue)), 35);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LPCSTR)>(&I::SetFieldEmpty)), 37);
    EXPECT_EQ(SlotOf(&I::GetFieldCount), 38);
    EXPECT_EQ(SlotOf(static_cast<CString (I::*)(Rs, CString, LONG)>(&I::GetFieldString)), 39);
    EXPECT_EQ(SlotOf(static_cast<CString (I::*)(Rs, LONG)>(&I::GetFieldString)), 40);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(Rs, LONG, VARIANT&)>(&I::GetFieldValue)), 41);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(Rs, LONG, int&)>(&I::GetFieldValue)), 49);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(Rs, LPCSTR, VARIANT&)>(&I::GetFieldValue)), 50);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(Rs, LPCSTR, DWORD&)>(&I::GetFieldValue)), 57);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(Rs, LPCSTR, int&)>(&I::GetFieldValue)), 58);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LONG)>(&I::IsFieldNull)), 59);
    EXPECT_EQ(SlotOf(static_cast<BOOL (I::*)(LPCSTR)>(&I::IsFieldNull)), 60);
    EXPECT_EQ(SlotOf(&I::Release), 61);
    EXPECT_EQ(SlotOf(&I::CreateRecordset), 62);
}

TEST(SlotOrder, ClassFactory)
{
    EXPECT_EQ(SlotOf(&ClassFactory::CreateAdo), 0);
    EXPECT_EQ(SlotOf(&ClassFactory::ReleaseAdo), 1);
}

}  // namespace

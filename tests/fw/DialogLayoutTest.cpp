// SPDX-License-Identifier: GPL-3.0-or-later
// DialogLayoutTest.cpp - dialogs from the program's templates: positions in
// dialog units become pixels through the template font's base units.
//
// The template font 宋体 9pt is rendered by AR PL UMing CN, whose base units
// are 6 x 12 pixels, so x and cx scale by 6/4 and y and cy by 12/8, rounded
// half away from zero as Windows' MulDiv rounds. Most rows below have a half
// pixel to round, so truncating or rounding to even shows.
#include "FwFixture.h"

#include <QFontInfo>

namespace ostrane::fwtest {
namespace {

struct LayoutCase {
    const char* name;
    UINT templateId;
    int controlId;         // 0: the dialog's own client rectangle
    RECT expected;         // pixels, in the dialog's client coordinates
};

std::ostream& operator<<(std::ostream& out, const LayoutCase& c)
{
    return out << c.name;
}

const LayoutCase kLayoutCases[] = {
    // 21,45,144,117 -> 31.5, 67.5, 216, 175.5
    {"DriveList", IDD_USB_TOOLS_PAGE, IDC_DRIVE_LIST, {32, 68, 32 + 216, 68 + 176}},
    // 176,60,46,20 -> exact
    {"SelectAllButton", IDD_USB_TOOLS_PAGE, IDC_USB_SELECT_ALL, {264, 90, 264 + 69, 90 + 30}},
    // 23,21,196,17 -> 34.5, 31.5, 294, 25.5
    {"ImmunityText", IDD_USB_TOOLS_PAGE, IDC_IMMUNITY_TEXT, {35, 32, 35 + 294, 32 + 26}},
    // 398,267,61,17 -> 597, 400.5, 91.5, 25.5
    {"StorageToggle", IDD_USB_TOOLS_PAGE, IDC_USB_STORAGE_TOGGLE, {597, 401, 597 + 92, 401 + 26}},
    // 121,246,126,12 -> 181.5, 369, 189, 18
    {"ScanPathEdit", IDD_SCAN_PAGE, IDC_SCAN_PATH, {182, 369, 182 + 189, 369 + 18}},
    // 418,244,43,17 -> 627, 366, 64.5, 25.5 (a disabled button is laid out all the same)
    {"KillButton", IDD_SCAN_PAGE, IDC_KILL, {627, 366, 627 + 65, 366 + 26}},
    // 7,197,394,106 -> 10.5, 295.5, 591, 159
    {"ModuleList", IDD_PROCESS_PAGE, IDC_MODULE_LIST, {11, 296, 11 + 591, 296 + 159}},
    // 0,61,493,322 -> 0, 91.5, 739.5, 483
    {"MainTab", IDD_MAIN, IDC_TAB, {0, 92, 740, 92 + 483}},
    // 480 x 310 -> 720 x 465
    {"PageClientArea", IDD_SCAN_PAGE, 0, {0, 0, 720, 465}},
    // 493 x 383 -> 739.5 x 574.5
    {"MainClientArea", IDD_MAIN, 0, {0, 0, 740, 575}},
};

class DialogLayoutTest : public HostedPageTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(DialogLayoutTest, ControlRectangleIsTemplateUnitsInPixels)
{
    const LayoutCase& c = GetParam();
    CDialog page(c.templateId);
    CDialog* dialog = &m_host;
    if (c.templateId != IDD_MAIN) {
        CreatePage(page, c.templateId);
        dialog = &page;
    }
    CRect actual;
    if (c.controlId == 0) {
        dialog->GetClientRect(actual);
    } else {
        CWnd* control = dialog->GetDlgItem(c.controlId);
        ASSERT_NE(control, nullptr);
        actual = RectIn(*dialog, *control);
    }
    EXPECT_EQ(actual.left, c.expected.left);
    EXPECT_EQ(actual.top, c.expected.top);
    EXPECT_EQ(actual.right, c.expected.right);
    EXPECT_EQ(actual.bottom, c.expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogLayoutTest, ::testing::ValuesIn(kLayoutCases),
                         [](const auto& info) { return std::string(info.param.name); });

using DialogFontTest = HostedPageTest;

// The layout above depends on this face; when it is missing this test names
// the cause.
TEST_F(DialogFontTest, TemplateFontIsRenderedByArPlUMing)
{
    CDialog page(IDD_USB_TOOLS_PAGE);
    CreatePage(page, IDD_USB_TOOLS_PAGE);
    QFontInfo info(WidgetOf(page)->font());
    EXPECT_EQ(info.family().toStdString(), "AR PL UMing CN");
    EXPECT_EQ(info.pixelSize(), 12);
}

// A page is placed in its parent at the template's position.
TEST_F(DialogFontTest, PageSitsAtTemplatePositionInItsParent)
{
    CDialog page(IDD_PROCESS_PAGE);
    CreatePage(page, IDD_PROCESS_PAGE);
    CRect rect = RectIn(m_host, page);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.Width(), 720);
    EXPECT_EQ(rect.Height(), 465);
}

// A combo box's template height (65 units, 97.5 pixels) is its height with
// the list dropped down: the closed box takes its position and width from the
// template but only the height of one line, clear of the status row below.
TEST_F(DialogFontTest, ComboBoxIsOneLineHigh)
{
    CDialog page(IDD_SCAN_PAGE);
    CreatePage(page, IDD_SCAN_PAGE);
    CWnd* combo = page.GetDlgItem(IDC_SCAN_RANGE);
    CWnd* status = page.GetDlgItem(IDC_SCAN_STATUS);
    ASSERT_NE(combo, nullptr);
    ASSERT_NE(status, nullptr);
    // 59,246,57 -> 88.5, 369, 85.5
    CRect rect = RectIn(page, *combo);
    EXPECT_EQ(rect.left, 89);
    EXPECT_EQ(rect.top, 369);
    EXPECT_EQ(rect.Width(), 86);
    EXPECT_GE(rect.Height(), 12 + 4);  // a line of text and a frame
    EXPECT_LE(rect.Height(), 24);
    EXPECT_LT(rect.bottom, RectIn(page, *status).top);
}

// A bitmap static takes its bitmap's size (463 x 81), not the template's
// 309 x 54 dialog units.
TEST_F(DialogFontTest, BannerTakesItsBitmapSize)
{
    CWnd* banner = m_host.GetDlgItem(IDC_STATIC);
    ASSERT_NE(banner, nullptr);
    CRect rect = RectIn(m_host, *banner);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.Width(), 463);
    EXPECT_EQ(rect.Height(), 81);
}

}  // namespace
}  // namespace ostrane::fwtest

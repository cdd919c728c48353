// SPDX-License-Identifier: GPL-3.0-or-later
// MessageBoxTest.cpp - message boxes: caption, icon and owner as asked for,
// through the scripted responder; and the framework's own responder, which
// shows a real Qt message box.
#include "FwFixture.h"
#include "ScriptedResponder.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

namespace ostrane::fwtest {
namespace {

using ostrane::testing::ScriptedResponder;
using ostrane::testing::ShownBox;

struct BoxCase {
    const char* name;
    std::function<int(CWnd& window)> ask;
    UINT buttons;
    UINT icon;
    const char* caption;  // nullptr: the application's name
    int answer;           // scripted, and returned
};

std::ostream& operator<<(std::ostream& out, const BoxCase& c)
{
    return out << c.name;
}

const BoxCase kBoxCases[] = {
    // A window's box: the application's name when no caption is given, and
    // no icon unless asked for.
    {"WindowBoxWithoutCaption", [](CWnd& w) { return w.MessageBox("已免疫"); }, MB_OK, 0, nullptr, IDOK},
    {"WindowBoxWithCaption", [](CWnd& w) { return w.MessageBox("结束进程？", "确认", MB_YESNO); }, MB_YESNO, 0,
     "确认", IDNO},
    {"WindowBoxWithIcon",
     [](CWnd& w) { return w.MessageBox("失败", nullptr, MB_OKCANCEL | MB_ICONHAND); }, MB_OKCANCEL, MB_ICONHAND,
     nullptr, IDCANCEL},
    // The application's box: its name as caption, and a warning icon for OK
    // boxes, a question icon for Yes/No boxes, unless an icon is asked for.
    {"AppOkBoxWarns", [](CWnd&) { return AfxMessageBox("请先选择盘符"); }, MB_OK, MB_ICONEXCLAMATION, nullptr, IDOK},
    {"AppOkCancelBoxWarns", [](CWnd&) { return AfxMessageBox("继续？", MB_OKCANCEL); }, MB_OKCANCEL,
     MB_ICONEXCLAMATION, nullptr, IDCANCEL},
    {"AppYesNoBoxAsks", [](CWnd&) { return AfxMessageBox("继续？", MB_YESNO); }, MB_YESNO, MB_ICONQUESTION, nullptr,
     IDYES},
    {"AppBoxKeepsItsIcon", [](CWnd&) { return AfxMessageBox("完成", MB_OK | MB_ICONINFORMATION); }, MB_OK,
     MB_ICONINFORMATION, nullptr, IDOK},
};

class MessageBoxTest : public HostedPageTest, public ::testing::WithParamInterface<BoxCase> {
protected:
    ScriptedResponder m_responder;
};

TEST_P(MessageBoxTest, ShowsWhatWasAskedAndReturnsTheAnswer)
{
    const BoxCase& c = GetParam();
    const struct {
        const char* name;
        const char* appName;  // nullptr: no application object
    } apps[] = {{"without an application object", nullptr}, {"with an application object", "Ostrane 测试"}};
    for (const auto& app : apps) {
        SCOPED_TRACE(app.name);
        std::optional<CWinApp> application;
        if (app.appName) {
            application.emplace(app.appName);
            application->m_pMainWnd = &m_host;
        }
        // Without an application object the name is the program's file name.
        std::string appName = app.appName ? app.appName : "fw_tests";
        ASSERT_EQ(std::string(AfxGetAppName()), appName);

        m_responder.Clear();
        m_responder.AnswerNextBox(c.answer);
        CDialog page(IDD_USB_TOOLS_PAGE);
        CreatePage(page, IDD_USB_TOOLS_PAGE);
        EXPECT_EQ(c.ask(page), c.answer);

        ASSERT_EQ(m_responder.Boxes().size(), 1u);
        const ShownBox& box = m_responder.Boxes()[0];
        EXPECT_EQ(box.caption, c.caption ? c.caption : appName);
        EXPECT_EQ(box.buttons, c.buttons);
        EXPECT_EQ(box.icon, c.icon);
        // A window's box is owned by the window; the application's by its
        // main window, when there is one.
        bool windowBox = std::string(c.name).rfind("Window", 0) == 0;
        HWND owner = windowBox ? page.m_hWnd : (app.appName ? m_host.m_hWnd : nullptr);
        EXPECT_EQ(box.owner, owner);
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, MessageBoxTest, ::testing::ValuesIn(kBoxCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The framework's own responder: a real message box with the buttons of a
// Chinese Windows; the button the user presses gives the answer.
struct RealBoxCase {
    const char* name;
    UINT type;
    const char* press;  // a button's text, or nullptr for the Escape key
    int answer;
    QMessageBox::Icon icon;
};

std::ostream& operator<<(std::ostream& out, const RealBoxCase& c)
{
    return out << c.name;
}

class RealMessageBoxTest : public HostedPageTest, public ::testing::WithParamInterface<RealBoxCase> {};

TEST_P(RealMessageBoxTest, PressedButtonGivesTheAnswer)
{
    const RealBoxCase& c = GetParam();
    struct Seen {
        QString title, text;
        QStringList buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool ownedByHost = false;
    } seen;
    // Once the box runs its modal loop, read it and press.
    QTimer::singleShot(0, WidgetOf(m_host), [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.ownedByHost = box->parentWidget() == WidgetOf(m_host);
        QAbstractButton* pressed = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            seen.buttons << button->text();
            if (c.press && button->text() == QString::fromUtf8(c.press))
                pressed = button;
        }
        if (c.press == nullptr) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (pressed != nullptr) {
            pressed->click();
        } else {
            ADD_FAILURE() << "no button " << c.press;
            box->reject();
        }
    });
    EXPECT_EQ(m_host.MessageBox("正文", "标题", c.type), c.answer);
    EXPECT_EQ(seen.title.toStdString(), "标题");
    EXPECT_EQ(seen.text.toStdString(), "正文");
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_TRUE(seen.ownedByHost);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, RealMessageBoxTest,
    ::testing::Values(RealBoxCase{"OkPressed", MB_OK, "确定", IDOK, QMessageBox::NoIcon},
                      RealBoxCase{"OkEscaped", MB_OK | MB_ICONINFORMATION, nullptr, IDOK, QMessageBox::Information},
                      RealBoxCase{"OkCancelEscaped", MB_OKCANCEL, nullptr, IDCANCEL, QMessageBox::NoIcon},
                      RealBoxCase{"YesPressed", MB_YESNO | MB_ICONQUESTION, "是(&Y)", IDYES, QMessageBox::Question},
                      RealBoxCase{"NoPressed", MB_YESNO | MB_ICONEXCLAMATION, "否(&N)", IDNO, QMessageBox::Warning},
                      RealBoxCase{"CancelPressed", MB_YESNOCANCEL | MB_ICONHAND, "取消", IDCANCEL,
                                  QMessageBox::Critical}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ostrane::fwtest

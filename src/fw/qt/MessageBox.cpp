// SPDX-License-Identifier: GPL-3.0-or-later
// MessageBox.cpp - message boxes and the folder picker as Qt dialogs, and the
// application-wide message box.

#include "fw/ModalResponder.h"
#include "fw/WinApp.h"
#include "fw/qt/Window.h"
#include "platform/posix/files/Drives.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace ostrane::fw;

namespace {

QMessageBox::Icon IconOf(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Shows real dialogs, with the button texts of a Chinese Windows.
class WindowResponder : public CModalResponder {
public:
    int ShowMessageBox(const MessageBoxRequest& request) override
    {
        QWidget* owner = WidgetOf(request.owner);
        QMessageBox box(IconOf(request.type), ToQString(request.caption), ToQString(request.text),
                        QMessageBox::NoButton, owner ? owner->window() : nullptr);
        struct Choice {
            const char* text;
            int result;
            QMessageBox::ButtonRole role;
        };
        std::vector<Choice> choices;
        switch (request.type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            choices = {{"确定", IDOK, QMessageBox::AcceptRole}, {"取消", IDCANCEL, QMessageBox::RejectRole}};
            break;
        case MB_YESNO:
            choices = {{"是(&Y)", IDYES, QMessageBox::YesRole}, {"否(&N)", IDNO, QMessageBox::NoRole}};
            break;
        case MB_YESNOCANCEL:
            choices = {{"是(&Y)", IDYES, QMessageBox::YesRole},
                       {"否(&N)", IDNO, QMessageBox::NoRole},
                       {"取消", IDCANCEL, QMessageBox::RejectRole}};
            break;
        default:
            choices = {{"确定", IDOK, QMessageBox::AcceptRole}};
            break;
        }
        std::vector<QPushButton*> buttons;
        for (const Choice& choice : choices)
            buttons.push_back(box.addButton(QString::fromUtf8(choice.text), choice.role));
        box.setDefaultButton(buttons.front());
        box.exec();
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (box.clickedButton() == buttons[i])
                return choices[i].result;
        }
        // Closed without a button: Esc or the close box mean Cancel, or OK in
        // a box that has only OK.
        return (request.type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }

    bool ChooseFolder(HWND owner, const CString& title, CString& folder) override
    {
        QWidget* ownerWidget = WidgetOf(owner);
        QString chosen = QFileDialog::getExistingDirectory(ownerWidget ? ownerWidget->window() : nullptr,
                                                           ToQString(title));
        if (chosen.isEmpty())
            return false;
        // A folder that lies on none of the drives has no Windows path.
        auto windowsPath = ostrane::platform::WindowsPathOf(chosen.toStdString());
        if (!windowsPath)
            return false;
        folder = windowsPath->c_str();
        return true;
    }
};

}  // namespace

namespace ostrane::fw {

CModalResponder& WindowSystemResponder()
{
    static WindowResponder responder;
    return responder;
}

}  // namespace ostrane::fw

int AfxMessageBox(LPCSTR text, UINT type, UINT)
{
    return OnWindowThread([&] { return AfxGetModalResponder().ShowMessageBox(ApplicationMessageBox(text, type)); });
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Widgets.cpp - dialog and control widgets, and a dialog's windows from its
// template.

#include "fw/qt/Widgets.h"

#include "fw/Controls.h"
#include "fw/DefaultProcessing.h"
#include "fw/Dialog.h"
#include "fw/qt/Icons.h"
#include "fw/qt/ListView.h"
#include "fw/qt/TabControl.h"
#include "fw/qt/Window.h"
#include "platform/WinUser.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <cmath>
#include <strings.h>

namespace ostrane::fw {
namespace {

// MulDiv of the Windows API: rounds half away from zero.
int MulDiv(int number, int numerator, int denominator)
{
    return static_cast<int>(std::lround(static_cast<double>(number) * numerator / denominator));
}

bool IsClass(const char* className, const char* name)
{
    return strcasecmp(className, name) == 0;
}

// Static texts and group boxes never take the focus.
bool TakesFocus(const resources::DialogControl& control)
{
    if (IsClass(control.className, "Static"))
        return false;
    return !(IsClass(control.className, "Button") && (control.style & BS_TYPEMASK) == BS_GROUPBOX);
}

QWidget* CreateButton(const resources::DialogControl& control, QWidget* parent, std::unique_ptr<CWnd>& object)
{
    object = std::make_unique<CButton>();
    if ((control.style & BS_TYPEMASK) == BS_GROUPBOX) {
        auto* box = new QGroupBox(ToQString(control.text), parent);
        // A group box only frames its neighbours: it takes no clicks and
        // stays beneath them.
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        return box;
    }
    auto* button = new QPushButton(ToQString(control.text), parent);
    button->setAutoDefault((control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
    QObject::connect(button, &QPushButton::clicked, button,
                     [button] { NotifyParent(HandleOf(button), WM_COMMAND, BN_CLICKED); });
    return button;
}

QWidget* CreateStatic(const resources::DialogControl& control, QWidget* parent, std::unique_ptr<CWnd>& object)
{
    object = std::make_unique<CStatic>();
    auto* label = new QLabel(parent);
    if ((control.style & SS_TYPEMASK) == SS_BITMAP) {
        label->setPixmap(LoadBitmapResource(control.textOrdinal));
        return label;
    }
    label->setTextFormat(Qt::PlainText);
    label->setText(ToQString(control.text));
    label->setWordWrap((control.style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP &&
                       (control.style & SS_TYPEMASK) != SS_SIMPLE);
    Qt::Alignment horizontal = (control.style & SS_TYPEMASK) == SS_CENTER ? Qt::AlignHCenter
                               : (control.style & SS_TYPEMASK) == SS_RIGHT ? Qt::AlignRight
                                                                           : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget* CreateEdit(const resources::DialogControl& control, QWidget* parent, std::unique_ptr<CWnd>& object)
{
    object = std::make_unique<CEdit>();
    auto* edit = new QLineEdit(ToQString(control.text), parent);
    edit->setReadOnly((control.style & ES_READONLY) != 0);
    edit->setFrame((control.style & WS_BORDER) != 0);
    return edit;
}

QWidget* CreateControlWidget(const resources::DialogControl& control, QWidget* parent, std::unique_ptr<CWnd>& object)
{
    if (IsClass(control.className, "Button"))
        return CreateButton(control, parent, object);
    if (IsClass(control.className, "Static"))
        return CreateStatic(control, parent, object);
    if (IsClass(control.className, "Edit"))
        return CreateEdit(control, parent, object);
    if (IsClass(control.className, "ComboBox")) {
        object = std::make_unique<CComboBox>();
        return new ComboBoxWidget(parent, control.style);
    }
    if (IsClass(control.className, "SysListView32")) {
        object = std::make_unique<CListCtrl>();
        return new ListView(parent, control.style);
    }
    if (IsClass(control.className, "SysTabControl32")) {
        object = std::make_unique<CTabCtrl>();
        return new TabControl(parent, control.style, control.exStyle);
    }
    return nullptr;
}

QWidget* ClientAreaOf(QWidget* widget)
{
    if (auto* tabs = dynamic_cast<TabControl*>(widget))
        return tabs->Client();
    return widget;
}

}  // namespace

DialogWidget::DialogWidget(QWidget* parent, bool child) : QDialog(parent), m_child(child)
{
    if (child)
        setWindowFlags(Qt::Widget);
}

void DialogWidget::EndWith(int result)
{
    if (m_child || !isModal())
        hide();
    if (!m_child)
        QDialog::done(result);
}

void DialogWidget::paintEvent(QPaintEvent* event)
{
    HandleWithDefault(HandleOf(this), WM_PAINT, 0, 0, [this, event] {
        QDialog::paintEvent(event);
        return LRESULT{0};
    });
}

void DialogWidget::keyPressEvent(QKeyEvent* event)
{
    // A page leaves Enter and Esc to the window it lives in.
    if (m_child) {
        QWidget::keyPressEvent(event);
        return;
    }
    QDialog::keyPressEvent(event);
}

void DialogWidget::reject()
{
    if (auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(HandleOf(this))))
        dialog->OnCancel();
    else
        QDialog::reject();
}

void DialogWidget::accept()
{
    if (auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(HandleOf(this))))
        dialog->OnOK();
    else
        QDialog::accept();
}

ComboBoxWidget::ComboBoxWidget(QWidget* parent, DWORD style)
    : QComboBox(parent), m_sorted((style & CBS_SORT) != 0)
{
    setEditable((style & 3) == CBS_DROPDOWN || (style & 3) == CBS_SIMPLE);
    setMaxVisibleItems(12);
    // Qt's list closes before it makes the item taken current. These filters
    // come after the list's own, so they see the input first.
    view()->installEventFilter(this);
    view()->viewport()->installEventFilter(this);
}

bool ComboBoxWidget::eventFilter(QObject* watched, QEvent* event)
{
    bool taking = false;
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        taking = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select;
    } else if (event->type() == QEvent::MouseButtonRelease && watched == view()->viewport()) {
        taking = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    }
    m_taking = -1;
    if (taking && view()->isVisible() && view()->currentIndex().isValid()) {
        m_taking = view()->currentIndex().row();
        // Good for this input only, whether or not it closes the list.
        QMetaObject::invokeMethod(this, [this] { m_taking = -1; }, Qt::QueuedConnection);
    }
    return QComboBox::eventFilter(watched, event);
}

void ComboBoxWidget::hidePopup()
{
    // Qt also hides a list that is not open, when the combo box is disabled:
    // only a list that really closes is a close-up.
    bool open = view()->isVisible();
    if (m_taking >= 0 && m_taking < count())
        setCurrentIndex(m_taking);
    m_taking = -1;
    QComboBox::hidePopup();
    // The chosen item is already current when the list closes.
    if (open)
        NotifyParent(HandleOf(this), WM_COMMAND, CBN_CLOSEUP);
}

QSize DialogBaseUnits(const QFont& font)
{
    // Measuring lays the alphabet out, which every page of a window would
    // repeat for the same font: each font is measured once. Called on the
    // window thread only, as dialogs are made there.
    static QHash<QString, QSize> measured;
    QString key = font.key();
    if (auto known = measured.constFind(key); known != measured.constEnd())
        return *known;
    QFontMetrics metrics(font);
    int alphabet = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    QSize units((alphabet / 26 + 1) / 2, metrics.height());
    measured.insert(key, units);
    return units;
}

QFont TemplateFont(const resources::DialogTemplate& dialogTemplate)
{
    QFont font;
    if ((dialogTemplate.style & DS_SETFONT) == 0 || dialogTemplate.fontName == nullptr)
        return font;
    // "宋体" (SimSun) is a Windows font. AR PL UMing, a Song face of the same
    // metrics (6 by 12 pixels at 9 points), stands in for it; other Chinese
    // fonts come after.
    font.setFamilies({ToQString(dialogTemplate.fontName), QStringLiteral("SimSun"),
                      QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    // Points at the 96 dots per inch of a standard Windows display.
    font.setPixelSize(MulDiv(dialogTemplate.pointSize, 96, 72));
    font.setWeight(dialogTemplate.weight >= 600 ? QFont::Bold : QFont::Normal);
    font.setItalic(dialogTemplate.italic != 0);
    return font;
}

QRect DialogUnitsToPixels(const QSize& baseUnits, int x, int y, int cx, int cy)
{
    return QRect(MulDiv(x, baseUnits.width(), 4), MulDiv(y, baseUnits.height(), 8),
                 MulDiv(cx, baseUnits.width(), 4), MulDiv(cy, baseUnits.height(), 8));
}

HWND CreateDialogWindow(const resources::DialogTemplate& dialogTemplate, QWidget* parent, CWnd* owner)
{
    bool child = (dialogTemplate.style & WS_CHILD) != 0;
    auto* dialog = new DialogWidget(parent, child);
    dialog->setFont(TemplateFont(dialogTemplate));
    QSize baseUnits = DialogBaseUnits(dialog->font());
    QRect frame = DialogUnitsToPixels(baseUnits, dialogTemplate.x, dialogTemplate.y, dialogTemplate.cx,
                                      dialogTemplate.cy);
    if (child) {
        dialog->setGeometry(frame);
        if ((dialogTemplate.style & WS_VISIBLE) == 0)
            dialog->hide();
    } else {
        dialog->setFixedSize(frame.size());
        dialog->setWindowTitle(ToQString(dialogTemplate.caption));
    }
    dialog->setEnabled((dialogTemplate.style & WS_DISABLED) == 0);

    auto* handle = new HWND__(dialog, dialog, 0, dialogTemplate.style, dialogTemplate.exStyle);
    handle->object = owner;
    owner->m_hWnd = handle;

    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        const auto& control = dialogTemplate.controls[i];
        std::unique_ptr<CWnd> object;
        QWidget* widget = CreateControlWidget(control, dialog, object);
        if (widget == nullptr) {
            owner->m_hWnd = nullptr;
            handle->object = nullptr;
            delete dialog;
            return nullptr;
        }
        widget->setGeometry(DialogUnitsToPixels(baseUnits, control.x, control.y, control.cx, control.cy));
        if ((control.style & SS_TYPEMASK) == SS_BITMAP && IsClass(control.className, "Static"))
            widget->resize(widget->sizeHint());
        // A combo box's template height includes its drop-down list; the
        // closed box is as tall as its text needs.
        if (IsClass(control.className, "ComboBox"))
            widget->resize(widget->width(), widget->sizeHint().height());
        if (auto* tabs = dynamic_cast<TabControl*>(widget))
            tabs->LayOutClient();
        widget->setEnabled((control.style & WS_DISABLED) == 0);
        widget->setFocusPolicy(TakesFocus(control) ? ((control.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus)
                                                   : Qt::NoFocus);
        widget->setVisible((control.style & WS_VISIBLE) != 0);
        auto* controlHandle = new HWND__(widget, ClientAreaOf(widget), control.id, control.style, control.exStyle);
        controlHandle->ownObject = std::move(object);
        controlHandle->object = controlHandle->ownObject.get();
        controlHandle->object->m_hWnd = controlHandle;
    }
    for (QGroupBox* box : dialog->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
        box->lower();
    return handle;
}

}  // namespace ostrane::fw

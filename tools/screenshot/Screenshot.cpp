// SPDX-License-Identifier: GPL-3.0-or-later
// Screenshot.cpp - grabs the main window, one picture per tab, to PNG files.
//
//     ostrane-screenshot [--windows DIR] OUTPUT_DIRECTORY [SCAN_FOLDER]
//
// Runs without a display (offscreen); writes main-window.png (the first tab,
// as the program starts) and tab-N.png for every tab; on the process
// manager's tab the tool's own process is clicked, to show its modules. With
// a scan folder (a Windows path) the virus-scan page has a tab too: it scans
// the folder (scan-found.png), then removes every file found
// (scan-removed.png). The signature database is the current directory's.
// With --windows the window acts on the Windows installation mounted at DIR.

#include "app/MainDlg.h"
#include "fw/qt/Application.h"
#include "fw/qt/Window.h"
#include "platform/WindowsInstallation.h"

#include <QAbstractItemView>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTabBar>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

void Click(QWidget* widget, QPointF point)
{
    QMouseEvent press(QEvent::MouseButtonPress, point, widget->mapToGlobal(point), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, point, widget->mapToGlobal(point), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

void PressTab(QTabBar* tabs, int index)
{
    Click(tabs, tabs->tabRect(index).center());
}

// On the process manager's tab, clicks this program's own row, so that the
// picture shows a module list as well.
void ClickOwnProcess(QWidget* window)
{
    for (auto* view : window->findChildren<QAbstractItemView*>()) {
        CWnd* list = CWnd::FromHandle(ostrane::fw::HandleOf(view));
        if (!view->isVisible() || list == nullptr || list->GetDlgCtrlID() != IDC_PROCESS_LIST)
            continue;
        QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            QModelIndex index = model->index(row, 0);
            if (model->data(index).toString() == QString::number(getpid())) {
                view->scrollTo(index);
                Click(view->viewport(), view->visualRect(index).center());
                return;
            }
        }
    }
}

bool Save(QWidget* window, const QDir& directory, const QString& name)
{
    QApplication::processEvents();
    QString path = directory.filePath(name);
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "ostrane-screenshot: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The control with the id on the visible page.
CWnd* Control(QWidget* window, int id)
{
    for (auto* widget : window->findChildren<QWidget*>()) {
        CWnd* control = CWnd::FromHandle(ostrane::fw::HandleOf(widget));
        if (widget->isVisible() && control != nullptr && control->GetDlgCtrlID() == id)
            return control;
    }
    return nullptr;
}

// Clicks the page's button and waits until the run it starts has ended.
bool RunToTheEnd(QWidget* window, int buttonId, const char* idleText)
{
    CWnd* button = Control(window, buttonId);
    if (button == nullptr)
        return false;
    QWidget* widget = ostrane::fw::WidgetOf(button->m_hWnd);
    Click(widget, widget->rect().center());
    QElapsedTimer timer;
    timer.start();
    CString text;
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        button->GetWindowText(text);
    } while ((text != idleText || !Control(window, IDC_SCAN_RANGE)->IsWindowEnabled() || timer.elapsed() < 300) &&
             timer.elapsed() < 60000);
    return timer.elapsed() < 60000;
}

bool ShowScan(QWidget* window, const QDir& directory, const char* folder)
{
    Control(window, IDC_SCAN_PATH)->SetWindowText(folder);
    if (!RunToTheEnd(window, IDC_SCAN, "扫描") || !Save(window, directory, QStringLiteral("scan-found.png")))
        return false;
    auto* results = dynamic_cast<CListCtrl*>(Control(window, IDC_SCAN_RESULTS));
    for (int row = 0; results != nullptr && row < results->GetItemCount(); ++row)
        results->SetCheck(row, TRUE);
    return RunToTheEnd(window, IDC_KILL, "查杀") && Save(window, directory, QStringLiteral("scan-removed.png"));
}


}  // namespace

int main(int argc, char** argv)
{
    std::string installation;
    if (argc >= 3 && std::string(argv[1]) == "--windows") {
        installation = argv[2];
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: ostrane-screenshot [--windows DIR] OUTPUT_DIRECTORY [SCAN_FOLDER]\n");
        return 2;
    }
    std::string problem;
    std::vector<std::string> notes;
    if (!installation.empty() && !ostrane::platform::UseWindowsInstallation(installation, "", problem, notes)) {
        std::fprintf(stderr, "ostrane-screenshot: %s\n", problem.c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ostrane::fw::ConfigureApplication(application);
    QDir directory(QString::fromLocal8Bit(argv[1]));
    if (!directory.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "ostrane-screenshot: cannot create %s\n", argv[1]);
        return 1;
    }

    const char* scanFolder = argc == 3 ? argv[2] : nullptr;
    CMainDlg dialog(scanFolder != nullptr);
    if (!dialog.Create(IDD_MAIN)) {
        std::fprintf(stderr, "ostrane-screenshot: the main window could not be created\n");
        return 1;
    }
    QWidget* window = ostrane::fw::WidgetOf(dialog.m_hWnd);
    QTabBar* tabs = window->findChild<QTabBar*>();
    bool saved = Save(window, directory, QStringLiteral("main-window.png"));
    for (int i = 0; tabs != nullptr && i < tabs->count(); ++i) {
        PressTab(tabs, i);
        ClickOwnProcess(window);
        saved = Save(window, directory, QStringLiteral("tab-%1.png").arg(i + 1)) && saved;
        if (scanFolder != nullptr && tabs->tabText(i) == QStringLiteral("病毒查杀"))
            saved = ShowScan(window, directory, scanFolder) && saved;
    }
    return saved ? 0 : 1;
}

// Screenshot.cpp - grabs the main window, one picture per tab, to PNG files.
//
//     ostrane-screenshot OUTPUT_DIRECTORY
//
// Runs without a display (offscreen); writes main-window.png (the first tab,
// as the program starts) and tab-N.png for every tab.

#include "app/MainDlg.h"
#include "fw/qt/Application.h"
#include "fw/qt/Window.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTabBar>

#include <cstdio>

namespace {

void PressTab(QTabBar* tabs, int index)
{
    QPointF point = tabs->tabRect(index).center();
    QMouseEvent press(QEvent::MouseButtonPress, point, tabs->mapToGlobal(point), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, point, tabs->mapToGlobal(point), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(tabs, &press);
    QApplication::sendEvent(tabs, &release);
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrane-screenshot OUTPUT_DIRECTORY\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ostrane::fw::ConfigureApplication(application);
    QDir directory(QString::fromLocal8Bit(argv[1]));
    if (!directory.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "ostrane-screenshot: cannot create %s\n", argv[1]);
        return 1;
    }

    CMainDlg dialog;
    if (!dialog.Create(IDD_MAIN)) {
        std::fprintf(stderr, "ostrane-screenshot: the main window could not be created\n");
        return 1;
    }
    QWidget* window = ostrane::fw::WidgetOf(dialog.m_hWnd);
    QTabBar* tabs = window->findChild<QTabBar*>();
    bool saved = Save(window, directory, QStringLiteral("main-window.png"));
    for (int i = 0; tabs != nullptr && i < tabs->count(); ++i) {
        PressTab(tabs, i);
        saved = Save(window, directory, QStringLiteral("tab-%1.png").arg(i + 1)) && saved;
    }
    return saved ? 0 : 1;
}

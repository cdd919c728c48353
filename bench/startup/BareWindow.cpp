// SPDX-License-Identifier: GPL-3.0-or-later
// BareWindow.cpp - the start-up benchmark's reference: a bare Qt window of
// the main window's shape, with no work behind it. A banner bitmap above six
// tabs, each holding a list with three columns and a row of buttons, in the
// main window's style and font, with Chinese captions as the real ones.
//
//     bare-window BANNER.bmp

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        application.setStyle(style);
    QFont font = application.font();
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    application.setFont(font);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Ostrane"));
    window.resize(740, 622);
    auto* layout = new QVBoxLayout(&window);
    auto* banner = new QLabel;
    banner->setPixmap(QPixmap(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString()));
    layout->addWidget(banner);

    auto* tabs = new QTabWidget;
    const char* captions[] = {"U盘工具", "进程管理器", "启动管理器", "系统修复", "病毒查杀", "关于"};
    for (const char* caption : captions) {
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        auto* list = new QTreeWidget;
        list->setHeaderLabels({QStringLiteral("名称"), QStringLiteral("路径"), QStringLiteral("状态")});
        list->setRootIsDecorated(false);
        pageLayout->addWidget(list);
        auto* buttons = new QHBoxLayout;
        for (const char* text : {"全选", "反选", "修复", "刷新"})
            buttons->addWidget(new QPushButton(QString::fromUtf8(text)));
        buttons->addWidget(new QLabel(QStringLiteral("共 0 项")));
        pageLayout->addLayout(buttons);
        tabs->addTab(page, QString::fromUtf8(caption));
    }
    layout->addWidget(tabs);
    window.show();
    return application.exec();
}

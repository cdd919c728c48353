// SPDX-License-Identifier: GPL-3.0-or-later
// make-artwork: writes Ostrane's banner, icon and the two USB storage driver
// files into a resource directory.
//
//   make-artwork OUTDIR [--preview DIR]
//
// OUTDIR receives banner.bmp, ostrane.ico, usbstor.inf and usbstor.pnf, and
// icons/ostrane-N.png, the icon at each size desktops ask for.
// With --preview, the written bitmap and each icon image are read back and
// saved enlarged as PNG files in DIR, for a look at the result.

#include "Artwork.h"
#include "Dib.h"
#include "UsbStorInf.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

QImage onChecks(const QImage &img, int scale)
{
    QImage out(img.width() * scale, img.height() * scale, QImage::Format_RGB32);
    QPainter p(&out);
    const int cell = 4 * scale;
    for (int y = 0; y < out.height(); y += cell)
        for (int x = 0; x < out.width(); x += cell)
            p.fillRect(x, y, cell, cell, ((x + y) / cell) % 2 ? QColor(200, 200, 200) : Qt::white);
    p.drawImage(out.rect(), img);
    return out;
}

// The desktop icons, N x N with full alpha: the .ico's pixel-placed drawings
// at 16 and 32, the smooth one where the plug has room for its shapes.
struct DesktopIcon {
    int size;
    artwork::IconStyle style;
};
const DesktopIcon kDesktopIcons[] = {
    {16, artwork::IconStyle::SmallColour}, {24, artwork::IconStyle::Smooth},
    {32, artwork::IconStyle::Colour},      {48, artwork::IconStyle::Smooth},
    {64, artwork::IconStyle::Smooth},      {128, artwork::IconStyle::Smooth},
    {256, artwork::IconStyle::Smooth},
};

QString desktopIconPath(const QString &res, int size)
{
    return res + QStringLiteral("/icons/ostrane-%1.png").arg(size);
}

void writeDesktopIcons(const QString &res)
{
    if (!QDir().mkpath(res + QStringLiteral("/icons")))
        throw std::runtime_error("cannot create " + res.toStdString() + "/icons");
    for (const DesktopIcon &icon : kDesktopIcons) {
        const QString path = desktopIconPath(res, icon.size);
        if (!artwork::drawIcon(icon.size, icon.style).save(path, "PNG"))
            throw std::runtime_error("cannot write " + path.toStdString());
    }
}

void writePreviews(const QString &res, const QString &dir)
{
    QImage banner(res + QStringLiteral("/banner.bmp"));
    if (banner.isNull())
        throw std::runtime_error("banner.bmp does not read back");
    banner.scaled(banner.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(dir + QStringLiteral("/banner-x2.png"));

    QImageReader icons(res + QStringLiteral("/ostrane.ico"));
    const int count = icons.imageCount();
    for (int i = 0; i < count; ++i) {
        if (!icons.jumpToImage(i))
            break;
        const QImage img = icons.read();
        if (img.isNull())
            throw std::runtime_error("an icon image does not read back");
        onChecks(img.convertToFormat(QImage::Format_ARGB32), 256 / img.width())
            .save(dir + QStringLiteral("/icon-%1-%2px.png").arg(i).arg(img.width()));
    }

    for (const DesktopIcon &icon : kDesktopIcons) {
        const QImage img(desktopIconPath(res, icon.size));
        if (img.isNull())
            throw std::runtime_error("a desktop icon does not read back");
        onChecks(img, std::max(1, 256 / icon.size))
            .save(dir + QStringLiteral("/desktop-%1px.png").arg(icon.size));
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    std::string outDir, previewDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc)
            previewDir = argv[++i];
        else if (outDir.empty() && arg.rfind("--", 0) != 0)
            outDir = arg;
        else {
            std::fprintf(stderr, "usage: make-artwork OUTDIR [--preview DIR]\n");
            return 2;
        }
    }
    if (outDir.empty()) {
        std::fprintf(stderr, "usage: make-artwork OUTDIR [--preview DIR]\n");
        return 2;
    }

    try {
        using namespace artwork;
        loadFonts();

        writeFile(outDir + "/banner.bmp", encodeBmp24(drawBanner()));

        // Order matters: the resource script's icon group lists them so.
        writeFile(outDir + "/ostrane.ico",
                  encodeIco({
                      {32, 4, drawIcon(32, IconStyle::Colour)},
                      {16, 4, drawIcon(16, IconStyle::SmallColour)},
                      {32, 1, drawIcon(32, IconStyle::Mono)},
                      {32, 8, drawIcon(32, IconStyle::Colour)},
                  }));

        const Bytes inf = buildUsbStorInf();
        writeFile(outDir + "/usbstor.inf", inf);
        writeFile(outDir + "/usbstor.pnf", compileUsbStorPnf(inf));

        writeDesktopIcons(QString::fromStdString(outDir));

        if (!previewDir.empty())
            writePreviews(QString::fromStdString(outDir), QString::fromStdString(previewDir));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make-artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "Artwork.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <initializer_list>
#include <stdexcept>

namespace artwork {

namespace {

const char *const kLatinFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char *const kCjkFontFile = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";

QString g_latinFamily;
QString g_cjkFamily;

QString addFont(const char *file)
{
    const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(file));
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        throw std::runtime_error(std::string("cannot load font ") + file);
    return families.first();
}

// The shield outline inside rectangle r: a flat-shouldered top that rises to
// a crest in the middle, straight sides, and curved flanks meeting in a point.
QPainterPath shieldPath(const QRectF &r)
{
    const double l = r.left(), t = r.top(), w = r.width(), h = r.height();
    const double cx = l + w / 2, rt = r.right(), b = r.bottom();
    const double shoulder = t + 0.10 * h, flank = t + 0.45 * h;
    QPainterPath p;
    p.moveTo(cx, t);
    p.cubicTo(cx + 0.16 * w, t + 0.075 * h, cx + 0.32 * w, shoulder, rt, shoulder);
    p.lineTo(rt, flank);
    p.cubicTo(rt, t + 0.74 * h, cx + 0.24 * w, t + 0.90 * h, cx, b);
    p.cubicTo(cx - 0.24 * w, t + 0.90 * h, l, t + 0.74 * h, l, flank);
    p.lineTo(l, shoulder);
    p.cubicTo(cx - 0.32 * w, shoulder, cx - 0.16 * w, t + 0.075 * h, cx, t);
    p.closeSubpath();
    return p;
}

// Design space: a 116 x 116 box, shield centred on x = 58.
const QRectF kShieldOuter(10, 2, 96, 112);
const QRectF kShieldInner(18, 11, 80, 93);

struct PlugInk {
    QColor metal, holes, body;
};

// The USB plug that sits on the shield, in design units around x = 58: the
// connector with its two holes, the grip and the cable stub. Used where the
// shield is large enough for smooth shapes (the banner, the large icons).
void drawPlug(QPainter &p, const PlugInk &ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink.metal);
    p.drawRect(QRectF(44, 24, 28, 20));
    p.setBrush(ink.holes);
    p.drawRect(QRectF(48.5, 30, 7, 6));
    p.drawRect(QRectF(60.5, 30, 7, 6));
    p.setBrush(ink.body);
    p.drawRoundedRect(QRectF(38, 44, 40, 32), 6, 6);
    QPainterPath cable;
    cable.moveTo(51, 76);
    cable.lineTo(65, 76);
    cable.lineTo(62, 92);
    cable.lineTo(54, 92);
    cable.closeSubpath();
    p.drawPath(cable);
}

// The same plug placed on whole pixels, for the 32 x 32 and 16 x 16 icons,
// where smoothed edges would only blur it.
void drawPixelPlug(QPainter &p, int size, const PlugInk &ink, bool framed)
{
    p.save();
    p.resetTransform();
    p.setRenderHint(QPainter::Antialiasing, false);
    if (size >= 32) {
        p.fillRect(11, 7, 10, 6, framed ? ink.holes : ink.metal);
        if (framed)
            p.fillRect(12, 8, 8, 4, ink.metal);
        p.fillRect(13, 9, 2, 2, ink.holes);
        p.fillRect(17, 9, 2, 2, ink.holes);
        p.fillRect(10, 13, 12, 8, ink.body);
        p.fillRect(11, 21, 10, 1, ink.body);
        p.fillRect(14, 22, 4, 4, ink.body);
    } else {
        p.fillRect(6, 4, 4, 2, ink.metal);
        p.fillRect(5, 6, 6, 4, ink.body);
        p.fillRect(7, 10, 2, 2, ink.body);
    }
    p.restore();
}

const PlugInk kColourPlug{QColor(0xB4, 0xC4, 0xD8), QColor(0x1A, 0x3C, 0x70),
                         QColor(0xFF, 0xFF, 0xFF)};
// In black and white the connector is an outlined shell, so that the plug
// does not read as one dark blob.
const PlugInk kMonoPlug{Qt::white, Qt::black, Qt::black};

// Full-colour shield, without the plug, in design units.
void drawColourShield(QPainter &p, bool detailed)
{
    p.setRenderHint(QPainter::Antialiasing, true);

    QLinearGradient rim(0, kShieldOuter.top(), 0, kShieldOuter.bottom());
    rim.setColorAt(0.0, QColor(0xF5, 0xF9, 0xFF));
    rim.setColorAt(1.0, QColor(0x8E, 0xA6, 0xC2));
    p.setBrush(rim);
    p.setPen(QPen(QColor(0x08, 0x1C, 0x40), detailed ? 3.0 : 5.0, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.drawPath(shieldPath(kShieldOuter));

    QLinearGradient face(0, kShieldInner.top(), 0, kShieldInner.bottom());
    face.setColorAt(0.0, QColor(0x4F, 0xB3, 0xFF));
    face.setColorAt(0.55, QColor(0x1E, 0x6F, 0xD9));
    face.setColorAt(1.0, QColor(0x0B, 0x3A, 0x8A));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    const QPainterPath inner = shieldPath(kShieldInner);
    p.drawPath(inner);

    if (detailed) {
        // The lit left half of the face.
        p.save();
        p.setClipPath(inner);
        p.setBrush(QColor(255, 255, 255, 46));
        p.drawRect(QRectF(0, 0, 58, 116));
        p.restore();
    }
}

void drawMonoShield(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(Qt::white);
    p.setPen(QPen(Qt::black, 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(shieldPath(QRectF(12, 4, 92, 108)));
}

// Faint circuit traces for the right-hand side of the banner.
void drawTraces(QPainter &p)
{
    struct Trace {
        std::initializer_list<QPointF> points;
        bool padAtEnd;
    };
    const Trace traces[] = {
        {{{318, 10}, {372, 10}, {384, 22}, {430, 22}}, true},
        {{{352, 34}, {398, 34}, {408, 44}, {470, 44}}, false},
        {{{300, 58}, {356, 58}, {366, 48}, {386, 48}}, true},
        {{{396, 72}, {424, 72}, {436, 60}, {470, 60}}, false},
        {{{412, 0}, {412, 8}, {448, 8}}, true},
        {{{330, 81}, {330, 74}, {372, 74}}, true},
    };
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor ink(0x9C, 0xC8, 0xFF, 52);
    for (const Trace &t : traces) {
        QPainterPath path;
        bool first = true;
        for (const QPointF &pt : t.points) {
            if (first)
                path.moveTo(pt);
            else
                path.lineTo(pt);
            first = false;
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        p.drawPath(path);
        const QPointF start = *t.points.begin();
        const QPointF end = *(t.points.end() - 1);
        p.setPen(QPen(ink, 1.4));
        p.setBrush(QColor(0x0E, 0x2E, 0x66));
        p.drawEllipse(start, 2.6, 2.6);
        if (t.padAtEnd) {
            p.setBrush(ink);
            p.drawEllipse(end, 2.6, 2.6);
        }
    }
}

} // namespace

void loadFonts()
{
    g_latinFamily = addFont(kLatinFontFile);
    g_cjkFamily = addFont(kCjkFontFile);
}

QImage drawBanner()
{
    const int w = 463, h = 81;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    // Deep blue ground, brightest behind the title.
    QLinearGradient ground(0, 0, w, 0);
    ground.setColorAt(0.0, QColor(0x07, 0x1B, 0x42));
    ground.setColorAt(0.35, QColor(0x0F, 0x3B, 0x82));
    ground.setColorAt(1.0, QColor(0x0A, 0x26, 0x5A));
    p.fillRect(img.rect(), ground);

    QLinearGradient sheen(0, 0, 0, h);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 30));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
    sheen.setColorAt(1.0, QColor(0, 0, 0, 40));
    p.fillRect(img.rect(), sheen);

    drawTraces(p);

    // Glow behind the shield.
    QRadialGradient glow(QPointF(46, 40), 44);
    glow.setColorAt(0.0, QColor(0x5A, 0xB8, 0xFF, 90));
    glow.setColorAt(1.0, QColor(0x5A, 0xB8, 0xFF, 0));
    p.fillRect(QRectF(0, 0, 100, h), glow);

    // Shield, 66 px high.
    p.save();
    p.translate(12, 6);
    p.scale(68.0 / 116.0, 68.0 / 116.0);
    drawColourShield(p, true);
    drawPlug(p, kColourPlug);
    p.restore();

    // Title.
    QFont title(g_latinFamily);
    title.setPixelSize(38);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    QPainterPath titlePath;
    titlePath.addText(QPointF(90, 43), title, QStringLiteral("Ostrane"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawPath(titlePath.translated(1.5, 2));
    QLinearGradient titleInk(0, 12, 0, 44);
    titleInk.setColorAt(0.0, QColor(0xFF, 0xFF, 0xFF));
    titleInk.setColorAt(1.0, QColor(0xCF, 0xE4, 0xFF));
    p.setBrush(titleInk);
    p.drawPath(titlePath);

    // Accent rule under the title.
    const double ruleRight = 90 + titlePath.boundingRect().width() + 4;
    QLinearGradient rule(90, 0, ruleRight, 0);
    rule.setColorAt(0.0, QColor(0x3F, 0xC1, 0xFF, 230));
    rule.setColorAt(1.0, QColor(0x3F, 0xC1, 0xFF, 0));
    p.fillRect(QRectF(91, 50, ruleRight - 91, 1.5), rule);

    // Chinese subtitle.
    QFont sub(g_cjkFamily);
    sub.setPixelSize(15);
    sub.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    p.setFont(sub);
    p.setPen(QColor(0xD8, 0xE8, 0xFF));
    p.drawText(QPointF(91, 70), QString::fromUtf8("U盘病毒防护与系统修复工具箱"));

    // Version tag, bottom right.
    QFont tag(g_latinFamily);
    tag.setPixelSize(10);
    tag.setBold(true);
    p.setFont(tag);
    p.setPen(QColor(0x8F, 0xB8, 0xEE));
    const QString version = QStringLiteral("v0.6");
    const int tagWidth = QFontMetrics(tag).horizontalAdvance(version);
    p.drawText(QPointF(w - 10 - tagWidth, h - 9), version);

    // Bottom edge.
    QLinearGradient edge(0, 0, w, 0);
    edge.setColorAt(0.0, QColor(0x3F, 0xC1, 0xFF));
    edge.setColorAt(0.6, QColor(0x1F, 0x7A, 0xE0));
    edge.setColorAt(1.0, QColor(0x0C, 0x33, 0x78));
    p.fillRect(QRectF(0, h - 2, w, 2), edge);

    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

QImage drawIcon(int size, IconStyle style)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(size / 116.0, size / 116.0);
    switch (style) {
    case IconStyle::Colour:
        drawColourShield(p, true);
        drawPixelPlug(p, size, kColourPlug, false);
        break;
    case IconStyle::SmallColour:
        drawColourShield(p, false);
        drawPixelPlug(p, size, kColourPlug, false);
        break;
    case IconStyle::Mono:
        drawMonoShield(p);
        drawPixelPlug(p, size, kMonoPlug, true);
        break;
    case IconStyle::Smooth:
        drawColourShield(p, true);
        drawPlug(p, kColourPlug);
        break;
    }
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

} // namespace artwork

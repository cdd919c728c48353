// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dib.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <stdexcept>
#include <tuple>

namespace artwork {

void putU8(Bytes &out, std::uint8_t v) { out.push_back(v); }

void putU16(Bytes &out, std::uint16_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void putU32(Bytes &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

void patchU32(Bytes &out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.at(at + i) = std::uint8_t(v >> (8 * i));
}

namespace {

constexpr std::uint32_t kPixelsPerMetre = 3780; // 96 dpi

int rowBytes(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }

void putInfoHeader(Bytes &out, int width, int height, int bitCount, std::uint32_t imageSize,
                   std::uint32_t ppm)
{
    putU32(out, 40); // biSize
    putU32(out, std::uint32_t(width));
    putU32(out, std::uint32_t(height));
    putU16(out, 1); // biPlanes
    putU16(out, std::uint16_t(bitCount));
    putU32(out, 0); // BI_RGB
    putU32(out, imageSize);
    putU32(out, ppm);
    putU32(out, ppm);
    putU32(out, 0); // biClrUsed: the full palette for the bit count
    putU32(out, 0); // biClrImportant
}

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator<(const Rgb &o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Weighted {
    Rgb c;
    long n = 0;
};

// Median cut over a colour histogram: split the box with the widest channel
// until there are `count` boxes, then take each box's weighted mean. The
// histogram comes from a std::map, so the result is fully deterministic.
std::vector<Rgb> medianCut(std::vector<Weighted> colours, int count)
{
    std::vector<Rgb> palette;
    if (colours.empty())
        return palette;
    if (int(colours.size()) <= count) {
        for (const auto &w : colours)
            palette.push_back(w.c);
        return palette;
    }
    struct Box {
        std::size_t begin, end;
    };
    auto channel = [](const Rgb &c, int k) { return k == 0 ? c.r : k == 1 ? c.g : c.b; };
    auto spread = [&](const Box &b, int &widest) {
        int best = -1;
        for (int k = 0; k < 3; ++k) {
            int lo = 255, hi = 0;
            for (std::size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, channel(colours[i].c, k));
                hi = std::max(hi, channel(colours[i].c, k));
            }
            if (hi - lo > best) {
                best = hi - lo;
                widest = k;
            }
        }
        return best;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    while (int(boxes.size()) < count) {
        // Pick the splittable box with the largest spread weighted by population.
        int pick = -1, axis = 0;
        double bestScore = -1;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2)
                continue;
            int k = 0;
            int s = spread(boxes[i], k);
            long pop = 0;
            for (std::size_t j = boxes[i].begin; j < boxes[i].end; ++j)
                pop += colours[j].n;
            double score = double(s) * std::sqrt(double(pop));
            if (s > 0 && score > bestScore) {
                bestScore = score;
                pick = int(i);
                axis = k;
            }
        }
        if (pick < 0)
            break;
        Box b = boxes[pick];
        std::stable_sort(colours.begin() + long(b.begin), colours.begin() + long(b.end),
                         [&](const Weighted &x, const Weighted &y) {
                             return channel(x.c, axis) < channel(y.c, axis);
                         });
        long total = 0;
        for (std::size_t j = b.begin; j < b.end; ++j)
            total += colours[j].n;
        long acc = 0;
        std::size_t cut = b.begin + 1;
        for (std::size_t j = b.begin; j < b.end - 1; ++j) {
            acc += colours[j].n;
            cut = j + 1;
            if (acc * 2 >= total)
                break;
        }
        boxes[pick] = {b.begin, cut};
        boxes.push_back({cut, b.end});
    }
    for (const Box &b : boxes) {
        double r = 0, g = 0, bl = 0, n = 0;
        for (std::size_t j = b.begin; j < b.end; ++j) {
            r += colours[j].c.r * double(colours[j].n);
            g += colours[j].c.g * double(colours[j].n);
            bl += colours[j].c.b * double(colours[j].n);
            n += double(colours[j].n);
        }
        palette.push_back({int(r / n + 0.5), int(g / n + 0.5), int(bl / n + 0.5)});
    }
    // Dark to light, which keeps palettes tidy when inspected.
    std::stable_sort(palette.begin(), palette.end(), [](const Rgb &x, const Rgb &y) {
        int lx = 299 * x.r + 587 * x.g + 114 * x.b, ly = 299 * y.r + 587 * y.g + 114 * y.b;
        return lx != ly ? lx < ly : x < y;
    });
    return palette;
}

int nearest(const std::vector<Rgb> &palette, const Rgb &c)
{
    int best = 0;
    long bestD = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        long dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
        long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = int(i);
        }
    }
    return best;
}

Bytes encodeIconDib(const IconImage &img)
{
    const int n = img.size;
    const QImage art = img.art.convertToFormat(QImage::Format_ARGB32);
    if (art.width() != n || art.height() != n)
        throw std::runtime_error("icon artwork has the wrong size");
    const int colours = 1 << img.bitCount;

    // Opaque pixels and their colours (un-premultiplied).
    std::vector<bool> opaque(std::size_t(n * n));
    std::vector<Rgb> pixels(std::size_t(n * n));
    std::map<Rgb, long> histogram;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            QRgb p = art.pixel(x, y);
            bool on = qAlpha(p) >= 128;
            opaque[std::size_t(y * n + x)] = on;
            Rgb c{qRed(p), qGreen(p), qBlue(p)};
            pixels[std::size_t(y * n + x)] = c;
            if (on)
                ++histogram[c];
        }
    }

    std::vector<Rgb> palette;
    if (img.bitCount == 1) {
        palette = {{0, 0, 0}, {255, 255, 255}};
    } else {
        // Entry 0 stays black: transparent pixels use it so that the
        // AND-then-XOR composition leaves the screen untouched.
        std::vector<Weighted> hist;
        for (const auto &[c, count] : histogram)
            if (!(c == Rgb{0, 0, 0}))
                hist.push_back({c, count});
        palette.push_back({0, 0, 0});
        for (const Rgb &c : medianCut(hist, colours - 1))
            palette.push_back(c);
    }

    const int xorRow = rowBytes(n, img.bitCount);
    const int andRow = rowBytes(n, 1);
    Bytes xorBits(std::size_t(xorRow * n), 0), andBits(std::size_t(andRow * n), 0);
    for (int y = 0; y < n; ++y) {
        const int row = n - 1 - y; // bottom-up
        for (int x = 0; x < n; ++x) {
            const std::size_t i = std::size_t(y * n + x);
            int index = 0;
            if (opaque[i]) {
                if (img.bitCount == 1) {
                    const Rgb &c = pixels[i];
                    index = (299 * c.r + 587 * c.g + 114 * c.b) >= 128000 ? 1 : 0;
                } else {
                    index = nearest(palette, pixels[i]);
                }
            } else {
                andBits[std::size_t(row * andRow + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
            }
            std::uint8_t *rowPtr = &xorBits[std::size_t(row * xorRow)];
            switch (img.bitCount) {
            case 1:
                rowPtr[x / 8] |= std::uint8_t(index << (7 - x % 8));
                break;
            case 4:
                rowPtr[x / 2] |= std::uint8_t(index << (x % 2 ? 0 : 4));
                break;
            case 8:
                rowPtr[x] = std::uint8_t(index);
                break;
            default:
                throw std::runtime_error("unsupported icon bit count");
            }
        }
    }

    Bytes out;
    putInfoHeader(out, n, 2 * n, img.bitCount, std::uint32_t(xorBits.size() + andBits.size()), 0);
    palette.resize(std::size_t(colours)); // unused entries are black
    for (const Rgb &c : palette) {
        putU8(out, std::uint8_t(c.b));
        putU8(out, std::uint8_t(c.g));
        putU8(out, std::uint8_t(c.r));
        putU8(out, 0);
    }
    out.insert(out.end(), xorBits.begin(), xorBits.end());
    out.insert(out.end(), andBits.begin(), andBits.end());
    return out;
}

} // namespace

Bytes encodeBmp24(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    const int stride = rowBytes(w, 24);
    const std::uint32_t imageSize = std::uint32_t(stride * h);
    const std::uint32_t offBits = 14 + 40;

    Bytes out;
    putU8(out, 'B');
    putU8(out, 'M');
    putU32(out, offBits + imageSize); // bfSize
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, offBits);
    putInfoHeader(out, w, h, 24, imageSize, kPixelsPerMetre);
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            putU8(out, std::uint8_t(qBlue(line[x])));
            putU8(out, std::uint8_t(qGreen(line[x])));
            putU8(out, std::uint8_t(qRed(line[x])));
        }
        for (int pad = w * 3; pad < stride; ++pad)
            putU8(out, 0);
    }
    return out;
}

Bytes encodeIco(const std::vector<IconImage> &images)
{
    std::vector<Bytes> dibs;
    for (const IconImage &img : images)
        dibs.push_back(encodeIconDib(img));

    Bytes out;
    putU16(out, 0); // reserved
    putU16(out, 1); // type: icon
    putU16(out, std::uint16_t(images.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage &img = images[i];
        putU8(out, std::uint8_t(img.size == 256 ? 0 : img.size));
        putU8(out, std::uint8_t(img.size == 256 ? 0 : img.size));
        putU8(out, std::uint8_t(img.bitCount >= 8 ? 0 : 1 << img.bitCount)); // bColorCount
        putU8(out, 0);
        putU16(out, 1); // wPlanes
        putU16(out, std::uint16_t(img.bitCount));
        putU32(out, std::uint32_t(dibs[i].size()));
        putU32(out, offset);
        offset += std::uint32_t(dibs[i].size());
    }
    for (const Bytes &dib : dibs)
        out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

void writeFile(const std::string &path, const Bytes &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        throw std::runtime_error("cannot open " + path + " for writing");
    f.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

} // namespace artwork

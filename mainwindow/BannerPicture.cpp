#include "mainwindow/BannerPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tovra {
namespace {

struct Colour {
    double red, green, blue;
};

constexpr Colour kTop{11, 59, 133};      // #0B3B85
constexpr Colour kBottom{156, 200, 245}; // #9CC8F5
constexpr double kDotOpacity = 0.69;     // white over the gradient

struct Dot {
    double x, y, radius;
};

// A column of dots rising from near the bottom, each a little smaller than the one below; the
// lowest keeps clear of the bottom tenth, which a dialog font with shorter lines than Tahoma's on
// Windows (Wine's) pushes past the window's edge. In units of the banner's width and height, so
// that every scale shows the same picture.
std::vector<Dot> Dots(double width, double height) {
    std::vector<Dot> dots;
    for (double y = height - height / 10 - width / 2; y > width; y -= width * 3 / 2)
        dots.push_back({width / 2, y, width / 6 + y * width / 5 / height});
    return dots;
}

std::uint32_t Pixel(const Colour& colour) {
    const auto channel = [](double value) {
        return static_cast<std::uint32_t>(std::clamp(std::lround(value), 0L, 255L));
    };
    return channel(colour.red) << 16 | channel(colour.green) << 8 | channel(colour.blue);
}

} // namespace

UniqueBitmap BannerPicture::Draw(int width, int height) {
    if (width <= 0 || height <= 0)
        return UniqueBitmap();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 is the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr)
        return UniqueBitmap();

    const std::vector<Dot> dots = Dots(width, height);
    auto* row = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y, row += width) {
        const double along = height > 1 ? static_cast<double>(y) / (height - 1) : 0.0;
        const Colour ground{kTop.red + (kBottom.red - kTop.red) * along,
                            kTop.green + (kBottom.green - kTop.green) * along,
                            kTop.blue + (kBottom.blue - kTop.blue) * along};
        for (int x = 0; x < width; ++x) {
            // How much of this pixel a dot covers, from the distance of its centre to the dot's
            // edge: smooth edges without drawing at a larger size first.
            double cover = 0;
            for (const Dot& dot : dots)
                cover = std::max(
                    cover,
                    std::clamp(dot.radius + 0.5 - std::hypot(x + 0.5 - dot.x, y + 0.5 - dot.y), 0.0, 1.0));
            const double white = cover * kDotOpacity;
            row[x] =
                Pixel({ground.red + (255 - ground.red) * white, ground.green + (255 - ground.green) * white,
                       ground.blue + (255 - ground.blue) * white});
        }
    }
    ::GdiFlush();
    return bitmap;
}

bool BannerPicture::Fill(HWND picture) {
    RECT place{};
    if (picture == nullptr || !::GetClientRect(picture, &place))
        return false;
    UniqueBitmap drawn = Draw(place.right, place.bottom);
    if (!drawn)
        return false;
    ::SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(drawn.get()));
    // The static now shows the new picture; the one it showed before may go.
    shown_ = std::move(drawn);
    return true;
}

} // namespace tovra

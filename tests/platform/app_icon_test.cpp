// The application icon at every size the icon theme installs: the picture the
// windows show, scaled, and the PNGs rendered at build time are that picture.
#include "platform/AppIcon.h"

#include "Version.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

using platform::appIconImage;

const QColor kBlue(0, 0, 255), kWhite(255, 255, 255);

class AppIconSize : public ::testing::TestWithParam<int> {};

TEST_P(AppIconSize, IsAnOpaqueBlueOnWhiteFramedWave) {
    const int side = GetParam();
    const QImage icon = appIconImage(side);
    ASSERT_EQ(icon.size(), QSize(side, side));
    EXPECT_FALSE(icon.hasAlphaChannel());
    int blue = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QColor c = icon.pixelColor(x, y);
            ASSERT_TRUE(c == kBlue || c == kWhite) << x << ',' << y;
            if (c == kBlue) ++blue;
        }
    for (int i = 0; i < side; ++i) {
        EXPECT_EQ(icon.pixelColor(i, 0), kBlue) << "top " << i;
        EXPECT_EQ(icon.pixelColor(i, side - 1), kBlue) << "bottom " << i;
        EXPECT_EQ(icon.pixelColor(0, i), kBlue) << "left " << i;
        EXPECT_EQ(icon.pixelColor(side - 1, i), kBlue) << "right " << i;
    }
    // Every column between the margins holds a piece of the wave, and the
    // picture keeps its proportions: a fifth to a third of it is ink at any size.
    const int margin = side * 3 / 32 + 1;
    for (int x = margin; x < side - margin; ++x) {
        int ink = 0;
        for (int y = side / 8; y < side - side / 8; ++y) ink += icon.pixelColor(x, y) == kBlue;
        EXPECT_GT(ink, 0) << "column " << x;
    }
    const double share = static_cast<double>(blue) / (side * side);
    EXPECT_GT(share, 0.12) << side;
    EXPECT_LT(share, 0.40) << side;
}

INSTANTIATE_TEST_SUITE_P(ThemeSizes, AppIconSize, ::testing::Values(16, 32, 48, 128, 256));

TEST(AppIcon, TheWindowIconIsThe32PixelPicture) {
    EXPECT_EQ(platform::appIconPixmap().toImage().convertToFormat(QImage::Format_RGB32), appIconImage(32));
}

TEST(AppIcon, TheRenderedThemeIconsAreTheProgramsPicture) {
    for (int side : {16, 32, 48, 128, 256}) {
        const QString file = QStringLiteral(QZ_ICON_THEME_DIR "/%1x%1/apps/%2.png").arg(side).arg(qz::kDesktopId);
        const QImage png(file);
        ASSERT_FALSE(png.isNull()) << file.toStdString();
        EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), appIconImage(side)) << side;
    }
}

}  // namespace

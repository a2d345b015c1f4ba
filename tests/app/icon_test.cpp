// The PNG for the desktop holds exactly the pixels of the window icon.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include <FL/Fl_PNG_Image.H>

#include "app/icon.h"

TEST(Icon, PngHoldsTheSamePixels) {
    const std::string png = icon_png();
    Fl_PNG_Image image("korvani.png", reinterpret_cast<const unsigned char *>(png.data()),
                       static_cast<int>(png.size()));
    ASSERT_EQ(0, image.fail());
    ASSERT_EQ(ICON_SIZE, image.w());
    ASSERT_EQ(ICON_SIZE, image.h());
    ASSERT_EQ(4, image.d());
    unsigned char rgba[ICON_SIZE * ICON_SIZE * 4];
    icon_pixels(rgba);
    const unsigned char *decoded = reinterpret_cast<const unsigned char *>(image.data()[0]);
    EXPECT_EQ(0, std::memcmp(rgba, decoded, sizeof rgba));
}


// Icon lookup in themes and drawing to PNG, on fixture themes in a throw-away data folder.
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdlib>
#include <fstream>

#include "platform/linux/gdkpixbuf/IconTheme.h"
#include "platform/linux/gdkpixbuf/PixbufIconRenderer.h"
#include "support/Files.h"
#include "support/Scratch.h"

namespace fs = std::filesystem;

namespace {

std::string svg(int width, int height) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) + "\"><rect width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) + "\" fill=\"#c03030\"/></svg>";
}

// Puts fixture icon folders in front of the system's for the life of the fixture.
class IconThemeTest : public ::testing::Test {
 protected:
  IconThemeTest() {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("HOME", scratch.home().c_str(), 1);
    setenv("XDG_DATA_HOME", scratch.dataHome().c_str(), 1);
    // The system folder stays listed: image type detection needs its MIME database.
    setenv("XDG_DATA_DIRS", ((scratch.root() / "system").string() + ":/usr/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", scratch.configHome().c_str(), 1);
    writeFile(icons() / "hicolor/index.theme",
          "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,scalable/apps\n"
          "[48x48/apps]\nSize=48\nType=Threshold\n"
          "[scalable/apps]\nSize=128\nMinSize=8\nMaxSize=512\nType=Scalable\n");
    writeFile(icons() / "Chosen/index.theme",
          "[Icon Theme]\nName=Chosen\nInherits=Parent\nDirectories=16x16/apps,64x64/apps\n"
          "[16x16/apps]\nSize=16\nType=Fixed\n[64x64/apps]\nSize=64\nType=Fixed\n");
    writeFile(icons() / "Parent/index.theme",
          "[Icon Theme]\nName=Parent\nDirectories=32x32/apps\n[32x32/apps]\nSize=32\nType=Fixed\n");
    writeFile(scratch.configHome() / "gtk-3.0/settings.ini",
          "[Settings]\ngtk-icon-theme-name=Chosen\n");
  }
  ~IconThemeTest() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

  fs::path icons() const { return scratch.root() / "system/icons"; }

  Scratch scratch;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

TEST_F(IconThemeTest, TheChosenThemeWinsWithItsBestSizeThenParentsThenHicolorThenPixmaps) {
  writeFile(icons() / "Chosen/16x16/apps/both.png", "x");
  writeFile(icons() / "Chosen/64x64/apps/both.png", "x");
  writeFile(icons() / "hicolor/scalable/apps/both.svg", svg(8, 8));
  writeFile(icons() / "Parent/32x32/apps/inherited.png", "x");
  writeFile(icons() / "hicolor/48x48/apps/plain.png", "x");
  // The user's own icons folder overrides the same theme folder of the system.
  writeFile(scratch.dataHome() / "icons/hicolor/48x48/apps/mine.png", "x");
  writeFile(icons() / "loose.xpm", "x");

  IconTheme theme;
  EXPECT_EQ(theme.find({"both"}, 64), icons() / "Chosen/64x64/apps/both.png");
  EXPECT_EQ(theme.find({"both"}, 16), icons() / "Chosen/16x16/apps/both.png");
  EXPECT_EQ(theme.find({"inherited"}, 64), icons() / "Parent/32x32/apps/inherited.png");
  EXPECT_EQ(theme.find({"plain"}, 64), icons() / "hicolor/48x48/apps/plain.png");
  EXPECT_EQ(theme.find({"mine"}, 64), scratch.dataHome() / "icons/hicolor/48x48/apps/mine.png");
  EXPECT_EQ(theme.find({"absent", "plain"}, 64), icons() / "hicolor/48x48/apps/plain.png");
  EXPECT_EQ(theme.find({"loose"}, 64), icons() / "loose.xpm");
  EXPECT_EQ(theme.find({"absent"}, 64), std::nullopt);
  // Names are file names, never paths out of the icon folders.
  writeFile(scratch.root() / "system/secret.png", "x");
  EXPECT_EQ(theme.find({"../secret"}, 64), std::nullopt);
}

TEST_F(IconThemeTest, IconsAreDrawnOnto64By64RgbaWithTheirAspectKept) {
  writeFile(icons() / "hicolor/scalable/apps/wide.svg", svg(32, 8));
  writeFile(scratch.root() / "broken.png", "not an image");
  PixbufIconRenderer renderer;

  std::string png = renderer.png(IconRef{"", {"wide"}}, 64);
  ASSERT_FALSE(png.empty());
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  ASSERT_TRUE(gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(png.data()),
                                      png.size(), nullptr));
  ASSERT_TRUE(gdk_pixbuf_loader_close(loader, nullptr));
  GdkPixbuf* image = gdk_pixbuf_loader_get_pixbuf(loader);
  EXPECT_EQ(gdk_pixbuf_get_width(image), 64);
  EXPECT_EQ(gdk_pixbuf_get_height(image), 64);
  EXPECT_TRUE(gdk_pixbuf_get_has_alpha(image));
  // A 4:1 icon fills the middle band; above and below it stays transparent.
  const guchar* pixels = gdk_pixbuf_get_pixels(image);
  int stride = gdk_pixbuf_get_rowstride(image);
  auto alphaAt = [&](int x, int y) { return pixels[y * stride + x * 4 + 3]; };
  EXPECT_EQ(alphaAt(32, 2), 0);
  EXPECT_EQ(alphaAt(32, 32), 255);
  EXPECT_EQ(alphaAt(32, 61), 0);
  g_object_unref(loader);

  EXPECT_EQ(renderer.png(IconRef{(scratch.root() / "broken.png").string(), {}}, 64), "");
  EXPECT_EQ(renderer.png(IconRef{"", {"absent"}}, 64), "");
  EXPECT_EQ(renderer.png(IconRef{}, 64), "");
}

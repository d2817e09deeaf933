#include "display/BoardProperties.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "display/GraphicScaling.h"
#include "display/RecordingCanvas.h"
#include "platform/UserHome.h"

namespace kessaro {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string TouchFile(const std::string& name, const std::string& content = "x") {
  const std::string path = UserHomePath(name);
  std::filesystem::create_directories(UserHomeDir());
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

struct PropsFixture : ::testing::Test {
  test::TRecordingGraphics graphics;
  TBoardProperties props{graphics};
  std::unique_ptr<TImage> canvas = graphics.CreateImage(400, 400);
  int Id() const { return dynamic_cast<test::TRecordingImage&>(*canvas).Id(); }
  std::vector<std::string> Calls(const std::string& prefix = "") {
    return graphics.Calls(Id(), prefix);
  }
};

TEST_F(PropsFixture, StoneDiametersByCellSize) {
  struct Case {
    int cell;
    std::string ellipse;
  };
  const Case cases[] = {
      {20, "Ellipse 12,12,29,29"},  // h 19, a 1, d 17
      {21, "Ellipse 11,11,30,30"},  // odd: no shift, d 19
      {64, "Ellipse 12,12,73,73"},  // h 63, a 1, d 61
      {65, "Ellipse 12,12,73,73"},  // h 65, a 2, d 61 again
      {4, "Ellipse 12,12,13,13"},   // h 3, a 1, d 1
  };
  for (const Case& c : cases) {
    graphics.Log.clear();
    props.BlackStone.Draw({10, 10, 10 + c.cell, 10 + c.cell}, *canvas);
    EXPECT_THAT(Calls("Ellipse"), ElementsAre(c.ellipse)) << c.cell;
  }
  graphics.Log.clear();
  props.WhiteStone.Draw({10, 10, 13, 13}, *canvas);
  EXPECT_THAT(graphics.Log, IsEmpty()) << "a 3-pixel cell draws no stone";
  props.WhiteStone.Draw({0, 0, 100, 100}, *canvas);
  EXPECT_THAT(Calls("Pen"), ElementsAre("Pen 0 w2 copy")) << "h 99, a 2, d 95, 95 / 32";
  EXPECT_THAT(Calls("Brush"), ElementsAre("Brush ffffff solid"));
}

TEST_F(PropsFixture, StonePicturesNeedASquareAndCombineThroughMasks) {
  const std::string wide = TouchFile("wide.bmp");
  const std::string square = TouchFile("square.bmp");
  graphics.Pictures[wide] = {200, 180};
  graphics.Pictures[square] = {200, 200};

  props.BlackStone.SetFileName(wide);
  props.BlackStone.SetUseBitmap(true);
  EXPECT_TRUE(props.Update());
  EXPECT_FALSE(props.BlackStone.UseBitmap()) << "200 x 180 is refused";
  graphics.Log.clear();
  props.BlackStone.Draw({0, 0, 20, 20}, *canvas);
  EXPECT_THAT(Calls("Ellipse"), ElementsAre("Ellipse 2,2,19,19"));

  props.BlackStone.SetFileName(square);
  props.BlackStone.SetUseBitmap(true);
  props.WhiteStone.SetFileName(square);
  props.WhiteStone.SetUseBitmap(true);
  props.Update();
  ASSERT_TRUE(props.BlackStone.UseBitmap());
  EXPECT_EQ(props.BlackStone.LoadedSize(), 200);
  graphics.Log.clear();
  props.BlackStone.Draw({0, 0, 20, 20}, *canvas);
  props.WhiteStone.Draw({20, 0, 40, 20}, *canvas);
  const auto copies = Calls("Copy");
  ASSERT_EQ(copies.size(), 4u);
  EXPECT_THAT(copies[0], HasSubstr("Copy 2,2 from #"));
  EXPECT_THAT(copies[0], HasSubstr("17x17 0,0,17,17 and")) << "black: mask AND";
  EXPECT_THAT(copies[1], HasSubstr("17x17 0,0,17,17 or")) << "then image OR";
  EXPECT_THAT(copies[2], HasSubstr("Copy 22,2 from #"));
  EXPECT_THAT(copies[2], HasSubstr("17x17 0,0,17,17 or")) << "white: mask OR";
  EXPECT_THAT(copies[3], HasSubstr("17x17 0,0,17,17 and")) << "then image AND";
  // The white mask is a white disc on black, drawn as an ellipse of the mask's size.
  EXPECT_THAT(graphics.Log, Contains(HasSubstr("Ellipse 0,0,17,17")));
  // Sizes are cached: a second stone of the same size makes nothing new.
  const auto before = graphics.Log.size();
  props.WhiteStone.Draw({40, 0, 60, 20}, *canvas);
  EXPECT_EQ(graphics.Log.size(), before + 2);
}

TEST_F(PropsFixture, FontSizesOfLabelsAndNumbers) {
  props.Letters.DrawLabel("a", kColorBlack, *canvas, {0, 0, 20, 20});
  props.Letters.DrawNumber("123", kColorWhite, *canvas, {0, 0, 20, 20});
  props.Letters.DrawNumber("1234", kColorWhite, *canvas, {0, 0, 21, 21});
  props.Letters.DrawLabel("b7", kColorBlack, *canvas, {0, 0, 40, 40});
  props.Letters.DrawLabel("", kColorBlack, *canvas, {0, 0, 20, 20});
  props.Letters.DrawNumber("12345", kColorBlack, *canvas, {0, 0, 20, 20});
  EXPECT_THAT(Calls("Text"),
              ElementsAre("Text 'a' 1,1,20,20 h16 w0 wt650 Courier New 0",
                          "Text '123' 1,1,20,20 h11 w3 wt400 Courier New ffffff",
                          // h 21: u = 21 - 4 = 17, 17 x 0.7 = 11.9 -> 12, width 2.4 -> 2.
                          "Text '1234' 0,0,21,21 h12 w2 wt300 Courier New ffffff",
                          // h 39: u = 39 - 4 = 35, 35 x 0.9 = 31.5 -> 32 (tie to even).
                          "Text 'b7' 1,1,40,40 h32 w14 wt500 Courier New 0"));
}

TEST_F(PropsFixture, MarkShapes) {
  struct Case {
    int kind;
    std::vector<std::string> calls;
  };
  // A 20-pixel cell at (0, 0): h 19 after the shift; odd kinds e = 5, even kinds e = 7.
  const Case cases[] = {
      {1, {"Line 6,6-15,15", "Line 15,6-6,15"}},
      {2, {"Line 8,8-14,14", "Line 13,8-7,14"}},
      {3, {"Rectangle 6,6,16,16"}},
      {5, {"Ellipse 6,6,15,15"}},
      {7, {"Polyline 6,14 15,14 10,5 6,14"}},
      {9, {"Polyline 14,15 5,10 14,6 14,15"}},
      {11, {"Polyline 7,15 16,10 7,6 7,15"}},
      {13, {"Polyline 6,7 15,7 10,16 6,7"}},
      {15, {"Polyline 5,10 16,10 11,6 16,10 11,14 16,10"}},
      {17, {"Line 6,6-15,15", "Line 15,6-6,15"}},
  };
  for (const Case& c : cases) {
    graphics.Log.clear();
    DrawMark(c.kind, 0, *canvas, {0, 0, 20, 20}, MakeColor(255, 0, 0));
    std::vector<std::string> shapes;
    for (const auto& call : Calls())
      if (call.rfind("Pen", 0) != 0 && call.rfind("Brush", 0) != 0) shapes.push_back(call);
    EXPECT_EQ(shapes, c.calls) << "kind " << c.kind;
    EXPECT_THAT(Calls("Brush"), ElementsAre("Brush ff clear"));
  }
  graphics.Log.clear();
  DrawMark(3, (1u << 29) | (1u << 31), *canvas, {0, 0, 20, 20}, kColorBlack);
  EXPECT_THAT(Calls(), ElementsAre("Brush 0 clear", "Pen 0 w2 not", "Rectangle 8,8,14,14"))
      << "second phase of a blinking 3 is a 4 with the pen of the 3";
  graphics.Log.clear();
  DrawMark(20, 1u << 31, *canvas, {0, 0, 20, 20}, kColorBlack);
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(PropsFixture, ShadowDitherAlternates) {
  props.Shadow.Draw({11, 11, 31, 31}, *canvas);  // even size: pattern A
  props.Shadow.Draw({10, 10, 29, 29}, *canvas);  // odd size at an even sum: pattern B
  props.Shadow.Draw({11, 10, 30, 29}, *canvas);  // odd size at an odd sum: pattern A
  props.Shadow.Draw({0, 0, 0, 0}, *canvas);
  const auto copies = Calls("Copy");
  ASSERT_EQ(copies.size(), 3u);
  EXPECT_THAT(copies[0], HasSubstr("20x20 0,0,20,20 and"));
  EXPECT_NE(copies[1].substr(0, copies[1].find(" 19x19")),
            copies[2].substr(0, copies[2].find(" 19x19")));
  const TPixels a = DitherPattern(3, false);
  EXPECT_EQ(a.At(0, 0)[0], 0);
  EXPECT_EQ(a.At(1, 0)[0], 255);
  EXPECT_EQ(DitherPattern(3, true).At(0, 0)[0], 255);
}

TEST_F(PropsFixture, BackgroundTextureIsAnchoredAtTheBoardCorner) {
  props.Background.Draw({0, 0}, {0, 0, 50, 50}, *canvas);
  EXPECT_THAT(Calls(), ElementsAre("Brush ffff solid", "Pen ffff w1 copy", "Rectangle 0,0,50,50"));

  const std::string wood = TouchFile("wood.bmp");
  graphics.Pictures[wood] = {64, 48};
  props.Background.SetFileName(wood);
  props.Background.SetUseBitmap(true);
  props.Update();
  ASSERT_TRUE(props.Background.UseBitmap());
  graphics.Log.clear();
  props.Background.Draw({0, 0}, {0, 0, 400, 400}, *canvas);
  EXPECT_THAT(Calls("Copy"), ElementsAre(HasSubstr("448x432 0,0,400,400 copy")))
      << "the cache is whole tiles";
  graphics.Log.clear();
  // A page at (100, 30): the cell at (120, 90) shows the texture at (20, 60) from the corner.
  props.Background.Draw({100, 30}, {120, 90, 140, 110}, *canvas);
  EXPECT_THAT(Calls("Copy"), ElementsAre(HasSubstr("Copy 120,90 from #")));
  EXPECT_THAT(Calls("Copy"), ElementsAre(HasSubstr(" 20,12,40,32 copy")));
}

TEST_F(PropsFixture, SettingsRoundTripAndDefaults) {
  TMemoryRegistry registry;
  props.LoadFromRegistry(registry, "Software\\Kessaro\\Window Board Properties");
  EXPECT_EQ(props.Background.Color(), MakeColor(255, 255, 0));
  EXPECT_TRUE(props.Background.UseBitmap());
  EXPECT_TRUE(props.Click.SoundOn());
  EXPECT_EQ(props.Letters.Font().Face(), "Courier New");

  const std::string wood = TouchFile("grain.bmp");
  props.Background.SetColor(MakeColor(1, 2, 3));
  props.Background.SetFileName(wood);
  props.BlackStone.SetUseBitmap(false);
  props.Click.SetSoundOn(false);
  TLogFont font;
  font.Height = 20;
  font.Weight = 700;
  std::snprintf(font.FaceName.data(), font.FaceName.size(), "%s", "DejaVu Sans");
  props.Letters.SetFont(font);
  props.SaveToRegistry(registry, "Software\\Kessaro\\Window Board Properties");

  auto key = registry.OpenSubKey("Software\\Kessaro\\Window Board Properties", false);
  ASSERT_TRUE(key);
  EXPECT_EQ(ReadInteger(*key, "Board Color", 0), MakeColor(1, 2, 3));
  EXPECT_EQ(ReadString(*key, "Board Bitmap", ""), wood);
  EXPECT_EQ(BinarySize(*key, "Letters"), 60u);
  EXPECT_EQ(key->QueryValue("Use Black Stone Bitmap")->Data,
            (std::vector<std::uint8_t>{0, 0, 0, 0}));

  test::TRecordingGraphics other;
  TBoardProperties loaded(other);
  loaded.LoadFromRegistry(registry, "Software\\Kessaro\\Window Board Properties");
  EXPECT_EQ(loaded.Background.Color(), MakeColor(1, 2, 3));
  EXPECT_EQ(loaded.Background.FileName(), wood);
  EXPECT_FALSE(loaded.BlackStone.UseBitmap());
  EXPECT_FALSE(loaded.Click.SoundOn());
  EXPECT_EQ(loaded.Letters.Font(), font);

  // A value of the wrong type and a font of the wrong size are ignored.
  WriteString(*key, "Board Color", "red");
  WriteBinary(*key, "Letters", "abc", 3);
  TBoardProperties fallback(other);
  fallback.LoadFromRegistry(registry, "Software\\Kessaro\\Window Board Properties");
  EXPECT_EQ(fallback.Background.Color(), MakeColor(255, 255, 0));
  EXPECT_EQ(fallback.Letters.Font(), TLogFont());

  TBoardProperties copy(other);
  copy.Assign(loaded);
  EXPECT_EQ(copy.Background.FileName(), wood);
  EXPECT_EQ(copy.Letters.Font(), font);
}

TEST_F(PropsFixture, UpdateReportsChangesOnce) {
  int changes = 0;
  props.OnChange = [&](TBoardProperties&) { ++changes; };
  EXPECT_FALSE(props.Update());
  props.WhiteStone.SetColor(MakeColor(200, 200, 200));
  EXPECT_TRUE(props.Update());
  EXPECT_FALSE(props.Update());
  props.WhiteStone.SetColor(MakeColor(200, 200, 200));
  EXPECT_FALSE(props.Update()) << "an equal value is no change";
  props.Background.SetFileName(UserHomePath("missing.bmp"));
  EXPECT_EQ(props.Background.FileName(), "") << "a missing file is not accepted";
  EXPECT_EQ(changes, 1);
}

struct FakePlayer : TSoundPlayer {
  void PlayAsync(const std::vector<std::uint8_t>& wave) override { played.push_back(wave.size()); }
  std::vector<std::size_t> played;
};

TEST(StoneClick, TwoClicksFiftyMillisecondsApartPlayOnce) {
  FakePlayer player;
  TStoneClick click(&player);
  std::int64_t now = 5000;
  click.SetClock([&] { return now; });
  click.SetSoundOn(true);
  click.Play();
  EXPECT_THAT(player.played, IsEmpty()) << "no sound data yet";
  click.SetFileName(TouchFile("click.wav", "RIFFdata"));
  EXPECT_TRUE(click.Prepare());
  click.Play();
  now += 50;
  click.Play();
  EXPECT_EQ(player.played.size(), 1u);
  now += 60;
  click.Play();
  EXPECT_EQ(player.played.size(), 2u);
  click.SetSoundOn(false);
  now += 500;
  click.Play();
  EXPECT_EQ(player.played.size(), 2u);
  EXPECT_EQ(player.played[0], 8u);
}

TEST(GraphicScaling, RescalingKeepsFlatPicturesFlat) {
  TPixels flat(37, 23);
  for (std::size_t i = 0; i < flat.Data.size(); i += 3) {
    flat.Data[i] = 200;
    flat.Data[i + 1] = 100;
    flat.Data[i + 2] = 7;
  }
  for (int filter = 0; filter < kFilterCount; ++filter)
    for (auto [w, h] : {std::pair{17, 9}, {80, 41}, {1, 1}, {37, 23}}) {
      const TPixels out = Rescale(flat, w, h, filter);
      ASSERT_EQ(out.Width, w);
      ASSERT_EQ(out.Height, h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const std::uint8_t* p = out.At(x, y);
          ASSERT_NEAR(p[0], 200, 1) << filter << " " << w;
          ASSERT_NEAR(p[1], 100, 1);
          ASSERT_NEAR(p[2], 7, 1);
        }
    }
  EXPECT_EQ(Rescale(flat, 0, 5, fiMitchell).Width, 0);
  // Weights follow the filter: Mitchell at the sample itself is 16/18 x 256.
  const auto same = Contributors(10, 10, fiMitchell);
  ASSERT_FALSE(same[4].empty());
  int centre = 0;
  for (const auto& c : same[4])
    if (c.Pixel == 4) centre = c.Weight;
  EXPECT_EQ(centre, 228);
  // Reflection at the edges keeps every index inside the picture.
  for (const auto& list : Contributors(3, 40, fiLanczos3))
    for (const auto& c : list) EXPECT_TRUE(c.Pixel >= 0 && c.Pixel < 3);
}

TEST(RegistryHelpers, TypedValuesWithDefaults) {
  TMemoryRegistry registry;
  auto key = OpenKeyForWrite(registry, "A\\B");
  ASSERT_TRUE(key);
  WriteInteger(*key, "n", 0x01020304);
  WriteBool(*key, "b", true);
  WriteString(*key, "s", "text");
  key->SetValue("z", TRegValue{rtExpandString, {'a', 'b', 0, 'c'}});
  WriteBinary(*key, "bin", "\x01\x02\x03", 3);
  EXPECT_EQ(ReadInteger(*key, "n", 7), 0x01020304u);
  EXPECT_EQ(ReadInteger(*key, "s", 7), 7u) << "a string is not a DWORD";
  EXPECT_TRUE(ReadBool(*key, "b", false));
  EXPECT_TRUE(ReadBool(*key, "missing", true));
  EXPECT_EQ(ReadString(*key, "z", ""), "ab") << "cut at the first zero";
  EXPECT_EQ(ReadString(*key, "n", "d"), "d");
  std::uint8_t buffer[5];
  EXPECT_EQ(ReadBinary(*key, "bin", buffer, 0xEE, 5), 3u);
  EXPECT_THAT(buffer, ElementsAre(1, 2, 3, 0xEE, 0xEE));
  EXPECT_EQ(ReadBinary(*key, "s", buffer, 0, 5), 0u);
  EXPECT_EQ(BinarySize(*key, "bin"), 3u);
  EXPECT_EQ(BinarySize(*key, "n"), 0u);
  EXPECT_TRUE(key->DeleteValue("n"));
  EXPECT_EQ(ReadInteger(*key, "n", 9), 9u);
  EXPECT_FALSE(registry.OpenSubKey("A\\C", false));
  EXPECT_TRUE(OpenKeyForRead(registry, "A\\C")) << "reading creates a missing key";
  EXPECT_EQ(ReadString(*registry.OpenSubKey("A/B", false), "s", ""), "text");
}

}  // namespace
}  // namespace kessaro

// The board widget, the click player and the settings key over QSettings.
#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "display/BoardProperties.h"
#include "display/qt/AlsaSound.h"
#include "display/qt/BoardWidget.h"
#include "display/qt/QtCanvas.h"
#include "platform/UserHome.h"
#include "platform/qt/QtRegistry.h"

namespace kessaro {
namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(BoardWidget, PaintsClicksAndBlinks) {
  TQtGraphics graphics;
  TBoardProperties props(graphics);
  props.Update();
  TBoard board(graphics);
  TBoardWidget widget(board);
  EXPECT_EQ(&widget.Board(), &board);
  board.Properties = &props;
  board.SetMouseHolder(false);
  board.SetValue(1, 1, kColourEmpty | (3u << kMarkShift) | kBlinkBit);
  std::vector<TBoardPoint> clicks;
  board.OnPointClick = [&](TCustomBoard&, TBoardPoint p) { clicks.push_back(p); };
  widget.resize(400, 400);
  widget.show();
  const QImage shot = widget.grab().toImage();
  EXPECT_EQ(shot.width(), 400);
  EXPECT_EQ(board.PointSize(), 20);
  EXPECT_EQ(QColor(shot.pixel(21, 21)).lightness(), 0) << "grid line at the first centre";
  QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(65, 45));
  EXPECT_EQ(clicks, std::vector<TBoardPoint>{MakeBoardPoint(2, 1)});
  QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(5, 45));
  EXPECT_EQ(clicks.size(), 1u) << "a click in the margin raises nothing";
}

TEST(BoardWidget, BlinkTimerRunsOnTheWidget) {
  TQtGraphics graphics;
  TBoard board(graphics);
  TBoardWidget widget(board);
  widget.Board().SetValue(0, 0, (1u << kMarkShift) | kBlinkBit);
  const std::uint32_t start = widget.Board().GetValue(0, 0);
  bool toggled = false;
  for (int i = 0; i < 20 && !toggled; ++i) {
    QTest::qWait(50);
    toggled = widget.Board().GetValue(0, 0) != start;
  }
  EXPECT_TRUE(toggled) << "a 300 ms timer toggles the phase";
}

TEST(BoardWidget, BoardOutlivesItsWidget) {
  TQtGraphics graphics;
  TBoard board(graphics);
  board.SetValue(0, 0, (1u << kMarkShift) | kBlinkBit);
  {
    TBoardWidget widget(board);
    widget.resize(200, 200);
    widget.show();
    EXPECT_EQ(board.Width(), 200);
  }
  // The widget detached itself: the blink timer is gone with it and the board still works.
  const std::uint32_t start = board.GetValue(0, 0);
  QTest::qWait(400);
  EXPECT_EQ(board.GetValue(0, 0), start);
  board.SetValue(3, 3, kColourBlack);
  EXPECT_EQ(ColourCode(board.GetValue(3, 3)), kColourBlack);
}

TEST(AlsaSound, WaveParsingAndSilentPlayback) {
  const auto click = ReadAll(ProgramDir() + "/click.wav");
  auto wave = ParseWave(click);
  ASSERT_TRUE(wave);
  EXPECT_EQ(wave->Channels, 1);
  EXPECT_EQ(wave->BitsPerSample, 16);
  EXPECT_GT(wave->Samples.size(), 1000u);
  auto cut = click;
  cut.resize(60);
  EXPECT_FALSE(ParseWave(cut)) << "a data chunk longer than the file";
  EXPECT_FALSE(ParseWave(std::vector<std::uint8_t>(click.begin(), click.begin() + 11)));
  EXPECT_FALSE(ParseWave({}));

  // With or without a sound device, playback returns at once and never plays two at a time.
  TAlsaSoundPlayer player;
  player.PlayAsync(click);
  player.Wait();
  EXPECT_EQ(player.Started(), 1);
  EXPECT_FALSE(player.Busy());
  player.PlayAsync({1, 2, 3});
  player.Wait();

  TQtGraphics graphics;
  TBoardProperties props(graphics, &player);
  props.Click.SetFileName(ProgramDir() + "/click.wav");
  props.Click.SetSoundOn(true);
  props.Update();
  EXPECT_TRUE(props.Click.HasSound());
  const int before = player.Started();
  props.Click.Play();
  props.Click.Play();
  player.Wait();
  EXPECT_EQ(player.Started(), before + 1) << "two clicks at once play one sound";
}

TEST(QtRegistry, TypedValuesSurviveTheIniFile) {
  const std::string file = UserHomePath("settings/Kessaro.ini");
  {
    TQtRegistry registry(file);
    auto key = OpenKeyForWrite(registry, "Software\\Orvane\\Kessaro Full Edition");
    WriteInteger(*key, "Count", 54);
    WriteString(*key, "Net Path", "/a/b;/c d");
    WriteBinary(*key, "Board Point Size", "\0\x16\0\0", 4);
    WriteString(*key, "", "default value");
    WriteBool(*OpenKeyForWrite(*key, "Window Board Properties"), "Use Board Bitmap", false);
    key->SetValue("Name/with\\separators", TRegValue{rtExpandString, {'x', 0, 'y'}});
    registry.Sync();
  }
  ASSERT_TRUE(std::filesystem::exists(file));
  TQtRegistry registry(file);
  auto key = registry.OpenSubKey("Software\\Orvane\\Kessaro Full Edition", false);
  ASSERT_TRUE(key);
  EXPECT_EQ(ReadInteger(*key, "Count", 0), 54u);
  EXPECT_EQ(ReadInteger(*key, "Net Path", 7), 7u) << "a string is not a DWORD";
  EXPECT_EQ(ReadString(*key, "Net Path", ""), "/a/b;/c d");
  EXPECT_EQ(ReadString(*key, "", ""), "default value");
  EXPECT_EQ(BinarySize(*key, "Board Point Size"), 4u);
  std::uint8_t bytes[4];
  EXPECT_EQ(ReadBinary(*key, "Board Point Size", bytes, 0, 4), 4u);
  EXPECT_EQ(bytes[1], 0x16);
  EXPECT_EQ(ReadString(*key, "Name/with\\separators", ""), "x");
  EXPECT_FALSE(
      ReadBool(*registry.OpenSubKey(
                   "Software\\Orvane\\Kessaro Full Edition\\Window Board Properties", false),
               "Use Board Bitmap", true));
  EXPECT_FALSE(registry.OpenSubKey("Software\\Missing", false));
  EXPECT_TRUE(key->DeleteValue("Count"));
  EXPECT_EQ(ReadInteger(*key, "Count", 9), 9u);

  // A board appearance through the INI file.
  TQtGraphics graphics;
  TBoardProperties props(graphics);
  props.Background.SetColor(MakeColor(9, 8, 7));
  props.SaveToRegistry(*key, "Clipboard Board Properties");
  TBoardProperties loaded(graphics);
  loaded.LoadFromRegistry(*key, "Clipboard Board Properties");
  EXPECT_EQ(loaded.Background.Color(), MakeColor(9, 8, 7));
  EXPECT_EQ(loaded.Letters.Font(), props.Letters.Font());
}

TEST(QtRegistry, ReportsWhetherItsFileCanBeReadAndWritten) {
  namespace fs = std::filesystem;
  const std::string dir = UserHomePath("registry-status");
  fs::create_directories(dir);
  {
    TQtRegistry registry(dir + "/Kessaro.ini");
    EXPECT_TRUE(registry.Opened());
    EXPECT_TRUE(registry.Writable());
  }
  // The folder of the file is a plain file: nothing can be written there.
  std::ofstream(dir + "/plain") << "x";
  {
    TQtRegistry registry(dir + "/plain/Kessaro.ini");
    EXPECT_FALSE(registry.Writable());
  }
  // The settings file is a folder: it cannot be read.
  fs::create_directories(dir + "/folder.ini");
  {
    TQtRegistry registry(dir + "/folder.ini");
    EXPECT_FALSE(registry.Opened());
    EXPECT_FALSE(registry.Writable());
  }
  TMemoryRegistry memory;
  EXPECT_TRUE(memory.Opened() && memory.Writable());
}

}  // namespace
}  // namespace kessaro

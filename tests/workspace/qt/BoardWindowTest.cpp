// The board window's view: clicks, keys and the wheel reach the logic; sizes snap to whole
// points. With KESSARO_SHOT_SGF set, screenshots of a game window are saved for a person to
// look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QWheelEvent>
#include <cstdlib>
#include <string>

#include "display/BoardProperties.h"
#include "display/qt/BoardWidget.h"
#include "display/qt/QtCanvas.h"
#include "platform/Registry.h"
#include "workspace/GameForm.h"
#include "workspace/qt/BoardWindow.h"

namespace kessaro {
namespace {

TBoardWindow::TFormFactory GameOn(const std::string& sgf, bool fromFile = false) {
  return [sgf, fromFile](TBoardFormHost& host, TGraphics& graphics) {
    auto form = std::make_unique<TGameForm>(host, graphics);
    EXPECT_TRUE(fromFile ? form->LoadFile(sgf) : form->LoadText(sgf));
    form->Initialize();
    form->TestBoard = false;
    form->Editable = false;
    return form;
  };
}

QPoint CentreOf(TBoardWindow& window, TBoardPoint point) {
  TBoard& board = window.Form().Board();
  const TPoint c = board.PointCentre(board.CallerToDisplay(point));
  return {c.x, c.y};
}

void Wheel(QWidget& target, int delta) {
  const QPointF at(target.width() / 2.0, target.height() / 2.0);
  QWheelEvent event(at, target.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&target, &event);
}

struct Fixture : ::testing::Test {
  TQtGraphics graphics;
  TBoardProperties props{graphics};
  void SetUp() override {
    TMemoryRegistry registry;  // the default appearance, with its pictures
    props.LoadFromRegistry(registry, "Window Board Properties");
    props.Update();
  }
};

TEST_F(Fixture, ClicksKeysAndWheelReachTheLogic) {
  TBoardWindow window(graphics, GameOn("(;SZ[9];B[cc];W[gg];B[ee])"), &props);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.findChild<QLabel*>("PassPanel")->text(), "no tenuki");
  QTest::mouseClick(&window.BoardWidget(), Qt::LeftButton, {},
                    CentreOf(window, MakeBoardPoint(2, 2)));
  EXPECT_EQ(window.Form().MoveNumber(), 1) << "a click at a point's centre plays the move";
  EXPECT_EQ(window.Panel(spNumber).text(), "1");
  QTest::keyClick(&window, Qt::Key_End);
  EXPECT_EQ(window.Form().MoveNumber(), 3);
  EXPECT_EQ(window.Panel(spPass).text(), "End of var.");
  QTest::keyClick(&window, Qt::Key_Up);
  EXPECT_EQ(window.Form().MoveNumber(), 2);
  Wheel(window, 60);
  EXPECT_EQ(window.Form().MoveNumber(), 2);
  Wheel(window, 60);
  EXPECT_EQ(window.Form().MoveNumber(), 1) << "two notches of 60 are one step back";
  Wheel(window, -240);
  EXPECT_EQ(window.Form().MoveNumber(), 3);
  QTest::keyClick(&window, Qt::Key_Home);
  EXPECT_EQ(window.Form().MoveNumber(), 0);

  // The context menu turns the board.
  QAction* rotate = window.findChild<QAction*>("N90DegreesItem");
  ASSERT_NE(rotate, nullptr);
  rotate->trigger();
  EXPECT_EQ(window.Form().Board().Symmetry(), 3);
  QAction* invert = window.findChild<QAction*>("InvertedItem");
  ASSERT_NE(invert, nullptr);
  EXPECT_EQ(invert->text(), "Invert");
  invert->trigger();
  EXPECT_TRUE(window.Form().Inverted());
  EXPECT_TRUE(invert->isChecked());
}

TEST_F(Fixture, ResizeSnapsToWholePoints) {
  TBoardWindow window(graphics, GameOn("(;SZ[19];B[pd])"), &props);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.resize(517, 503);
  QApplication::processEvents();
  const TClientSize size{window.width(), window.height()};
  EXPECT_EQ(window.Form().CanResize(size), size);
  EXPECT_EQ(window.BoardWidget().height(), size.Height - kStatusBarHeight);
  const int cell = window.Form().Board().PointSize();
  EXPECT_GT(cell, 8);
  EXPECT_EQ(window.Form().Board().Width(), 19 * cell + 2 * window.Form().Board().Margin());
}

TEST_F(Fixture, ClosingDuringAutoShowStopsItsTimer) {
  auto window = std::make_unique<TBoardWindow>(graphics, GameOn("(;SZ[9];B[cc];W[gg];B[ee])"));
  window->Form().SetAutoShowInterval(10);
  window->Form().SetAutoShow(true);
  window->show();
  QTest::qWait(60);
  EXPECT_GT(window->Form().MoveNumber(), 0);
  window->close();
  EXPECT_FALSE(window->Form().AutoShowActive());
  window.reset();
  QTest::qWait(30);  // a timer left behind would tick into the freed window
}

// Screenshots for a person to look at: a real game at move 50, then rotated, then inverted.
TEST_F(Fixture, Screenshots) {
  const char* sgf = std::getenv("KESSARO_SHOT_SGF");
  const char* dir = std::getenv("KESSARO_SHOT_DIR");
  if (sgf == nullptr || dir == nullptr) GTEST_SKIP() << "KESSARO_SHOT_SGF and KESSARO_SHOT_DIR";
  TBoardWindow window(graphics, GameOn(sgf, true), &props);
  window.Form().SetCaption(QDir(sgf).dirName().toStdString());
  window.show();
  window.Form().SizeBoard(30, 3);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.Form().Forward(50);
  window.Form().Refresh();
  QTest::mouseMove(&window.BoardWidget(), CentreOf(window, MakeBoardPoint(3, 15)));
  QApplication::processEvents();
  const auto shoot = [&](const char* name) {
    QApplication::processEvents();
    EXPECT_TRUE(window.grab().save(QDir(dir).filePath(name)));
  };
  EXPECT_EQ(window.Form().MoveNumber(), 50);
  shoot("game-move50.png");
  window.findChild<QAction*>("N90DegreesItem")->trigger();
  shoot("game-move50-rotated.png");
  window.findChild<QAction*>("InvertedItem")->trigger();
  shoot("game-move50-rotated-inverted.png");
}

}  // namespace
}  // namespace kessaro

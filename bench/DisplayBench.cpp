// Board redraws with the Qt canvas and the default pictures: a full 19 x 19 board at 30-pixel
// cells, RedrawChanged after one move and RedrawAll of the whole board.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <memory>

#include "display/Board.h"
#include "display/BoardProperties.h"
#include "display/qt/QtCanvas.h"
#include "platform/Registry.h"

namespace kessaro {
namespace {

struct Scene {
  TQtGraphics graphics;
  TBoardProperties props{graphics};
  TBoard board{graphics};
  Scene() {
    TMemoryRegistry registry;
    props.LoadFromRegistry(registry, "Window Board Properties");
    props.Update();
    board.Properties = &props;
    board.PlayRules = false;
    board.ShowNumbers = true;
    board.SetSize(19 * 30 + 2, 19 * 30 + 2);
    int n = 1;
    for (int c = 0; c < 19; ++c)
      for (int r = 0; r < 19; ++r)
        if ((c * 7 + r * 3) % 5 != 0)
          board.SetValue(c, r, SetMoveNumber((c + r) % 2 ? kColourBlack : kColourWhite, n++));
    auto screen = graphics.CreateImage(board.Width(), board.Height());
    board.Paint(*screen);
  }
};

void BM_RedrawChangedOneMove(benchmark::State& state) {
  Scene scene;
  if (!scene.props.BlackStone.UseBitmap() || !scene.props.Background.UseBitmap())
    state.SkipWithError("default pictures not found beside the program");
  bool black = true;
  for (auto _ : state) {
    // One move and its take-back alternate, so every iteration repaints one point.
    scene.board.SetValue(0, 0, black ? kColourBlack : 0);
    black = !black;
    scene.board.RedrawChanged();
  }
}
BENCHMARK(BM_RedrawChangedOneMove)->Unit(benchmark::kMicrosecond);

void BM_RedrawAllFullBoard(benchmark::State& state) {
  Scene scene;
  if (!scene.props.BlackStone.UseBitmap() || !scene.props.Background.UseBitmap())
    state.SkipWithError("default pictures not found beside the program");
  for (auto _ : state) scene.board.RedrawAll();
}
BENCHMARK(BM_RedrawAllFullBoard)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kessaro

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

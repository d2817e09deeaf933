// The board window walking a real game at 30-pixel cells with the Qt canvas and the default
// pictures: one step forward with its repaint, and the whole game walked step by step to its
// end and back. The game is KESSARO_BENCH_SGF, else the first game of the goban package.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <string>

#include "display/BoardProperties.h"
#include "display/qt/QtCanvas.h"
#include "platform/Registry.h"
#include "workspace/GameForm.h"

namespace kessaro {
namespace {

// Every repaint copies the board's front image to a screen image, as the widget does.
class TPaintingHost : public TNullBoardFormHost {
 public:
  void Repaint() override {
    if (board != nullptr) board->Paint(*screen);
  }
  TBoard* board = nullptr;
  std::unique_ptr<TImage> screen;
};

struct Scene {
  TQtGraphics graphics;
  TBoardProperties props{graphics};
  TPaintingHost host;
  TGameForm form{host, graphics};
  bool ok = false;
  Scene() {
    TMemoryRegistry registry;
    props.LoadFromRegistry(registry, "Window Board Properties");
    props.Update();
    const char* env = std::getenv("KESSARO_BENCH_SGF");
    ok = form.LoadFile(env != nullptr ? env : "/usr/share/goban/Hon-45-1.sgf");
    form.Board().Properties = &props;
    form.Initialize();
    form.SizeBoard(30, 3);
    host.board = &form.Board();
    host.screen = graphics.CreateImage(form.Board().Width(), form.Board().Height());
    host.Repaint();
  }
  int Length() {
    form.Forward(0);
    const int n = form.MoveNumber();
    form.Back(0);
    return n;
  }
};

void BM_StepForwardWithRepaint(benchmark::State& state) {
  Scene scene;
  if (!scene.ok) state.SkipWithError("no game file (set KESSARO_BENCH_SGF)");
  for (auto _ : state) {
    if (scene.form.Current()->FirstChild == nullptr) {
      state.PauseTiming();
      scene.form.Back(0);
      state.ResumeTiming();
    }
    scene.form.KeyNavigate(vkDown);
  }
}
BENCHMARK(BM_StepForwardWithRepaint)->Unit(benchmark::kMicrosecond);

void BM_WalkGameToTheEndAndBack(benchmark::State& state) {
  Scene scene;
  if (!scene.ok) state.SkipWithError("no game file (set KESSARO_BENCH_SGF)");
  const int moves = scene.Length();
  for (auto _ : state) {
    for (int i = 0; i < moves; ++i) scene.form.KeyNavigate(vkDown);
    for (int i = 0; i < moves; ++i) scene.form.KeyNavigate(vkUp);
  }
  state.counters["moves"] = moves;
}
BENCHMARK(BM_WalkGameToTheEndAndBack)->Unit(benchmark::kMillisecond);

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

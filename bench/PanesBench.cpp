// Joseki comment pane costs, target under 5 ms:
//   SetNodeLogic: showing a node with 50 comments in five languages (parse the comment set,
//     build every line with its source line), alternating between two such nodes
//   SetNodeWithHeights: the same through the pane's view, with every line's wrapped height
//     measured in its language's font
// Run: build/default/bench/PanesBench --benchmark_repetitions=5
//        --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "lists/qt/LangListBox.h"
#include "platform/CodePage.h"
#include "workspace/qt/JosekiCommentView.h"

using namespace kessaro;

namespace {

void FillNode(TSequence& node, int salt) {
  struct Sample {
    TLanguage language;
    const char* utf8;
  } samples[] = {
      {kEnglish, "After the 3-3 invasion White blocks from the wider side and Black lives small."},
      {kJapanese, "定石：三々入りの後、白は広い方からハネて、黒は小さく生きる。"},
      {kKorean, "삼삼 침입 후 백은 넓은 쪽에서 막고 흑은 작게 산다."},
      {kChinese, "點三三之後，白從寬的一邊擋，黑小活。"},
      {kRussian, "После вторжения в 3-3 белые блокируют с широкой стороны."},
  };
  TSComments list;
  for (int i = 0; i < 50; ++i) {
    TSComment c;
    c.Texts = std::make_unique<TStringSet>();
    const Sample& s = samples[i % 5];
    c.Texts->SetText(s.language, FromUtf8(s.language, s.utf8) + " " + std::to_string(i + salt));
    c.Source = i % 4;
    c.Page = i;
    list.push_back(std::move(c));
  }
  BuildComments(list, node.CommentSet);
  FreeComments(list);
  node.Kind = skNetNode;
}

void AddSources(TJosekiComment& pane) {
  TStringSet a, b, c;
  a.SetText(kEnglish, "Dictionary of Basic Joseki");
  b.SetText(kJapanese, FromUtf8(kJapanese, "基本定石事典"));
  c.SetText(kRussian, FromUtf8(kRussian, "Словарь джосеки"));
  pane.Sources = {pane.Sources[0], a, b, c};
}

void SetNodeLogic(benchmark::State& state) {
  TSequence first, second;
  FillNode(first, 0);
  FillNode(second, 1);
  TJosekiComment pane;
  AddSources(pane);
  bool flip = false;
  for (auto _ : state) {
    pane.SetNode(flip ? &first : &second);
    flip = !flip;
    benchmark::DoNotOptimize(pane.Lines.data());
  }
  pane.SetNode(nullptr);
}
BENCHMARK(SetNodeLogic)->Unit(benchmark::kMillisecond);

void SetNodeWithHeights(benchmark::State& state) {
  TSequence first, second;
  FillNode(first, 0);
  FillNode(second, 1);
  TJosekiCommentView view;
  view.resize(380, 600);
  AddSources(view.Logic());
  bool flip = false;
  for (auto _ : state) {
    view.Logic().SetNode(flip ? &first : &second);
    flip = !flip;
    int total = 0;
    for (int i = 0; i < view.List()->Count(); ++i) total += view.List()->LineHeight(i);
    benchmark::DoNotOptimize(total);
  }
  view.Logic().SetNode(nullptr);
}
BENCHMARK(SetNodeWithHeights)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

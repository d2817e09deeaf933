// Interface language costs, target under 10 ms each:
//   LanguageLoad / LanguageSave: a full language file (every identifier with a caption, half
//     with hints, every output, 55 game information names, 100 dictionary words), read from
//     and written to the user home (the save is atomic: write, sync, rename)
//   LanguageParse / LanguageFormat: the same without the file system
//   ApplyToAllWindows: a loaded Russian language applied to 20 open windows of 50 named
//     controls each (texts converted from Windows-1251, fonts set)
// Run: build/default/bench/StringsBench --benchmark_repetitions=5
//        --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "strings/StringsHolder.h"
#include "strings/qt/QtLanguage.h"

using namespace kessaro;

namespace {

std::string BenchFolder() {
  static const std::string folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kessaro-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return pattern;
  }();
  return folder;
}

// A holder whose every text is in force, as after a translator's full file.
TStringsHolder FullHolder() {
  TStringsHolder s;
  std::vector<std::string> names;
  for (int i = 0; i < 55; ++i) names.push_back(i == 0 ? "" : "Field number " + std::to_string(i));
  s.SetGameInfoFieldNames(names);
  for (int i = 0; i < 100; ++i) s.TranslateWord("word " + std::to_string(i));
  for (int id = 0; id < kControlIDCount; ++id) {
    s.DefaultCaptions[id] = ControlWords(static_cast<TControlID>(id));
    s.CurrentCaptions[id] = "\xcf\xe5\xf0\xe5\xe2\xee\xe4 " + s.DefaultCaptions[id];
    if (id % 2 == 0) s.CurrentHints[id] = "Short hint|A longer \"hint\" text";
  }
  for (TDictionaryWord& w : s.Dictionary) w.Translation = "\xf1\xeb\xee\xe2\xee";
  s.LanguageID = 1049;
  return s;
}

void BM_LanguageFormat(benchmark::State& state) {
  const TStringsHolder s = FullHolder();
  for (auto _ : state) benchmark::DoNotOptimize(s.LanguageFileText());
  state.counters["bytes"] = double(s.LanguageFileText().size());
}
BENCHMARK(BM_LanguageFormat)->Unit(benchmark::kMillisecond);

void BM_LanguageParse(benchmark::State& state) {
  const std::string text = FullHolder().LanguageFileText();
  TStringsHolder s = FullHolder();
  for (auto _ : state) s.LoadLanguageText(text);
}
BENCHMARK(BM_LanguageParse)->Unit(benchmark::kMillisecond);

void BM_LanguageSave(benchmark::State& state) {
  const TStringsHolder s = FullHolder();
  const std::string path = BenchFolder() + "/Test.lng";
  for (auto _ : state)
    if (!s.SaveLanguageFile(path)) state.SkipWithError("save failed");
}
BENCHMARK(BM_LanguageSave)->Unit(benchmark::kMillisecond);

void BM_LanguageLoad(benchmark::State& state) {
  TStringsHolder s = FullHolder();
  const std::string path = BenchFolder() + "/Test.lng";
  if (!s.SaveLanguageFile(path)) state.SkipWithError("save failed");
  for (auto _ : state)
    if (!s.LoadLanguageFile(path)) state.SkipWithError("load failed");
}
BENCHMARK(BM_LanguageLoad)->Unit(benchmark::kMillisecond);

// A window of 50 named controls of every kind that carries texts.
std::unique_ptr<QWidget> Window(int index) {
  auto window = std::make_unique<QWidget>();
  window->setObjectName(index == 0 ? "frmOptions" : "frmWindow" + QString::number(index));
  for (int c = 0; c < 50; ++c) {
    const auto id = static_cast<TControlID>((index * 50 + c) % kControlIDCount);
    const QString name = ControlName(id);
    QObject* control = nullptr;
    switch (c % 6) {
      case 0:
        control = new QPushButton(name, window.get());
        break;
      case 1:
        control = new QLabel(name, window.get());
        break;
      case 2:
        control = new QCheckBox(name, window.get());
        break;
      case 3: {
        auto* combo = new QComboBox(window.get());
        combo->addItems({"one", "two"});
        control = combo;
        break;
      }
      case 4: {
        auto* group = new QGroupBox(name, window.get());
        new QRadioButton("a", group);
        new QRadioButton("b", group);
        MarkRadioGroup(group);
        control = group;
        break;
      }
      default:
        control = new QAction(name, window.get());
        break;
    }
    control->setObjectName(name);
  }
  return window;
}

void BM_ApplyToAllWindows(benchmark::State& state) {
  TStringsHolder s;
  std::vector<std::unique_ptr<QWidget>> windows;
  for (int i = 0; i < 20; ++i) {
    windows.push_back(Window(i));
    ApplyLanguage(windows.back().get(), true, s);
  }
  const TStringsHolder full = FullHolder();
  s.LoadLanguageText(full.LanguageFileText());
  for (auto _ : state) ApplyLanguageToAllWindows(s);
}
BENCHMARK(BM_ApplyToAllWindows)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

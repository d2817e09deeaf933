// The loading window stays painted and answering while the bases load on another thread.
#include "display/qt/ProgLoadingView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <vector>

namespace kessaro {
namespace {

QString Text(const QWidget& view, const char* name) {
  return view.findChild<QLabel*>(name)->text();
}

TEST(ProgLoadingView, ShowsTheProgramAndItsVersion) {
  TStringsHolder strings;
  TProgLoading loading;
  TProgLoadingView view(loading, strings);
  EXPECT_EQ(Text(view, "ProgNameLabel"), "Kessaro");
  EXPECT_EQ(Text(view, "ProgSpecLabel"), "Full Edition");
  EXPECT_EQ(Text(view, "VerLabel"), "Version 0.1 (Build 1)");
  EXPECT_EQ(view.windowTitle(), " Loading Kessaro Full Edition");
  EXPECT_TRUE(view.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(view.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(ProgLoadingView, AnswersWhileASlowLoadRuns) {
  std::int64_t now = 0;
  TProgLoading loading([&now] { return now; });
  TStringsHolder strings;
  TProgLoadingView view(loading, strings);
  std::vector<int> waits;
  view.SetWaiter([&waits](int ms) { waits.push_back(ms); });

  // The load blocks until the UI thread has shown its step: it can only go on if the UI
  // thread keeps running its timers and showing texts meanwhile.
  std::promise<void> release;
  std::future<void> released = release.get_future();
  bool stepShown = false;
  int ticksDuringLoad = 0;
  QTimer probe;
  probe.setInterval(1);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (stepShown) return;
    ++ticksDuringLoad;
    if (view.ProgressLabel()->text() != "Loading Fuseki") return;
    stepShown = true;
    const QString folder = QCoreApplication::applicationDirPath();
    view.grab().save(folder + "/loading-window.png");
    if (QScreen* screen = QGuiApplication::primaryScreen())
      screen->grabWindow(0).save(folder + "/loading-screen.png");
    release.set_value();
  });
  probe.start();

  std::atomic<bool> timedOut = false;
  view.Run([&] {
    loading.SetLoadingText("Loading Fuseki");
    // Only a bound so that a frozen UI thread fails the test instead of hanging it.
    if (released.wait_for(std::chrono::seconds(20)) != std::future_status::ready) timedOut = true;
    loading.SetLoadingText("Analyzing Base");
    now = 8000;
  });
  probe.stop();

  EXPECT_FALSE(timedOut);
  EXPECT_TRUE(stepShown);
  EXPECT_GT(ticksDuringLoad, 0);
  EXPECT_EQ(view.ProgressLabel()->text(), "Loaded");
  EXPECT_EQ(waits, std::vector<int>{1000});
  EXPECT_FALSE(view.isVisible());
}

TEST(ProgLoadingView, AFailedLoadStillClosesTheWindow) {
  TProgLoading loading;
  TStringsHolder strings;
  TProgLoadingView view(loading, strings);
  view.SetWaiter([](int) {});
  EXPECT_THROW(view.Run([] { throw std::runtime_error("disk gone"); }), std::runtime_error);
  EXPECT_FALSE(view.isVisible());
  EXPECT_FALSE(loading.Shown());
}

}  // namespace
}  // namespace kessaro

// The benchmarks run inside one QApplication on the offscreen platform.
#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "platform/heap.h"

int main(int argc, char** argv) {
  kemo::TuneHeap();  // as the editor does
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  if (qEnvironmentVariableIsEmpty("GST_PLUGIN_FEATURE_RANK")) qputenv("GST_PLUGIN_FEATURE_RANK", "fakeaudiosink:MAX");
  // The recovery journals the benchmarks write go to a state folder of their own.
  QTemporaryDir state;
  qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

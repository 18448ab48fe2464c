// The tests run inside one QApplication on the offscreen platform, with the audio silenced.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  if (qEnvironmentVariableIsEmpty("GST_PLUGIN_FEATURE_RANK")) qputenv("GST_PLUGIN_FEATURE_RANK", "fakeaudiosink:MAX");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QString dir = QDir::tempPath() + QStringLiteral("/kemo-runtime-") + QString::number(getuid());
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", dir.toLocal8Bit());
  }
  // The user's settings (the recent folders) go to a folder of this run, not the user's own.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  // The recovery journals of a test run go to a state folder of its own, gone with the run.
  QTemporaryDir state;
  qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
  // The waveform cache of a test run, likewise; GStreamer's plugin registry stays in the cache it was
  // in, since building it anew in every test's process takes half a second.
  if (qEnvironmentVariableIsEmpty("GST_REGISTRY")) {
    const QString before = qEnvironmentVariableIsEmpty("XDG_CACHE_HOME")
                               ? QDir::homePath() + QStringLiteral("/.cache")
                               : qEnvironmentVariable("XDG_CACHE_HOME");
    QDir().mkpath(before + QStringLiteral("/gstreamer-1.0"));
    qputenv("GST_REGISTRY", (before + QStringLiteral("/gstreamer-1.0/registry.kemo-tests.bin")).toLocal8Bit());
  }
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

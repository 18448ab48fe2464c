// The media machinery starts without the plugins of cameras, capture cards and graphics devices.
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QAudioDevice>
#include <QCameraDevice>
#include <QMediaDevices>
#include <gtest/gtest.h>

#include "platform/media_player.h"
#include "platform/media_plugins.h"
#include "platform/qt_media_player.h"
#include "support/test_support.h"

using namespace kemo;

TEST(MediaPlugins, ThePlayerAndTheSoundDevicesStartWithoutLoadingCapturePlugins) {
  const QString folder = QStringLiteral("/usr/lib/x86_64-linux-gnu/gstreamer-1.0/");
  QStringList present;
  for (const char* name : {"libgstvideo4linux2.so", "libgstdecklink.so", "libgstuvch264.so", "libgstvulkan.so"})
    if (QFileInfo::exists(folder + QLatin1String(name))) present << QLatin1String(name);
  if (present.isEmpty()) GTEST_SKIP() << "no capture plugin installed to leave out";

  LeaveOutCaptureDevices();
  auto player = CreateQtMediaPlayer();
  player->Prepare();
  QMediaDevices::videoInputs();
  QMediaDevices::audioOutputs();
  test::Pump(200);

  QFile maps(QStringLiteral("/proc/self/maps"));
  ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
  const QString loaded = QString::fromLocal8Bit(maps.readAll());
  ASSERT_TRUE(loaded.contains(QLatin1String("libgstreamer-1.0"))) << "the media machinery did not start";
  for (const QString& name : present) EXPECT_FALSE(loaded.contains(name)) << name.toStdString() << " was loaded";
}

// Where the sound server's clients look for it decides whether the editor asks for sound devices.
TEST(MediaPlugins, SoundOutputIsFoundWhereTheSoundServersClientsLookForIt) {
  if (QFileInfo::exists(QStringLiteral("/run/pulse/native")) ||
      !QDir(QStringLiteral("/dev/snd")).entryList({QStringLiteral("pcmC*D*p")}, QDir::System).isEmpty())
    GTEST_SKIP() << "this machine has a sound device";
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  const QByteArray saved[] = {qgetenv("PULSE_SERVER"), qgetenv("PULSE_RUNTIME_PATH"), qgetenv("XDG_RUNTIME_DIR"),
                              qgetenv("GST_PLUGIN_FEATURE_RANK")};
  struct Case {
    const char* name;
    const char* pulseServer;
    const char* socketBelowRuntime;  // a file made at this place below XDG_RUNTIME_DIR
    bool pulseRuntimePath;           // PULSE_RUNTIME_PATH names the runtime folder itself
    const char* gstRank;             // GST_PLUGIN_FEATURE_RANK
    bool present;
  };
  const Case cases[] = {
      {"nothing", nullptr, nullptr, false, nullptr, false},
      {"a server named", "unix:/nowhere/native", nullptr, false, nullptr, true},
      {"the session's socket", nullptr, "pulse/native", false, nullptr, true},
      {"a socket elsewhere in the runtime folder", nullptr, "other/native", false, nullptr, false},
      {"PULSE_RUNTIME_PATH's socket", nullptr, "native", true, nullptr, true},
      {"a sink ranked first for GStreamer", nullptr, nullptr, false, "fakeaudiosink:MAX", true},
      {"another feature ranked", nullptr, nullptr, false, "avdec_h264:MAX", false},
  };
  for (const Case& c : cases) {
    QDir(runtime.path()).removeRecursively();
    QDir().mkpath(runtime.path());
    if (c.socketBelowRuntime) {
      const QString file = runtime.filePath(QLatin1String(c.socketBelowRuntime));
      QDir().mkpath(QFileInfo(file).path());
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    c.pulseServer ? qputenv("PULSE_SERVER", c.pulseServer) : qunsetenv("PULSE_SERVER");
    c.pulseRuntimePath ? qputenv("PULSE_RUNTIME_PATH", runtime.path().toLocal8Bit()) : qunsetenv("PULSE_RUNTIME_PATH");
    c.gstRank ? qputenv("GST_PLUGIN_FEATURE_RANK", c.gstRank) : qunsetenv("GST_PLUGIN_FEATURE_RANK");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(SoundOutputPresent(), c.present) << c.name;
  }
  const char* names[] = {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "XDG_RUNTIME_DIR", "GST_PLUGIN_FEATURE_RANK"};
  for (int i = 0; i < 4; ++i) saved[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
}

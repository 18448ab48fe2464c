// The media machinery starts without the plugins of cameras, capture cards and graphics devices.
#include <QFile>
#include <QFileInfo>
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

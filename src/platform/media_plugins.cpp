#include "platform/media_plugins.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QtGlobal>
#include <algorithm>
#include <dlfcn.h>

namespace kemo {

namespace {

// The plugins whose device providers list capture devices or graphics cards, and OpenAL's, whose
// sink is the last resort of autoaudiosink where neither PulseAudio nor ALSA has a device.
constexpr const char* kCapturePlugins[] = {"video4linux2", "decklink", "uvch264", "vulkan",
                                           "dc1394",       "libcamera", "openal"};

}  // namespace

void LeaveOutCaptureDevices() {
  static bool done = false;
  if (done) return;
  done = true;
  // Another media backend chosen by the user does not use GStreamer at all.
  const QByteArray backend = qgetenv("QT_MEDIA_BACKEND");
  if (!backend.isEmpty() && backend != "gstreamer") return;
  // The library the media backend loads; taken at run time, so that the editor neither needs its
  // headers nor loads it before the window shows.
  void* gst = dlopen("libgstreamer-1.0.so.0", RTLD_NOW | RTLD_GLOBAL);
  if (!gst) return;
  using InitCheck = int (*)(int*, char***, void**);
  using RegistryGet = void* (*)();
  using FindPlugin = void* (*)(void*, const char*);
  using RemovePlugin = void (*)(void*, void*);
  using Unref = void (*)(void*);
  auto initCheck = reinterpret_cast<InitCheck>(dlsym(gst, "gst_init_check"));
  auto registryGet = reinterpret_cast<RegistryGet>(dlsym(gst, "gst_registry_get"));
  auto findPlugin = reinterpret_cast<FindPlugin>(dlsym(gst, "gst_registry_find_plugin"));
  auto removePlugin = reinterpret_cast<RemovePlugin>(dlsym(gst, "gst_registry_remove_plugin"));
  auto unref = reinterpret_cast<Unref>(dlsym(gst, "gst_object_unref"));
  if (!initCheck || !registryGet || !findPlugin || !removePlugin || !unref) return;
  if (!initCheck(nullptr, nullptr, nullptr)) return;
  void* registry = registryGet();
  for (const char* name : kCapturePlugins) {
    if (void* plugin = findPlugin(registry, name)) {
      removePlugin(registry, plugin);
      unref(plugin);
    }
  }
}

bool SoundOutputPresent() {
  if (!qEnvironmentVariableIsEmpty("PULSE_SERVER")) return true;
  // A sink the user ranked first for GStreamer (fakeaudiosink for a machine that plays to nowhere)
  // takes the sound whatever devices there are.
  if (qEnvironmentVariable("GST_PLUGIN_FEATURE_RANK").contains(QStringLiteral("audiosink"))) return true;
  // Where the PulseAudio client library looks for its server's socket (a server of the session, one
  // of the system), as PipeWire's PulseAudio server puts it there too.
  QStringList sockets;
  if (!qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH"))
    sockets << qEnvironmentVariable("PULSE_RUNTIME_PATH") + QStringLiteral("/native");
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
    sockets << qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/native");
  sockets << QStringLiteral("/run/pulse/native") << QStringLiteral("/var/run/pulse/native");
  for (const QString& s : sockets)
    if (QFileInfo(s).exists()) return true;
  // A sound card's playback device (pcmC0D0p and the like). The names are matched by hand: a name
  // filter is a regular expression, and its engine would be loaded for this alone.
  const QStringList devices = QDir(QStringLiteral("/dev/snd")).entryList(QDir::System);
  return std::any_of(devices.begin(), devices.end(), [](const QString& n) {
    const qsizetype d = n.indexOf(QLatin1Char('D'), 4);
    return n.startsWith(QLatin1String("pcmC")) && n.endsWith(QLatin1Char('p')) && d > 0 && d < n.size() - 1;
  });
}

}  // namespace kemo

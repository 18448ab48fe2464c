#include "platform/media_plugins.h"

#include <QByteArray>
#include <QtGlobal>
#include <dlfcn.h>

namespace kemo {

namespace {

// The plugins whose device providers list capture devices or graphics cards.
constexpr const char* kCapturePlugins[] = {"video4linux2", "decklink", "uvch264", "vulkan", "dc1394", "libcamera"};

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

}  // namespace kemo

#pragma once
// The media machinery as the editor needs it: it plays files, it never captures.

namespace kemo {

// Keeps GStreamer from loading the plugins of capture devices and graphics cards (cameras, capture
// cards, Vulkan devices), with their libraries, only to list devices the editor never uses. Done
// once, before the first player or sound device is made; without GStreamer, or with another media
// backend chosen, it does nothing.
void LeaveOutCaptureDevices();

}  // namespace kemo

#pragma once
// The media machinery as the editor needs it: it plays files, it never captures.

namespace kemo {

// Keeps GStreamer from loading the plugins of capture devices and graphics cards (cameras, capture
// cards, Vulkan devices), with their libraries, only to list devices the editor never uses. Done
// once, before the first player or sound device is made; without GStreamer, or with another media
// backend chosen, it does nothing.
// Also leaves out OpenAL's sink, which autoaudiosink tries only after PulseAudio's and ALSA's have
// failed, that is where there is no sound device, and which then prints ALSA's errors on stderr.
void LeaveOutCaptureDevices();

// True when sound may be played here: a sound server (PulseAudio or PipeWire's) is named in
// PULSE_SERVER or has its socket where its clients look for it, or an ALSA playback device exists.
// Without any, the editor does not ask the sound libraries for devices (they would only print their
// failures): the video plays without sound and a beep rings the display's bell.
bool SoundOutputPresent();

}  // namespace kemo

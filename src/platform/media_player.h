#pragma once
// The embedded player as the editor drives it: load by path, transport, position and duration in
// seconds, mute, a play-state value and a status text, and two notifications. Calls never fail
// towards the caller: without media they do nothing and reads give 0.
#include <QObject>
#include <QString>

class QWidget;

namespace kemo {

// Play-state values.
namespace PlayState {
constexpr int Undefined = 0;
constexpr int Stopped = 1;
constexpr int Paused = 2;
constexpr int Playing = 3;
constexpr int Buffering = 6;
constexpr int Transitioning = 9;
constexpr int Ready = 10;
constexpr int Last = 12;
}  // namespace PlayState

class MediaPlayer : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~MediaPlayer() override = default;

  // "" unloads. A path loads the file; the play state then becomes ready (or stopped) by itself.
  virtual void SetURL(const QString& path) = 0;
  virtual QString URL() const = 0;
  virtual int PlayState() const = 0;
  virtual QString Status() const = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  virtual double CurrentPosition() const = 0;
  virtual void SetCurrentPosition(double seconds) = 0;
  virtual double Duration() const = 0;
  virtual void SetMute(bool mute) = 0;
  // Makes ready, ahead of the first load, what the player needs to play (a load does it too).
  virtual void Prepare() {}
  // The picture (and its transport bar) to place in the window; null for players without one.
  virtual QWidget* View() { return nullptr; }
  // True while the player stands stopped because the media played to its end (not because it was
  // told to stop).
  virtual bool AtEnd() const { return false; }

  // Counts the loads and unloads: whatever was begun for one media concerns no later one.
  int MediaSerial() const { return mediaSerial_; }
  // True when a media is loaded that the player can play (not unloaded, not unplayable).
  bool HasMedia() const { return !URL().isEmpty() && PlayState() != PlayState::Undefined; }

 Q_SIGNALS:
  void PlayStateChange(int newState);
  void PositionChange(double oldPosition, double newPosition);
  // The user moved the player's own position control: the editor seeks there as with its seek
  // buttons (the player itself has not moved).
  void SeekRequested(double seconds);

 protected:
  void CountMediaChange() { ++mediaSerial_; }

 private:
  int mediaSerial_ = 0;
};

}  // namespace kemo

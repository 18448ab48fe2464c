#include "platform/qt_media_player.h"

#include <QAudioOutput>
#include <cmath>
#include <QBoxLayout>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QUrl>
#include <QVideoWidget>
#include <algorithm>
#include <functional>
#include <optional>

#include "platform/media_player.h"
#include "platform/media_plugins.h"
#include "platform/player_icons.h"
#include "platform/twips.h"

namespace kemo {

int PlayStateOf(bool loaded, QMediaPlayer::PlaybackState playback, QMediaPlayer::MediaStatus status, bool started) {
  if (!loaded) return PlayState::Undefined;
  switch (status) {
    case QMediaPlayer::NoMedia:
    case QMediaPlayer::InvalidMedia: return PlayState::Undefined;
    // QMediaPlayer says "playing" inside play() before the file has loaded; until it has, the
    // editor must not take the video for running.
    case QMediaPlayer::LoadingMedia: return PlayState::Transitioning;
    case QMediaPlayer::EndOfMedia: return PlayState::Stopped;
    default: break;
  }
  switch (playback) {
    case QMediaPlayer::PlayingState:
      return (status == QMediaPlayer::StalledMedia || status == QMediaPlayer::BufferingMedia) ? PlayState::Buffering
                                                                                               : PlayState::Playing;
    case QMediaPlayer::PausedState: return PlayState::Paused;
    case QMediaPlayer::StoppedState: break;
  }
  return started ? PlayState::Stopped : PlayState::Ready;
}

QString StatusTextOf(int playState, bool invalidMedia) {
  switch (playState) {
    case PlayState::Stopped: return QStringLiteral("停止中");
    case PlayState::Paused: return QStringLiteral("一時停止中");
    case PlayState::Playing: return QStringLiteral("再生中");
    case PlayState::Buffering: return QStringLiteral("バッファリング中");
    case PlayState::Transitioning: return QStringLiteral("読み込み中");
    case PlayState::Ready: return QStringLiteral("準備完了");
    default: return invalidMedia ? QStringLiteral("再生できません") : QString();
  }
}

namespace {

// The view: the picture over the transport bar. It tells the player before its children go, so that
// the player never renders into a deleted picture.
class PlayerView : public QWidget {
 public:
  using QWidget::QWidget;
  ~PlayerView() override {
    if (onDestroy) onDestroy();
  }
  std::function<void()> onDestroy;
  std::function<void()> onLayoutScale;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == LayoutScaleEventType() && onLayoutScale) onLayoutScale();
    return QWidget::event(e);
  }
};

// The position bar: a click on the groove puts the handle under the pointer at once and goes on as a
// drag from there (the seek comes with the release), as media players do; Page Up/Page Down move
// by its page step.
class PositionBar : public QSlider {
 public:
  using QSlider::QSlider;

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && maximum() > minimum()) {
      QStyleOptionSlider opt;
      initStyleOption(&opt);
      const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
      const QPoint at = e->position().toPoint();
      if (!handle.contains(at)) {
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const int span = groove.width() - handle.width();
        const int x = at.x() - groove.x() - handle.width() / 2;
        setSliderPosition(QStyle::sliderValueFromPosition(minimum(), maximum(), x, qMax(span, 1), opt.upsideDown));
      }
    }
    QSlider::mousePressEvent(e);
  }
};

// The position bar's handle and groove grow with the layout above the design size, as the bar does.
class ScaledSliderStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    const int base = QProxyStyle::pixelMetric(metric, option, widget);
    if (metric == PM_SliderLength || metric == PM_SliderThickness || metric == PM_SliderControlThickness)
      return static_cast<int>(std::lround(base * std::max(1.0, LayoutScale())));
    return base;
  }
};

class QtMediaPlayer : public MediaPlayer {
 public:
  QtMediaPlayer() = default;

  ~QtMediaPlayer() override {
    if (view_) {
      view_->onDestroy = nullptr;
      delete view_.data();
    }
    if (player_) player_->setVideoOutput(nullptr);
  }

  // The media machinery (GStreamer, its plugins, the sound devices) takes longer to start than
  // the whole window takes to build: it is made here, after the window shows, or at the first load.
  void Prepare() override {
    if (player_) return;
    LeaveOutCaptureDevices();
    player_ = new QMediaPlayer(this);
    // Without a sound device the video plays silent, without sound libraries listing no devices.
    if (SoundOutputPresent()) {
      audio_ = new QAudioOutput(this);
      audio_->setMuted(muted_);
      player_->setAudioOutput(audio_);
    }
    connect(player_, &QMediaPlayer::playbackStateChanged, this, [this] { Update(); });
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
      if (s == QMediaPlayer::LoadedMedia || s == QMediaPlayer::BufferedMedia) ApplyPendingSeek();
      Update();
    });
    connect(player_, &QMediaPlayer::seekableChanged, this, [this](bool seekable) {
      if (seekable) ApplyPendingSeek();
    });
    connect(player_, &QMediaPlayer::positionChanged, this, [this](qint64 ms) { OnQtPosition(ms); });
    connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
      if (slider_) slider_->setRange(0, static_cast<int>(qMax<qint64>(ms, 0)));
    });
    connect(player_, &QMediaPlayer::errorOccurred, this, [this] { Update(); });
    if (view_) AddPicture();
  }

  void SetURL(const QString& path) override {
    CountMediaChange();
    url_ = path;
    started_ = false;
    pendingSeek_.reset();
    heldPosition_.reset();
    if (path.isEmpty()) {
      if (player_) {
        player_->stop();
        player_->setSource(QUrl());
      }
    } else {
      Prepare();
      const QUrl url = QUrl::fromLocalFile(path);
      // The same file again (a new conversion replaced it): load it anew, not keep the old one.
      if (player_->source() == url) player_->setSource(QUrl());
      player_->setSource(url);
    }
    Update();
  }
  QString URL() const override { return url_; }
  int PlayState() const override { return url_.isEmpty() ? PlayState::Undefined : state_; }
  QString Status() const override {
    return StatusTextOf(PlayState(), player_ && player_->mediaStatus() == QMediaPlayer::InvalidMedia);
  }

  void Play() override {
    if (url_.isEmpty()) return;
    heldPosition_.reset();
    player_->play();
  }
  void Pause() override {
    if (url_.isEmpty()) return;
    heldPosition_.reset();
    pictureToPosition_ = true;
    player_->pause();
  }
  void Stop() override {
    if (url_.isEmpty()) return;
    heldPosition_.reset();
    player_->stop();
  }

  double CurrentPosition() const override {
    if (url_.isEmpty()) return 0.0;
    if (heldPosition_) return *heldPosition_;
    return static_cast<double>(player_->position()) / 1000.0;
  }

  void SetCurrentPosition(double seconds) override {
    if (url_.isEmpty()) return;
    // A position written after the pause was asked for is the one the picture goes to.
    pictureToPosition_ = false;
    const qint64 ms = static_cast<qint64>(std::llround(qBound(-1.0e9, seconds, 1.0e9) * 1000.0));
    // Never a position the media does not have: GStreamer would complain and the next play would
    // end at once.
    const qint64 duration = player_->duration();
    const qint64 target = duration > 0 ? qBound<qint64>(0, ms, duration) : qMax<qint64>(ms, 0);
    if (player_->playbackState() == QMediaPlayer::StoppedState && started_) {
      // A stopped player (at the end of the media) does not keep a written position: hold it, so
      // that the video that ran to its end keeps showing its end until it is played again.
      const qint64 held = qMin(target, qMax<qint64>(player_->duration(), 0));
      heldPosition_ = static_cast<double>(held) / 1000.0;
      if (slider_) {
        const QSignalBlocker block(slider_);
        slider_->setValue(static_cast<int>(held));
      }
      EmitPosition(*heldPosition_);
      return;
    }
    if (!player_->isSeekable()) {
      pendingSeek_ = target;
      return;
    }
    player_->setPosition(target);
  }

  double Duration() const override {
    if (url_.isEmpty()) return 0.0;
    return static_cast<double>(qMax<qint64>(player_->duration(), 0)) / 1000.0;
  }

  void SetMute(bool mute) override {
    muted_ = mute;
    if (audio_) audio_->setMuted(mute);
    if (muteButton_) muteButton_->setChecked(mute);
  }

  bool AtEnd() const override {
    return !url_.isEmpty() && player_->mediaStatus() == QMediaPlayer::EndOfMedia;
  }

  QWidget* View() override {
    if (view_) return view_;
    BuildView();
    return view_;
  }

 private:
  void BuildView() {
    auto* view = new PlayerView;
    view_ = view;
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    // Black until the picture is made (with the media machinery).
    blank_ = new QWidget(view);
    blank_->setAutoFillBackground(true);
    QPalette p = blank_->palette();
    p.setColor(QPalette::Window, Qt::black);
    blank_->setPalette(p);
    column->addWidget(blank_, 1);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(2, 0, 2, 0);
    bar->setSpacing(2);
    playButton_ = new QToolButton(view);
    playButton_->setObjectName(QStringLiteral("WMPV_play"));
    playButton_->setIcon(PlayerIcon(PlayerSymbol::Play));
    playButton_->setToolTip(QStringLiteral("再生／一時停止"));
    auto* stopButton = new QToolButton(view);
    stopButton->setObjectName(QStringLiteral("WMPV_stop"));
    stopButton->setIcon(PlayerIcon(PlayerSymbol::Stop));
    stopButton->setToolTip(QStringLiteral("停止"));
    slider_ = new PositionBar(Qt::Horizontal, view);
    slider_->setObjectName(QStringLiteral("WMPV_position"));
    auto* sliderStyle = new ScaledSliderStyle;
    sliderStyle->setParent(slider_);
    slider_->setStyle(sliderStyle);
    slider_->setRange(0, 0);
    slider_->setSingleStep(1000);
    slider_->setPageStep(10000);
    muteButton_ = new QToolButton(view);
    muteButton_->setObjectName(QStringLiteral("WMPV_mute"));
    muteButton_->setCheckable(true);
    muteButton_->setIcon(PlayerIcon(PlayerSymbol::Sound));
    muteButton_->setToolTip(QStringLiteral("消音"));
    for (QWidget* w : {static_cast<QWidget*>(playButton_), static_cast<QWidget*>(stopButton),
                       static_cast<QWidget*>(slider_), static_cast<QWidget*>(muteButton_)})
      w->setFocusPolicy(Qt::TabFocus);  // reached by Tab; a click leaves the focus where it was
    bar->addWidget(playButton_);
    bar->addWidget(stopButton);
    bar->addWidget(slider_, 1);
    bar->addWidget(muteButton_);
    column->addLayout(bar);

    connect(playButton_, &QToolButton::clicked, this, [this] {
      if (state_ == PlayState::Playing || state_ == PlayState::Buffering)
        Pause();
      else
        Play();
    });
    connect(stopButton, &QToolButton::clicked, this, [this] { Stop(); });
    // The slider asks the editor to seek, as its seek buttons do, so that the grids and the stage
    // follow; the editor then writes the position.
    connect(slider_, &QSlider::sliderReleased, this,
            [this] { Q_EMIT SeekRequested(static_cast<double>(slider_->value()) / 1000.0); });
    connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
      // Keys move the slider without a drag.
      if (action != QAbstractSlider::SliderMove && !slider_->isSliderDown())
        Q_EMIT SeekRequested(static_cast<double>(slider_->sliderPosition()) / 1000.0);
    });
    connect(muteButton_, &QToolButton::toggled, this, [this](bool on) {
      muted_ = on;
      if (audio_) audio_->setMuted(on);
      muteButton_->setIcon(PlayerIcon(on ? PlayerSymbol::Muted : PlayerSymbol::Sound));
    });
    muteButton_->setChecked(muted_);

    // The bar grows and shrinks with the layout like every other control: 26 pixels high with
    // 16-pixel symbols at the design size.
    view->onLayoutScale = [this, stopButton] {
      const int symbol = std::max(8, TwipsToPixels(240));
      const int height = std::max(12, TwipsToPixels(390));
      for (QToolButton* b : {playButton_, stopButton, muteButton_}) {
        if (!b) continue;
        b->setIconSize(QSize(symbol, symbol));
        b->setFixedSize(height, height);
      }
      if (slider_) slider_->setFixedHeight(height);
    };
    view->onLayoutScale();

    view->onDestroy = [this] {
      if (player_) player_->setVideoOutput(nullptr);
      video_ = nullptr;
      blank_ = nullptr;
      playButton_ = nullptr;
      slider_ = nullptr;
      muteButton_ = nullptr;
    };
    if (player_) AddPicture();
    UpdateBar();
  }

  // The picture takes the black stand-in's place.
  void AddPicture() {
    if (video_ || !blank_) return;
    video_ = new QVideoWidget(view_);
    video_->setObjectName(QStringLiteral("WMPV_video"));
    video_->setAutoFillBackground(true);
    video_->setPalette(blank_->palette());
    static_cast<QBoxLayout*>(view_->layout())->insertWidget(0, video_, 1);
    delete blank_;
    blank_ = nullptr;
    player_->setVideoOutput(video_);
  }

  void UpdateBar() {
    if (!playButton_) return;
    const bool running = state_ == PlayState::Playing || state_ == PlayState::Buffering;
    playButton_->setIcon(PlayerIcon(running ? PlayerSymbol::Pause : PlayerSymbol::Play));
  }

  // QMediaPlayer changes its state inside play() and pause(). The editor's model is the embedded
  // player's: a call returns at once and the new state arrives later as an event, and the state
  // read is the one last reported. So a change is reported from the event loop, as what the player
  // is then (changes in between fold into one), never a stale value: a stale "playing" arriving
  // after a pause would make the editor play again, and the pause that follows would repeat it.
  void Update() {
    if (!player_) return;
    const QMediaPlayer::PlaybackState pb = player_->playbackState();
    if (pb == QMediaPlayer::PlayingState || pb == QMediaPlayer::PausedState) started_ = true;
    if (deliveryPending_) return;
    deliveryPending_ = true;
    QMetaObject::invokeMethod(this, [this] { Deliver(); }, Qt::QueuedConnection);
  }

  void Deliver() {
    deliveryPending_ = false;
    const int s = PlayStateOf(!url_.isEmpty(), player_->playbackState(), player_->mediaStatus(), started_);
    if (s == state_) return;
    const bool wasRunning = state_ == PlayState::Playing || state_ == PlayState::Buffering;
    state_ = s;
    UpdateBar();
    if (s == PlayState::Paused && !heldPosition_) {
      qint64 at = player_->position();
      // A pipeline paused while playing holds whichever frame its video sink had queued, which on a
      // busy machine (or just after a seek) may stand a second or more away from the position it
      // reports: the picture is sought there, as any paused seek, so that it shows the frame of the
      // time in the label and the slider. One millisecond on, since the player takes a seek to the
      // position it reports for no seek at all.
      if (wasRunning && pictureToPosition_ && player_->isSeekable()) {
        const qint64 duration = player_->duration();
        at = duration > 0 ? qMin(at + 1, duration) : at + 1;
        player_->setPosition(at);
      }
      OnQtPosition(at);
    }
    if (s != PlayState::Buffering) pictureToPosition_ = false;
    Q_EMIT PlayStateChange(s);
  }

  void ApplyPendingSeek() {
    if (!pendingSeek_ || !player_->isSeekable()) return;
    const qint64 target = *pendingSeek_;
    pendingSeek_.reset();
    player_->setPosition(target);
  }

  void OnQtPosition(qint64 ms) {
    if (heldPosition_) return;
    if (slider_ && !slider_->isSliderDown()) {
      const QSignalBlocker block(slider_);
      slider_->setValue(static_cast<int>(ms));
    }
    EmitPosition(static_cast<double>(ms) / 1000.0);
  }

  void EmitPosition(double seconds) {
    const double old = lastPosition_;
    lastPosition_ = seconds;
    QMetaObject::invokeMethod(this, [this, old, seconds] { Q_EMIT PositionChange(old, seconds); },
                              Qt::QueuedConnection);
  }

  QMediaPlayer* player_ = nullptr;
  QAudioOutput* audio_ = nullptr;
  QPointer<PlayerView> view_;
  QVideoWidget* video_ = nullptr;
  QWidget* blank_ = nullptr;
  QToolButton* playButton_ = nullptr;
  QSlider* slider_ = nullptr;
  QToolButton* muteButton_ = nullptr;
  QString url_;
  int state_ = PlayState::Undefined;
  bool started_ = false;
  bool deliveryPending_ = false;
  bool muted_ = false;
  bool pictureToPosition_ = false;  // a pause was asked for and no position written since
  double lastPosition_ = 0.0;
  std::optional<qint64> pendingSeek_;
  std::optional<double> heldPosition_;
};

}  // namespace

std::unique_ptr<MediaPlayer> CreateQtMediaPlayer() { return std::make_unique<QtMediaPlayer>(); }

}  // namespace kemo

#include "app/timeline_wiring.h"

#include <QAction>
#include <QDockWidget>
#include <QFileInfo>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QSettings>
#include <QStyle>
#include <QTimer>
#include <cmath>

#include "document/editor.h"
#include "platform/paths.h"
#include "platform/record_set.h"
#include "timeline/peak_cache.h"
#include "timeline/peak_job.h"
#include "timeline/timeline_strip.h"

namespace kemo {

namespace {

const QString kShownKey = QStringLiteral("view/timeline");

QSettings UserSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kemo-editor"),
                   QStringLiteral("kemo-editor"));
}

// The folder's video for the waveform: Video.flv, else Video.avi.
QString SoundVideoOf(const QString& folder) {
  if (folder.isEmpty()) return {};
  for (const QString& name : {QStringLiteral("Video.flv"), QStringLiteral("Video.avi")}) {
    const QString path = JoinPath(folder, name);
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

class TimelineWiring : public QObject {
 public:
  TimelineWiring(QMainWindow* window, Editor& ed)
      : QObject(window), window_(window), ed_(ed), job_([this] {
          QMetaObject::invokeMethod(this, [this] { TakePeaks(); }, Qt::QueuedConnection);
        }) {
    // 表示 stands before ヘルプ, which stays the last menu; the main window puts it there.
    QMenu* view = window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuView"));
    action_ = view->addAction(QStringLiteral("タイムライン"));
    action_->setObjectName(QStringLiteral("mnuViewTimeline"));
    action_->setCheckable(true);
    action_->setShortcut(QKeySequence(Qt::Key_F12));
    action_->setShortcutContext(Qt::ApplicationShortcut);

    strip_ = new TimelineStrip(ed);
    dock_ = new QDockWidget(window);
    dock_->setObjectName(QStringLiteral("dockTimeline"));
    dock_->setTitleBarWidget(new QWidget(dock_));
    dock_->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock_->setAllowedAreas(Qt::BottomDockWidgetArea);
    dock_->setWidget(strip_);
    window->addDockWidget(Qt::BottomDockWidgetArea, dock_);
    dock_->hide();

    tick_.setInterval(100);
    connect(&tick_, &QTimer::timeout, this, [this] { OnTick(); });
    connect(action_, &QAction::toggled, this, [this](bool on) { SetShown(on, true); });
    if (ed.RS_SLD)
      connect(ed.RS_SLD, &RecordSet::MoveComplete, this, [this](int row) {
        if (dock_->isVisible()) strip_->ShowSlide(row);
      });
    // The mode refresh follows every open, state change and undo: the strip follows it.
    auto previous = ed.RefreshHook;
    ed.RefreshHook = [previous, self = QPointer<TimelineWiring>(this)](Editor& e) {
      if (previous) previous(e);
      if (self) self->OnTick();
    };
    // Shown at the last end: shown again once the window has its size.
    if (UserSettings().value(kShownKey, false).toBool())
      QTimer::singleShot(0, this, [this] { action_->setChecked(true); });
  }

  ~TimelineWiring() override { job_.Cancel(); }

 private:
  void SetShown(bool on, bool remember) {
    if (remember) {
      QSettings s = UserSettings();
      s.setValue(kShownKey, on);
    }
    if (on == dock_->isVisible()) return;
    const bool free = !(window_->isMaximized() || window_->isFullScreen());
    const int central = window_->centralWidget() ? window_->centralWidget()->height() : 0;
    if (on) {
      dock_->show();
      if (free) {
        const int sep = window_->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, window_);
        grown_ = dock_->sizeHint().height() + sep;
        window_->resize(window_->width(), window_->height() + grown_);
        // Whatever the layout took besides: the design area keeps its height.
        if (QWidget* c = window_->centralWidget()) {
          window_->layout()->activate();
          const int lost = central - c->height();
          if (lost != 0) {
            grown_ += lost;
            window_->resize(window_->width(), window_->height() + lost);
          }
        }
      }
      tick_.start();
      OnTick();
    } else {
      dock_->hide();
      if (free && grown_ > 0) window_->resize(window_->width(), window_->height() - grown_);
      grown_ = 0;
      tick_.stop();
    }
  }

  void OnTick() {
    if (!dock_->isVisible()) return;
    FollowVideo();
    strip_->setEnabled(!ed_.DataFolder.isEmpty());
    strip_->Refresh();
  }

  // Starts the waveform job when the open folder's video is another one than the last.
  void FollowVideo() {
    const QString video = SoundVideoOf(ed_.DataFolder);
    const QFileInfo info(video);
    const QString key = video.isEmpty() ? QString()
                                        : video + QLatin1Char('|') + QString::number(info.size()) + QLatin1Char('|') +
                                              QString::number(info.lastModified().toMSecsSinceEpoch());
    if (key == videoKey_) return;
    videoKey_ = key;
    strip_->ResetFolder();
    if (video.isEmpty()) {
      job_.Cancel();
      strip_->SetWaveNote(ed_.DataFolder.isEmpty() ? QString() : QStringLiteral("動画ファイルがありません"));
      return;
    }
    const QString base = ed_.UserWorkBase.isEmpty() ? UserWorkBase() : ed_.UserWorkBase;
    job_.Start({video, ed_.DataFolder, ed_.ProgramFolder, PeakCacheFolder(base)});
    TakePeaks();
  }

  void TakePeaks() {
    const bool added = job_.TakeNew(&strip_->Peaks());
    strip_->SetSoundDuration(job_.Duration());
    const double d = job_.Duration();
    switch (job_.Status()) {
      case WaveformStatus::Working:
        strip_->SetWaveNote(d > 0 ? QStringLiteral("波形を作成中… %1%").arg(std::lround(100 * strip_->Peaks().Seconds() / d))
                                  : QStringLiteral("波形を作成中…"));
        break;
      case WaveformStatus::Failed: strip_->SetWaveNote(QStringLiteral("波形を作成できません：") + job_.Reason()); break;
      default: strip_->SetWaveNote(QString());
    }
    if (added) strip_->PeaksChanged();
  }

  QMainWindow* window_;
  Editor& ed_;
  WaveformJob job_;
  QAction* action_ = nullptr;
  QDockWidget* dock_ = nullptr;
  TimelineStrip* strip_ = nullptr;
  QTimer tick_;
  QString videoKey_;
  int grown_ = 0;
};

}  // namespace

void WireTimeline(QMainWindow* window, Editor& ed) { new TimelineWiring(window, ed); }

}  // namespace kemo

#include "batch/batch_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <unistd.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include "batch/batch_actions.h"
#include "batch/batch_folders.h"
#include "batch/batch_report.h"
#include "batch/folder_convert.h"
#include "export/export_plan.h"
#include "platform/paths.h"

namespace kemo {

namespace {

std::atomic<int> interruption{0};
extern "C" void OnBatchInterrupt(int signal) { interruption = signal; }

void PrintLine(const QString& text) {
  const QByteArray bytes = text.toLocal8Bit() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
  std::fflush(stderr);
}

QString Usage() {
  QStringList names;
  for (const BatchAction& a : BatchActions()) names << a.name;
  return QStringLiteral("使い方: kemo-editor --batch ") + names.join(QLatin1Char('|')) +
         QStringLiteral(" ルートフォルダ [--jobs N] [--out 出力フォルダ] [--report 報告.json|.csv] [--resume] [--force]"
                        " [--quality 標準|小さい|速い]");
}

QString Clock(double seconds) {
  const qint64 s = seconds > 0 ? static_cast<qint64>(seconds + 0.5) : 0;
  return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

struct Options {
  QStringList actions;
  QString root, outDir, report;
  int jobs = 0;
  bool resume = false;
  BatchChoices choices;
};

bool Parse(const QStringList& args, Options* o) {
  if (args.size() < 3 || args[0] != QStringLiteral("--batch")) return false;
  o->actions = args[1].split(QLatin1Char(','), Qt::SkipEmptyParts);
  if (o->actions.isEmpty()) return false;
  for (const QString& a : o->actions)
    if (!FindBatchAction(a)) return false;
  for (qsizetype i = 2; i < args.size(); ++i) {
    const QString& a = args[i];
    const auto value = [&](QString* v) { return ++i < args.size() && !(*v = args[i]).isEmpty(); };
    if (a == QStringLiteral("--resume")) o->resume = true;
    else if (a == QStringLiteral("--force")) o->choices.force = true;
    else if (a == QStringLiteral("--out")) { if (!value(&o->outDir)) return false; }
    else if (a == QStringLiteral("--report")) { if (!value(&o->report)) return false; }
    else if (a == QStringLiteral("--quality")) {
      QString word;
      ExportQuality quality = ExportQuality::Standard;
      if (!value(&word) || !ParseExportQuality(word, &quality)) return false;
      // The default is given as no word at all: a run with and one without it are the same run.
      o->choices.quality = quality == ExportQuality::Standard ? QString() : ExportQualityName(quality);
    }
    else if (a == QStringLiteral("--jobs")) {
      QString n;
      bool ok = false;
      if (!value(&n) || (o->jobs = n.toInt(&ok)) < 1 || !ok) return false;
    } else if (a.startsWith(QStringLiteral("--")) || !o->root.isEmpty()) return false;
    else o->root = a;
  }
  return !o->root.isEmpty();
}

// A job waiting or running: its folder, action and what it has said.
struct Pending {
  BatchJob job;
  const BatchAction* action = nullptr;
  QString fingerprint;
  qint64 weight = 0;  // the video's size: lighter encodes first
};

// The last line of a job's error output that is not a warning, and its warnings.
void ReadOutput(const QByteArray& errors, QStringList* warnings, QString* message) {
  const QStringList lines = QString::fromLocal8Bit(errors).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    if (line.startsWith(QStringLiteral("警告: "))) *warnings << line.mid(4);
    else if (!line.isEmpty()) *message = line;
  }
}

class Batch {
 public:
  Batch(const Options& o, const QString& program) : o_(o), program_(program) {}

  int Run() {
    root_ = QDir::cleanPath(QFileInfo(o_.root).absoluteFilePath());
    if (!QFileInfo(root_).isDir()) {
      PrintLine(ShowPath(root_) + QStringLiteral("というフォルダがありません。"));
      return 2;
    }
    if (!o_.outDir.isEmpty()) outDir_ = QDir::cleanPath(QFileInfo(o_.outDir).absoluteFilePath());
    const int jobs = o_.jobs > 0 ? o_.jobs : std::max(1, QThread::idealThreadCount());
    // A journal per action: what an export wrote is known whatever actions ran beside it.
    std::map<QString, std::unique_ptr<BatchJournal>> journals;
    for (const QString& name : o_.actions) {
      journals[name] = std::make_unique<BatchJournal>(BatchJournal::PathFor({name}, root_, outDir_));
      if (!o_.resume) journals[name]->StartRun();
    }

    const QStringList folders = FindDataFolders(root_);
    for (const QString& relative : folders) {
      const QString folder = relative == QStringLiteral(".") ? root_ : JoinPath(root_, relative);
      for (const QString& name : o_.actions) {
        Pending p;
        p.action = FindBatchAction(name);
        p.job = BatchJob{folder, relative, p.action->output(folder, relative, outDir_)};
        p.fingerprint = FolderFingerprint(folder);
        // An export made at another quality is not one to keep on --resume.
        if (name == QStringLiteral("export") && !o_.choices.quality.isEmpty() && !p.fingerprint.isEmpty())
          p.fingerprint += QStringLiteral(" quality=") + o_.choices.quality;
        p.weight = QFileInfo(JoinPath(folder, QStringLiteral("Video.flv"))).size() +
                   QFileInfo(JoinPath(folder, QStringLiteral("Video.avi"))).size();
        const BatchRow* done = o_.resume ? journals[name]->Finished(relative, name) : nullptr;
        if (done && !p.fingerprint.isEmpty() && done->fingerprint == p.fingerprint) {
          rows_.push_back(*done);
          ++resumed_;
          continue;
        }
        (p.action->light ? light_ : heavy_).push_back(p);
      }
    }
    std::stable_sort(heavy_.begin(), heavy_.end(), [](const Pending& a, const Pending& b) { return a.weight < b.weight; });
    total_ = static_cast<int>(light_.size() + heavy_.size());
    PrintLine(QStringLiteral("%1 個のデータフォルダ、%2 件の処理（再開で済み %3 件）、同時に %4 件")
                  .arg(folders.size()).arg(total_).arg(resumed_).arg(jobs));

    struct sigaction action {};
    action.sa_handler = OnBatchInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    clock_.start();
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(200);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
      if (interruption != 0) {
        for (auto& [process, pending] : running_) process->terminate();
        if (running_.empty()) loop.quit();
        return;
      }
      ShowLive();
    });
    const auto startMore = [&] {
      while (interruption == 0 && static_cast<int>(running_.size()) < jobs) {
        // The light jobs go first: a check never waits behind an encode.
        Pending next;
        if (!light_.empty()) {
          next = light_.front();
          light_.pop_front();
        } else if (!heavy_.empty()) {
          next = heavy_.front();
          heavy_.pop_front();
        } else {
          break;
        }
        Start(next, journals[next.action->name].get(), [&] {
          if (interruption != 0 && running_.empty()) loop.quit();
        });
      }
      if (running_.empty() && light_.empty() && heavy_.empty()) loop.quit();
    };
    startMore_ = startMore;
    tick.start();
    QTimer::singleShot(0, &loop, startMore);
    loop.exec();
    tick.stop();
    ClearLive();

    if (!o_.report.isEmpty() && !WriteBatchReport(o_.report, rows_))
      PrintLine(ShowPath(QFileInfo(o_.report).absoluteFilePath()) + QStringLiteral("に報告を書けません。"));
    if (interruption != 0) {
      PrintLine(QStringLiteral("中止しました。済んだ %1 件は記録してあり、--resume で続きから始められます。").arg(done_));
      return 128 + interruption;
    }
    int failed = 0;
    for (const BatchRow& r : rows_) failed += (r.status == QStringLiteral("failed") || r.status == QStringLiteral("skipped")) ? 1 : 0;
    PrintLine(QStringLiteral("終了: %1 件中 失敗 %2 件（%3）").arg(rows_.size()).arg(failed).arg(Clock(clock_.elapsed() / 1000.0)));
    return failed > 0 ? 1 : 0;
  }

 private:
  template <typename Done>
  void Start(const Pending& p, BatchJournal* journal, Done onEnd) {
    BatchRow row;
    row.folder = p.job.relative;
    row.action = p.action->name;
    row.fingerprint = p.fingerprint;
    row.output = p.job.output;
    // An existing product the batch did not write stays, unless --force.
    if (!p.job.output.isEmpty() && QFileInfo::exists(p.job.output) && !o_.choices.force && !journal->Wrote(p.job.output)) {
      row.status = QStringLiteral("skipped");
      row.message = ShowPath(p.job.output) + QStringLiteral("が既にあるため、置き換えませんでした（--force で置き換えます）。");
      Finish(row, journal);
      QTimer::singleShot(0, [this] { startMore_(); });
      return;
    }
    if (!p.job.output.isEmpty()) QDir().mkpath(QFileInfo(p.job.output).absolutePath());
    auto* process = new QProcess;
    process->setProgram(program_);
    process->setArguments(p.action->arguments(p.job, o_.choices));
    process->setStandardInputFile(QProcess::nullDevice());
    if (!p.action->warningsOnOutput) process->setStandardOutputFile(QProcess::nullDevice());
#if defined(__linux__)
    // The jobs end with the batch, however it ends (kill -9 included); --resume redoes them.
    const pid_t batch = ::getpid();
    process->setChildProcessModifier([batch] {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::setpgid(0, 0);  // Ctrl+C reaches the batch, which ends its jobs itself
      if (::getppid() != batch) ::_exit(127);
    });
#endif
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    running_.emplace_back(process, p);
    const BatchAction* action = p.action;
    QObject::connect(process, &QProcess::finished, process, [this, process, row, timer, journal, onEnd, action](int code, QProcess::ExitStatus status) mutable {
      row.seconds = timer->elapsed() / 1000.0;
      QString message;
      ReadOutput(process->readAllStandardError(), &row.warnings, &message);
      if (action->warningsOnOutput && code == action->warningExit)
        row.warnings << QString::fromLocal8Bit(process->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
      if (status == QProcess::CrashExit) {
        row.status = QStringLiteral("failed");
        row.message = interruption != 0 ? QStringLiteral("中止しました。") : QStringLiteral("処理が異常終了しました。") + message;
      } else if (code == 0 || code == action->warningExit) {
        row.status = code == 0 && row.warnings.isEmpty() ? QStringLiteral("ok") : QStringLiteral("warning");
        row.message = message;
        row.outputStamp = row.output.isEmpty() ? QString() : FileStamp(row.output);
      } else {
        row.status = QStringLiteral("failed");
        row.message = message.isEmpty() ? QStringLiteral("終了コード %1").arg(code) : message;
      }
      running_.erase(std::remove_if(running_.begin(), running_.end(), [&](const auto& r) { return r.first == process; }),
                     running_.end());
      process->deleteLater();
      // Rows of jobs ended by an interruption are not kept: --resume redoes them.
      if (interruption == 0) Finish(row, journal);
      onEnd();
      startMore_();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [this, process, row, journal](QProcess::ProcessError e) mutable {
      if (e != QProcess::FailedToStart) return;
      row.status = QStringLiteral("failed");
      row.message = ShowPath(program_) + QStringLiteral("を起動できません。");
      running_.erase(std::remove_if(running_.begin(), running_.end(), [&](const auto& r) { return r.first == process; }),
                     running_.end());
      process->deleteLater();
      Finish(row, journal);
      startMore_();
    });
    process->start();
  }

  void Finish(const BatchRow& row, BatchJournal* journal) {
    journal->Append(row);
    rows_.push_back(row);
    ++done_;
    ClearLive();
    const double elapsed = clock_.elapsed() / 1000.0;
    const QString left = done_ < total_ ? Clock(elapsed / done_ * (total_ - done_)) : Clock(0);
    PrintLine(QStringLiteral("[%1/%2] %3 %4 %5 (%6 秒)%7　残り 約 %8")
                  .arg(done_).arg(total_).arg(row.status, row.action, row.folder)
                  .arg(row.seconds, 0, 'f', 1)
                  .arg(row.status == QStringLiteral("ok") ? QString() : QStringLiteral(" ") + row.message)
                  .arg(left));
  }

  // On a terminal, a line that keeps the whole in view between the finished jobs.
  void ShowLive() {
    if (!::isatty(STDERR_FILENO) || total_ == 0) return;
    const double elapsed = clock_.elapsed() / 1000.0;
    const QString left = done_ > 0 ? Clock(elapsed / done_ * (total_ - done_)) : QStringLiteral("--:--");
    const QByteArray line = QStringLiteral("\r\033[K%1/%2 済み　実行中 %3　経過 %4　残り 約 %5")
                                .arg(done_).arg(total_).arg(running_.size()).arg(Clock(elapsed), left)
                                .toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    live_ = true;
  }
  void ClearLive() {
    if (!live_) return;
    std::fputs("\r\033[K", stderr);
    live_ = false;
  }

  const Options& o_;
  const QString program_;
  QString root_, outDir_;
  std::deque<Pending> light_, heavy_;
  std::vector<std::pair<QProcess*, Pending>> running_;
  std::vector<BatchRow> rows_;
  std::function<void()> startMore_;
  QElapsedTimer clock_;
  int total_ = 0, done_ = 0, resumed_ = 0;
  bool live_ = false;
};

}  // namespace

bool IsBatchCommandLine(int argc, char** argv) {
  return argc >= 2 && (std::strcmp(argv[1], "--batch") == 0 || std::strcmp(argv[1], "--convert") == 0);
}

int RunBatchCommandLine(const QStringList& args, const QString& program, const QString& programFolder) {
  if (args.value(0) == QStringLiteral("--convert")) return RunConvertCommandLine(args, programFolder);
  Options o;
  if (!Parse(args, &o)) {
    PrintLine(Usage());
    return 2;
  }
  Batch batch(o, program);
  return batch.Run();
}

}  // namespace kemo

// How soon the window is on the screen: the real executable started under a real X server (Xvfb)
// with no folder, timed from the start of the process to the window's first drawing, which the
// server reports through its damage extension. "mapped_ms" is when the window was mapped. A bare Qt
// main window (bench/bare), started in turn with the editor under the same load, is the floor:
// "bare_ms" is its time to the first drawing, each the median of the starts, and "ratio" the median
// of the editor's time over the bare window's, pair by pair.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            posix_spawn_file_actions_t* actions = nullptr) {
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0) return -1;
  return pid;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Reap(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// A server of the benchmark's own; it picks a free display and tells its number.
class Server {
 public:
  Server() {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    pid_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset"}, env,
                 &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~Server() { Reap(pid_); }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// The times of one start, in milliseconds; negative when the window did not come.
struct StartTimes {
  double mapped = -1;
  double drawn = -1;
  int signal = 0;  // the signal that ended the program before its window was drawn
};

class Watcher {
 public:
  explicit Watcher(const std::string& display) {
    c_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c_)) return;
    damage_ = xcb_get_extension_data(c_, &xcb_damage_id);
    if (!damage_ || !damage_->present) return;
    xcb_discard_reply(c_, xcb_damage_query_version(c_, 1, 1).sequence);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c_);
    ok_ = true;
  }
  ~Watcher() {
    if (c_) xcb_disconnect(c_);
  }
  bool ok() const { return ok_; }

  // Runs the program and waits for its window; the process is killed afterwards.
  StartTimes Start(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    Drain();
    StartTimes times;
    std::set<xcb_window_t> mapped;
    const Clock::time_point t0 = Clock::now();
    const pid_t pid = Spawn(args, env);
    if (pid < 0) return times;
    auto ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); };
    pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
    while (times.drawn < 0 && ms() < 20000) {
      xcb_generic_event_t* e = xcb_poll_for_event(c_);
      if (!e) {
        if (xcb_connection_has_error(c_)) break;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
          if (WIFSIGNALED(status)) times.signal = WTERMSIG(status);
          return times;
        }
        poll(&p, 1, 100);
        continue;
      }
      const uint8_t type = e->response_type & 0x7f;
      if (type == XCB_CREATE_NOTIFY) {
        // Watched from its creation, so that no drawing before the map notice is missed.
        const auto* ce = reinterpret_cast<xcb_create_notify_event_t*>(e);
        if (ce->parent == root_ && !ce->override_redirect)
          xcb_damage_create(c_, xcb_generate_id(c_), ce->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(c_);
      } else if (type == XCB_MAP_NOTIFY) {
        const auto* me = reinterpret_cast<xcb_map_notify_event_t*>(e);
        if (!me->override_redirect) {
          mapped.insert(me->window);
          if (times.mapped < 0) times.mapped = ms();
        }
      } else if (type == damage_->first_event + XCB_DAMAGE_NOTIFY) {
        const auto* de = reinterpret_cast<xcb_damage_notify_event_t*>(e);
        if (mapped.count(de->drawable)) times.drawn = ms();
      }
      free(e);
    }
    Reap(pid);
    return times;
  }

 private:
  void Drain() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) free(e);
  }

  xcb_connection_t* c_ = nullptr;
  const xcb_query_extension_reply_t* damage_ = nullptr;
  xcb_window_t root_ = 0;
  bool ok_ = false;
};

void BM_StartUp(benchmark::State& state) {
  static Server server;
  if (server.display().empty()) {
    state.SkipWithError("no X server could be started (Xvfb)");
    return;
  }
  Watcher watcher(server.display());
  if (!watcher.ok()) {
    state.SkipWithError("no connection to the X server, or no damage extension");
    return;
  }
  // The user's folders of one user who has started the editor before: settings, state, caches.
  QTemporaryDir home;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v(*e);
    bool own = false;
    for (const char* prefix : {"DISPLAY=", "QT_QPA_PLATFORM=", "XDG_", "HOME="}) own = own || v.rfind(prefix, 0) == 0;
    if (!own) env.push_back(v);
  }
  const std::string h = home.path().toStdString();
  env.push_back("DISPLAY=" + server.display());
  env.push_back("HOME=" + h);
  env.push_back("XDG_CONFIG_HOME=" + h + "/config");
  env.push_back("XDG_STATE_HOME=" + h + "/state");
  env.push_back("XDG_CACHE_HOME=" + h + "/cache");
  env.push_back("XDG_RUNTIME_DIR=" + h + "/runtime");
  mkdir((h + "/runtime").c_str(), 0700);
  // KEMO_STARTUP_EDITOR names another build of the editor to time (an earlier one, say).
  const char* other = std::getenv("KEMO_STARTUP_EDITOR");
  const std::vector<std::string> args{other && *other ? other : KEMO_EDITOR_BIN};
  // The first start fills the caches a start on the user's machine finds filled.
  if (watcher.Start(args, env).drawn < 0) {
    state.SkipWithError("the editor's window did not appear");
    return;
  }
  // The bare window starts in turn with the editor, so that both meet the same load.
  const std::vector<std::string> bare{KEMO_BARE_WINDOW_BIN};
  if (watcher.Start(bare, env).drawn < 0) {
    state.SkipWithError("the bare window did not appear");
    return;
  }
  std::vector<double> mapped, editorMs, bareMs, ratios;
  for (auto _ : state) {
    const StartTimes t = watcher.Start(args, env);
    const StartTimes b = watcher.Start(bare, env);
    if (t.drawn < 0 || b.drawn < 0) {
      const StartTimes& failed = t.drawn < 0 ? t : b;
      const std::string who = t.drawn < 0 ? "the editor's" : "the bare";
      state.SkipWithError(failed.signal ? (who + " window did not appear: the program ended by signal " +
                                           std::to_string(failed.signal)).c_str()
                                        : (who + " window did not appear").c_str());
      return;
    }
    state.SetIterationTime(t.drawn / 1000.0);
    mapped.push_back(t.mapped);
    editorMs.push_back(t.drawn);
    bareMs.push_back(b.drawn);
    ratios.push_back(t.drawn / b.drawn);
  }
  // Medians: on a shared machine one start in ten can take twice as long for reasons of its own.
  // The ratio is the median of each pair's, the two started back to back under the same load.
  if (!editorMs.empty()) {
    state.counters["mapped_ms"] = Median(mapped);
    state.counters["editor_ms"] = Median(editorMs);
    state.counters["bare_ms"] = Median(bareMs);
    state.counters["ratio"] = Median(ratios);
  }
}
BENCHMARK(BM_StartUp)->UseManualTime()->Iterations(61)->Unit(benchmark::kMillisecond);

}  // namespace

#include "tests/e2e/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "app/control_tree.h"
#include "resources/bmp.h"

extern char** environ;

namespace vantrel::e2e {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
  return testlog::WaitUntil(done, timeout, [interval] { std::this_thread::sleep_for(interval); });
}

namespace {

std::string Getenv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The current environment with `changes` applied.
std::vector<std::string> MakeEnvironment(const EnvChanges& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& change : changes) {
    std::string name = change.substr(0, change.find('='));
    std::erase_if(env, [&](const std::string& e) { return e.compare(0, name.size() + 1, name + "=") == 0; });
    if (change.find('=') != std::string::npos) env.push_back(change);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> out;
  for (std::string& w : words) out.push_back(w.data());
  out.push_back(nullptr);
  return out;
}

// Every child still running, so that a scenario past its deadline can end them all.
std::mutex childrenMutex;
std::set<pid_t> children;

void Register(pid_t pid) {
  std::lock_guard lock(childrenMutex);
  children.insert(pid);
}

void Unregister(pid_t pid) {
  std::lock_guard lock(childrenMutex);
  children.erase(pid);
}

// Forks a child in a process group of its own with the given standard streams; the child execs argv. The child
// is killed when the test program dies, however it dies.
pid_t Spawn(const std::vector<std::string>& argv, const EnvChanges& changes, int in, int out, int err,
            const std::string& directory) {
  std::vector<std::string> args = argv;
  std::vector<std::string> env = MakeEnvironment(changes);
  std::vector<char*> argp = Pointers(args), envp = Pointers(env);
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd = 3; fd < 256; ++fd) close(fd);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
    execvpe(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  if (pid > 0) {
    setpgid(pid, pid);
    Register(pid);
  }
  return pid;
}

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// xdotool, xclip and import on the suite's display.
CommandResult X(std::vector<std::string> argv, std::chrono::milliseconds timeout = 30s) {
  return RunCommand(argv, timeout, {"DISPLAY=" + Session::Get().display()});
}

void XOrFail(std::vector<std::string> argv, std::chrono::milliseconds timeout = 60s) {
  CommandResult r = X(argv, timeout);
  if (r.status != 0) {
    std::string joined;
    for (const std::string& a : argv) joined += a + " ";
    ADD_FAILURE() << "command failed (" << r.status << (r.timedOut ? ", timed out" : "") << "): " << joined;
  }
}

using testlog::Unescape;

// The Wine loader for a PE file: wine64 for x86-64 programs, wine for 32-bit ones.
std::string LoaderFor(const std::string& exe) {
  std::ifstream in(exe, std::ios::binary);
  if (!in) throw std::runtime_error("missing Windows program: " + exe);
  std::uint32_t peOffset = 0;
  in.seekg(60);
  in.read(reinterpret_cast<char*>(&peOffset), 4);
  std::uint16_t machine = 0;
  in.seekg(peOffset + 4);
  in.read(reinterpret_cast<char*>(&machine), 2);
  return machine == 0x8664 ? "/usr/lib/wine/wine64" : "/usr/lib/wine/wine";
}

bool IsPlainAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c > 0x7e) return false;
  return true;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const EnvChanges& env, const std::string& input) {
  static const bool trace = !Getenv("VANTREL_E2E_TRACE").empty();
  auto started = Clock::now();
  struct Trace {
    const std::vector<std::string>& argv;
    Clock::time_point started;
    ~Trace() {
      if (!trace) return;
      std::cerr << "e2e: " << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count()
                << " ms:";
      for (std::size_t i = 0; i < argv.size() && i < 8; ++i) std::cerr << " " << argv[i];
      std::cerr << "\n";
    }
  } traceGuard{argv, started};
  CommandResult result;
  int inPipe[2], outPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(outPipe, O_CLOEXEC) != 0) {
    close(inPipe[0]);
    close(inPipe[1]);
    return result;
  }
  // Their complaints (xclip finding an empty clipboard, xdotool's notes) only matter when tracing.
  int err = trace ? dup(2) : open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_t pid = Spawn(argv, env, inPipe[0], outPipe[1], err, "");
  close(err);
  close(inPipe[0]);
  close(outPipe[1]);
  if (pid < 0) {
    close(inPipe[1]);
    close(outPipe[0]);
    return result;
  }
  fcntl(inPipe[1], F_SETFL, O_NONBLOCK);
  std::size_t written = 0;
  int inFd = inPipe[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  auto deadline = Clock::now() + timeout;
  char buffer[65536];
  while (true) {
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      result.timedOut = true;
      break;
    }
    if (poll(fds, inFd >= 0 ? 2 : 1, static_cast<int>(std::min<long long>(left, 1000))) < 0 && errno != EINTR) break;
    if (inFd >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = read(outPipe[0], buffer, sizeof buffer);
      if (n <= 0) break;
      result.out.append(buffer, static_cast<std::size_t>(n));
    }
  }
  if (inFd >= 0) close(inFd);
  close(outPipe[0]);
  if (result.timedOut) kill(-pid, SIGKILL);
  int status = 0;
  // The output closed: the program is ending; give it until the deadline (plus a little) to do so.
  auto waitDeadline = std::max(deadline, Clock::now()) + 5s;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > waitDeadline) {
      kill(-pid, SIGKILL);
      result.timedOut = true;
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(2ms);
  }
  Unregister(pid);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

Child::Child(const std::vector<std::string>& argv, const EnvChanges& env, const std::string& outputFile,
             const std::string& directory) {
  int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  pid_ = Spawn(argv, env, in, out, out, directory);
  close(in);
  close(out);
  if (pid_ < 0) throw std::runtime_error("cannot start " + argv.at(0));
}

Child::~Child() { Kill(); }

Child::Child(Child&& other) noexcept : pid_(other.pid_), reaped_(other.reaped_) { other.pid_ = -1; }

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    Kill();
    pid_ = other.pid_;
    reaped_ = other.reaped_;
    other.pid_ = -1;
  }
  return *this;
}

bool Child::Running() {
  if (pid_ < 0 || reaped_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    reaped_ = true;
    Unregister(pid_);
  }
  return !reaped_;
}

bool Child::WaitExit(std::chrono::milliseconds timeout) {
  return WaitUntil([&] { return !Running(); }, timeout);
}

void Child::Kill() {
  if (pid_ < 0) return;
  if (!reaped_) {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    Unregister(pid_);
  }
  pid_ = -1;
  reaped_ = false;
}

Deadline::Deadline(std::string scenario, std::chrono::seconds limit)
    : thread_([this, scenario, limit] {
        std::unique_lock lock(mutex_);
        if (over_.wait_for(lock, limit, [this] { return done_; })) return;
        std::cerr << "e2e: " << scenario << " passed its deadline of " << limit.count() << " s; ending it\n";
        {
          std::lock_guard children_lock(childrenMutex);
          for (pid_t pid : children) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
          }
        }
        Session::Get().StopWine();
        std::_Exit(124);
      }) {}

Deadline::~Deadline() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  over_.notify_all();
  thread_.join();
}

Session& Session::Get() {
  static Session session;
  return session;
}

Session::Session() {
  winBin_ = Getenv("VANTREL_WIN_BIN");
  if (winBin_.empty()) winBin_ = VANTREL_WIN_BIN_DEFAULT;
  loader_ = LoaderFor(winBin_ + "/Vantrel.exe");
  prefix_ = Getenv("VANTREL_E2E_WINEPREFIX");
  if (prefix_.empty()) prefix_ = VANTREL_E2E_WINEPREFIX_DEFAULT;

  // The prefix is made once, by the same steps as every other Wine prefix of the project, and gets the stand-in
  // wimgapi.dll of the programs' folder.
  CommandResult ready = RunCommand({"bash", "-c", "source \"$1\" && vantrel_prefix_ready \"$2\" \"$3\"", "bash",
                                    std::string(VANTREL_SOURCE_DIR) + "/tests/wine-env.sh", loader_, winBin_},
                                   600s, {"VANTREL_WINEPREFIX=" + prefix_, "DISPLAY"});
  if (ready.status != 0) throw std::runtime_error("cannot make the Wine prefix " + prefix_);

  if (Getenv("VANTREL_USE_DISPLAY") == "1" && !Getenv("DISPLAY").empty()) {
    display_ = Getenv("DISPLAY");
  } else {
    for (int n = 91; n < 191 && display_.empty(); ++n) {
      std::string lock = "/tmp/.X" + std::to_string(n) + "-lock", socket = "/tmp/.X11-unix/X" + std::to_string(n);
      if (fs::exists(lock) || fs::exists(socket)) continue;
      Child xvfb({"Xvfb", ":" + std::to_string(n), "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
      if (WaitUntil([&] { return fs::exists(socket) || !xvfb.Running(); }, 15s) && xvfb.Running()) {
        display_ = ":" + std::to_string(n);
        xvfb_ = std::move(xvfb);
      }
    }
    if (display_.empty()) throw std::runtime_error("cannot start Xvfb");
  }
  StopWine();
}

Session::~Session() {
  StopWine();
  xvfb_.reset();
}

EnvChanges Session::WineEnv() const {
  std::string debug = Getenv("VANTREL_E2E_WINEDEBUG");
  return {"DISPLAY=" + display_, "WINEPREFIX=" + prefix_, "WINEDEBUG=" + (debug.empty() ? "-all" : debug),
          // wimgapi: the stand-in of the prefix's system folders, never Wine's own (whose mounted-image list ends
          // the process). Its description file is a scenario's own (VANTREL_MOUNTS_FILE, unset here, App names one in
          // its folder), never one of the caller's environment.
          "WINEDLLOVERRIDES=mscoree,mshtml=;wimgapi=n", "LC_ALL=C.UTF-8", "VANTREL_IMAGEX_LOG", "VANTREL_MOUNTS_FILE"};
}

void Session::StopWine() {
  std::string server = loader_.substr(0, loader_.rfind('/')) + "/wineserver";
  RunCommand({server, "-k"}, 60s, {"WINEPREFIX=" + prefix_});
}

namespace {

long ResidentKiBOf(const std::string& pid) {
  std::ifstream status("/proc/" + pid + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// Process ids of the suite's Wine session whose process name satisfies `match`.
std::vector<std::string> WineProcesses(const std::function<bool(const std::string&)>& match) {
  const std::string prefix = "WINEPREFIX=" + Session::Get().prefix();
  std::vector<std::string> pids;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::ifstream comm(entry.path() / "comm");
    std::string name;
    if (!std::getline(comm, name) || !match(name)) continue;
    std::ifstream environ(entry.path() / "environ", std::ios::binary);
    for (std::string var; std::getline(environ, var, '\0');)
      if (var == prefix) {
        pids.push_back(entry.path().filename().string());
        break;
      }
  }
  return pids;
}

}  // namespace

int WineProcessesNamed(const std::string& exeName) {
  return static_cast<int>(WineProcesses([&](const std::string& name) { return name == exeName; }).size());
}

long WineServerResidentKiB() {
  auto pids = WineProcesses([](const std::string& name) { return name.rfind("wineserver", 0) == 0; });
  return pids.size() == 1 ? ResidentKiBOf(pids[0]) : -1;
}

void MouseMove(int x, int y) { XOrFail({"xdotool", "mousemove", std::to_string(x), std::to_string(y)}); }
void MouseDown(int button) { XOrFail({"xdotool", "mousedown", std::to_string(button)}); }
void MouseUp(int button) { XOrFail({"xdotool", "mouseup", std::to_string(button)}); }

void ClickAt(int x, int y, int button) {
  MouseMove(x, y);
  XOrFail({"xdotool", "click", std::to_string(button)});
}

void Keys(const std::vector<std::string>& keys, int delayMs) {
  std::vector<std::string> argv = {"xdotool", "key", "--delay", std::to_string(delayMs)};
  argv.insert(argv.end(), keys.begin(), keys.end());
  XOrFail(argv, 600s);
}

void TypeAscii(const std::string& text) { XOrFail({"xdotool", "type", "--delay", "15", "--", text}); }

void FocusWindow(const std::string& window) { X({"xdotool", "windowfocus", window}); }

std::vector<std::string> VisibleWindowsOf(pid_t pid) {
  return Lines(X({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}).out);
}

std::optional<Rect> WindowGeometry(const std::string& window) {
  CommandResult r = X({"xdotool", "getwindowgeometry", "--shell", window});
  if (r.status != 0) return std::nullopt;
  Rect rect;
  for (const std::string& line : Lines(r.out)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    int value = std::atoi(line.c_str() + eq + 1);
    if (key == "X") rect.x = value;
    else if (key == "Y") rect.y = value;
    else if (key == "WIDTH") rect.width = value;
    else if (key == "HEIGHT") rect.height = value;
  }
  return rect;
}

std::string WindowName(const std::string& window) { return Trim(X({"xdotool", "getwindowname", window}).out); }

std::optional<Rect> WineTrayWindow() {
  std::string window = WineTrayWindowId();
  if (window.empty()) return std::nullopt;
  return WindowGeometry(window);
}

std::string WineTrayWindowId() {
  std::string prefix = "WINEPREFIX=" + Session::Get().prefix();
  for (const std::string& window :
       Lines(X({"xdotool", "search", "--onlyvisible", "--name", "^Wine System Tray$"}).out)) {
    std::string pid = Trim(X({"xdotool", "getwindowpid", window}).out);
    std::ifstream environ("/proc/" + pid + "/environ", std::ios::binary);
    bool ours = false;
    for (std::string entry; std::getline(environ, entry, '\0');) ours = ours || entry == prefix;
    if (ours) return window;
  }
  return {};
}

resources::Image Screenshot() {
  CommandResult r = X({"import", "-window", "root", "ppm:-"}, 60s);
  if (r.status != 0) throw std::runtime_error("import failed");
  return resources::DecodePpm(r.out);
}

std::string ClipboardText() {
  CommandResult r = X({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, 10s);
  return r.status == 0 ? r.out : std::string();
}

ClipboardOffer::ClipboardOffer(const std::string& text) {
  char name[] = "/tmp/vantrel-e2e-clip-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp");
  file_ = name;
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) throw std::runtime_error("write");
  close(fd);
  log_ = file_ + ".log";
  // -quiet keeps xclip in the foreground, our child; it ends by itself when another program takes the clipboard.
  // -verbose makes it count the requests it has served, which tells when a paste has fetched the text.
  xclip_ = Child({"xclip", "-quiet", "-verbose", "-selection", "clipboard", "-i", file_},
                 {"DISPLAY=" + Session::Get().display()}, log_);
  if (!WaitUntil([&] { return ClipboardText() == text; }, 10s)) ADD_FAILURE() << "xclip did not offer the text";
  served_ = Served();
}

ClipboardOffer::~ClipboardOffer() {
  xclip_.Kill();
  unlink(file_.c_str());
  unlink(log_.c_str());
}

int ClipboardOffer::Served() const {
  // xclip writes "Waiting for selection request number N" before it waits for the N-th request.
  std::ifstream in(log_, std::ios::binary);
  std::string line;
  int served = 0;
  const std::string key = "selection request number ";
  while (std::getline(in, line)) {
    std::size_t at = line.find(key);
    if (at != std::string::npos) served = std::max(served, std::atoi(line.c_str() + at + key.size()) - 1);
  }
  return served;
}

bool ClipboardOffer::WaitForPaste(std::chrono::milliseconds timeout) {
  if (!WaitUntil([&] { return Served() > served_; }, timeout, 20ms)) return false;
  served_ = Served();
  return true;
}

WindowEvents::WindowEvents(const std::string& window) {
  char name[] = "/tmp/vantrel-e2e-xev-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp");
  close(fd);
  file_ = name;
  std::vector<std::string> argv = {"xev", "-id", window, "-event", "structure"};
  if (window == "root") argv = {"xev", "-root", "-event", "substructure"};
  xev_ = Child(argv, {"DISPLAY=" + Session::Get().display()}, file_);
  // xev prints nothing until the first event: wait until it holds its connection to the display.
  std::string fds = "/proc/" + std::to_string(xev_.pid()) + "/fd";
  WaitUntil(
      [&] {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(fds, ec))
          if (fs::read_symlink(entry.path(), ec).string().rfind("socket:", 0) == 0) return true;
        return false;
      },
      5s, 10ms);
}

WindowEvents::~WindowEvents() {
  xev_.Kill();
  unlink(file_.c_str());
}

std::string WindowEvents::Text() const {
  std::ifstream in(file_, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool GoneBefore(const std::string& rootEvents, const std::string& first, const std::string& second) {
  // A record reads "UnmapNotify event, serial ..., window <root>,\n    event <root>, window <child>, ...".
  auto goneAt = [&](const std::string& window) -> std::optional<std::size_t> {
    char hex[32];
    std::snprintf(hex, sizeof hex, "window 0x%lx", std::stoul(window));
    std::vector<std::string> lines = Lines(rootEvents);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      bool gone = lines[i].rfind("UnmapNotify event", 0) == 0 || lines[i].rfind("DestroyNotify event", 0) == 0;
      std::string child = lines[i + 1];
      std::size_t at = child.find(hex);
      if (gone && at != std::string::npos && !std::isxdigit(static_cast<unsigned char>(child[at + std::strlen(hex)])))
        return i;
    }
    return std::nullopt;
  };
  auto a = goneAt(first), b = goneAt(second);
  return a && b && *a < *b;
}

std::vector<ToolRun> ParseToolLog(const std::string& content) {
  return testlog::ParseToolLog<std::string>(content, [](std::string text) { return text; });
}

namespace {
// Wine's own dism.exe of a prefix's system folders (a stub), kept aside while a scenario uses the stand-in.
const char* const kSystemFolders[] = {"system32", "syswow64"};
std::string SystemFile(const std::string& prefix, const char* folder, const char* name) {
  return prefix + "/drive_c/windows/" + folder + "/" + name;
}
}  // namespace

void App::PreparePrefix() {
  if (tool_ == Tool::Imagex) return;
  Session& session = Session::Get();
  const std::string& prefix = session.prefix();
  for (const char* folder : kSystemFolders) {
    const std::string dism = SystemFile(prefix, folder, "dism.exe"), kept = SystemFile(prefix, folder, "dism.exe.wine");
    if (fs::exists(dism) && !fs::exists(kept)) fs::rename(dism, kept);
    fs::remove(dism);
  }
  if (tool_ != Tool::None)
    fs::copy_file(session.winBin() + "/dism.exe", SystemFile(prefix, "system32", "dism.exe"),
                  fs::copy_options::overwrite_existing);
  const std::string version = tool_ == Tool::DismWindows7 ? "win7" : "win10";
  RunCommand({session.loader(), "reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"}, 60s,
             session.WineEnv());
}

void App::RestorePrefix() {
  if (tool_ == Tool::Imagex) return;
  Session& session = Session::Get();
  RunCommand({session.loader(), "reg", "delete", "HKCU\\Software\\Wine", "/v", "Version", "/f"}, 60s,
             session.WineEnv());
  session.StopWine();
  std::error_code ec;
  for (const char* folder : kSystemFolders) {
    const std::string dism = SystemFile(session.prefix(), folder, "dism.exe");
    const std::string kept = SystemFile(session.prefix(), folder, "dism.exe.wine");
    fs::remove(dism, ec);
    if (fs::exists(kept)) fs::rename(kept, dism, ec);
  }
}

App::App(Tool tool) : tool_(tool) {
  auto started = Clock::now();
  Session& session = Session::Get();
  std::string base = Getenv("TMPDIR").empty() ? "/tmp" : Getenv("TMPDIR");
  std::string templ = base + "/Vantrel 测试 XXXXXX";
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp");
  folder_ = templ;
  fs::copy_file(session.winBin() + "/Vantrel.exe", folder_ + "/Vantrel.exe");
  if (tool_ == Tool::Imagex) fs::copy_file(session.winBin() + "/imagex.exe", folder_ + "/imagex.exe");

  session.StopWine();
  PreparePrefix();
  session.StopWine();
  EnvChanges env = session.WineEnv();
  if (tool_ != Tool::Imagex) {
    // The stand-in DISM is loaded as the native program it is, and writes its record where the scenario reads.
    for (std::string& change : env)
      if (change.rfind("WINEDLLOVERRIDES=", 0) == 0) change += ";dism.exe=n";
    for (std::string& change : env)
      if (change == "VANTREL_IMAGEX_LOG") change += "=" + WindowsPath(folder_ + "/imagex.log");
  }
  // The stand-in wimgapi.dll answers from the scenario's own description file. Until a scenario about the mounted
  // images writes its own, it says the library cannot tell: nothing is refused on the list, so that unmounts of
  // folders where nothing was mounted still start the tool.
  fs::copy_file(std::string(VANTREL_SOURCE_DIR) + "/tests/fixtures/mounts_unknown.txt", mountsFile());
  for (std::string& change : env)
    if (change == "VANTREL_MOUNTS_FILE") change += "=" + WindowsPath(mountsFile());
  process_ = Child({session.loader(), folder_ + "/Vantrel.exe"}, env, folder_ + "/wine-output.txt", folder_);
  bool shown = WaitUntil(
      [&] {
        for (const std::string& w : VisibleWindowsOf(process_.pid())) {
          auto g = WindowGeometry(w);
          if (g && g->width == app::kWindowWidth && g->height == app::kWindowHeight) {
            window_ = w;
            return true;
          }
        }
        return !process_.Running();
      },
      90s, 100ms);
  if (!shown || window_.empty()) throw std::runtime_error("Vantrel did not show its main window");
  // Painted: two pictures of the window in a row are the same.
  resources::Image previous = WindowShot();
  WaitUntil(
      [&] {
        resources::Image now = WindowShot();
        bool same = resources::CountDifferingPixels(previous, now) == 0;
        previous = std::move(now);
        return same;
      },
      20s, 150ms);
  if (!Getenv("VANTREL_E2E_TRACE").empty())
    std::cerr << "e2e: Vantrel.exe ready after "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count() << " ms\n";
}

App::~App() {
  if (::testing::Test::HasFailure()) {
    // The screen as the scenario left it, for whoever looks into the failure.
    try {
      std::vector<std::uint8_t> ppm = resources::EncodePpm(Screenshot());
      std::ofstream(folder_ + "/screen.ppm", std::ios::binary).write(reinterpret_cast<const char*>(ppm.data()),
                                                                    static_cast<std::streamsize>(ppm.size()));
    } catch (const std::exception&) {
    }
  }
  process_.Kill();
  Session::Get().StopWine();
  RestorePrefix();
  std::error_code ec;
  if (::testing::Test::HasFailure()) std::cerr << "e2e: the scenario's folder is kept: " << folder_ << "\n";
  else fs::remove_all(folder_, ec);
}

std::string App::WindowsPath(const std::string& linuxPath) {
  std::string out = "Z:";
  for (char c : linuxPath) out += c == '/' ? '\\' : c;
  return out;
}

std::string App::WindowsFolder() const { return WindowsPath(folder_); }

Rect App::Geometry() const {
  auto g = WindowGeometry(window_);
  return g ? *g : Rect{};
}

Rect App::ControlRect(std::string_view name) {
  const app::ControlDef* def = app::FindControl(name);
  if (!def) throw std::invalid_argument("no control " + std::string(name));
  Rect rect{static_cast<int>(def->left + 0.5), static_cast<int>(def->top + 0.5), def->width, def->height};
  if (!def->parent.empty()) {
    // Form_Load puts both panels at the mount panel's place.
    const app::ControlDef* panel = app::FindControl("WIM_Mount");
    rect.x += static_cast<int>(panel->left);
    rect.y += static_cast<int>(panel->top);
  }
  return rect;
}

int App::ScreenX(int windowX) const { return Geometry().x + windowX; }
int App::ScreenY(int windowY) const { return Geometry().y + windowY; }

void App::Click(std::string_view control) {
  Rect r = ControlRect(control);
  Rect g = Geometry();
  FocusWindow(window_);
  ClickAt(g.x + r.CentreX(), g.y + r.CentreY());
}

void App::SetField(std::string_view control, const std::string& text) {
  // Text that xdotool cannot type is pasted. Wine fetches the text from its owner only when it handles the key,
  // which may be well after xdotool has returned, so the offer is kept until it has served the paste; reading
  // the box, which takes the clipboard for a marker, waits for that. A user whose paste did not take pastes
  // again; so do we, twice at most.
  std::optional<ClipboardOffer> offer;
  if (!text.empty() && !IsPlainAscii(text)) offer.emplace(text);
  std::string shown;
  for (int attempt = 0; attempt < 3; ++attempt) {
    Click(control);
    Keys({"ctrl+a"});
    if (text.empty()) {
      Keys({"BackSpace"});
    } else if (!offer) {
      TypeAscii(text);
    } else {
      // Reading the box puts a marker on the clipboard: offer the text again before every paste after it.
      if (attempt > 0) offer.emplace(text);
      Keys({"ctrl+v"});
      offer->WaitForPaste(5s);
    }
    if (WaitUntil([&] { return (shown = Field(control)) == text; }, 6s, 200ms)) return;
  }
  ADD_FAILURE() << "the box " << control << " shows \"" << shown << "\" instead of \"" << text << "\"";
}

std::string App::Field(std::string_view control) {
  // A copy that Wine did not hand to the clipboard in time (seen under load) is made again, as a user would.
  std::string text = FieldOnce(control);
  if (text.starts_with(kMarkerPrefix)) text = FieldOnce(control);
  return text;
}

std::string App::FieldOnce(std::string_view control) {
  // A marker on the clipboard first, so that a copy that did not happen cannot pass for one that did.
  std::string marker = kMarkerPrefix + std::to_string(Clock::now().time_since_epoch().count());
  ClipboardOffer offer(marker);
  Click(control);
  Keys({"ctrl+a", "ctrl+c"});
  std::string text;
  if (WaitUntil([&] { return (text = ClipboardText()) != marker; }, 3s)) return text;
  // Nothing was copied: an empty box copies nothing. Make sure of it the way a user would: type a character
  // at the end of the box and copy again; the copy is that character alone exactly when the box was empty.
  // A box whose first copy was merely slow copies its text with the character after it. Either way the
  // character is taken out again.
  Keys({"End"});
  TypeAscii("~");
  Keys({"ctrl+a", "ctrl+c"});
  bool copied = WaitUntil([&] { return (text = ClipboardText()) != marker; }, 5s);
  Keys({"End", "BackSpace"});
  if (!copied || !text.ends_with('~')) return marker;
  text.pop_back();
  return text;
}

resources::Image App::WindowShot() const {
  Rect g = Geometry();
  return resources::Crop(Screenshot(), g.x, g.y, g.width, g.height);
}

std::vector<ToolRun> App::Runs() const {
  std::ifstream in(folder_ + "/imagex.log", std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return ParseToolLog(content.str());
}

bool App::WaitForRuns(std::size_t count, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return Runs().size() >= count; }, timeout, 100ms);
}

long App::ResidentKiB() const { return ResidentKiBOf(std::to_string(process_.pid())); }

std::optional<App::State> App::SystemState() const {
  Session& session = Session::Get();
  CommandResult probe = RunCommand(
      {session.loader(), session.winBin() + "/vantrel_probe.exe", "windows", "VantrelMainWindow"}, 60s,
      session.WineEnv());
  for (const std::string& line : Lines(probe.out)) {
    std::istringstream fields(line);
    std::string word;
    int visible = 0, minimised = 0;
    State state;
    if (fields >> word >> visible >> minimised >> state.rect.x >> state.rect.y >> state.rect.width >>
        state.rect.height) {
      state.visible = visible != 0;
      state.minimised = minimised != 0;
      return state;
    }
  }
  return std::nullopt;
}

std::vector<App::MessageBox> App::MessageBoxes() const {
  Session& session = Session::Get();
  CommandResult probe =
      RunCommand({session.loader(), session.winBin() + "/vantrel_probe.exe", "dialog", "Vantrel"}, 60s,
                 session.WineEnv());
  std::vector<MessageBox> boxes;
  for (const std::string& line : Lines(probe.out)) {
    if (line == "dialog") boxes.emplace_back();
    else if (boxes.empty()) continue;
    else if (line.rfind("text ", 0) == 0) boxes.back().text += Unescape(line.substr(5));
    else if (line.rfind("button ", 0) == 0) {
      std::istringstream fields(line.substr(7));
      Button button;
      fields >> button.rect.x >> button.rect.y >> button.rect.width >> button.rect.height;
      std::getline(fields >> std::ws, button.text);
      boxes.back().buttons.push_back({button.rect, Unescape(button.text)});
    }
  }
  std::vector<std::string> windows = MessageBoxWindows();
  if (boxes.size() == 1 && windows.size() == 1) boxes[0].window = windows[0];
  return boxes;
}

std::vector<std::string> App::Labels() {
  Session& session = Session::Get();
  CommandResult probe = RunCommand(
      {session.loader(), session.winBin() + "/vantrel_probe.exe", "labels", "VantrelMainWindow"}, 60s,
      session.WineEnv());
  std::vector<std::string> texts;
  for (const std::string& line : Lines(probe.out))
    if (line.rfind("label ", 0) == 0) texts.push_back(Unescape(line.substr(6)));
  return texts;
}

std::vector<std::string> App::Tooltips() {
  Session& session = Session::Get();
  CommandResult probe =
      RunCommand({session.loader(), session.winBin() + "/vantrel_probe.exe", "tooltips"}, 60s, session.WineEnv());
  std::vector<std::string> texts;
  for (const std::string& line : Lines(probe.out)) {
    if (line.rfind("tooltip ", 0) != 0) continue;
    std::istringstream fields(line.substr(8));
    int x = 0, y = 0, width = 0, height = 0;
    std::string text;
    fields >> x >> y >> width >> height;
    std::getline(fields >> std::ws, text);
    texts.push_back(Unescape(text));
  }
  return texts;
}

std::vector<std::string> App::AccessibleItems() {
  Session& session = Session::Get();
  CommandResult probe =
      RunCommand({session.loader(), session.winBin() + "/vantrel_probe.exe", "accessible"}, 60s, session.WineEnv());
  std::vector<std::string> items;
  for (const std::string& line : Lines(probe.out)) items.push_back(Unescape(line));
  return items;
}

std::optional<App::RunWindow> App::RunWindowShown() {
  Session& session = Session::Get();
  CommandResult probe =
      RunCommand({session.loader(), session.winBin() + "/vantrel_probe.exe", "runwindow"}, 60s, session.WineEnv());
  std::optional<RunWindow> found;
  for (const std::string& line : Lines(probe.out)) {
    if (line.rfind("runwindow ", 0) == 0) {
      std::istringstream fields(line.substr(10));
      int visible = 0;
      found.emplace();
      fields >> visible >> found->rect.x >> found->rect.y >> found->rect.width >> found->rect.height;
      std::getline(fields >> std::ws, found->title);
      found->visible = visible != 0;
      found->title = Unescape(found->title);
    } else if (found && line.rfind("row ", 0) == 0) {
      found->rows.push_back(Unescape(line.substr(4)));
    } else if (found && line.rfind("output ", 0) == 0) {
      found->output = Unescape(line.substr(7));
    }
  }
  return found;
}

std::optional<std::string> App::WaitForTooltip(const std::string& prefix, std::chrono::milliseconds timeout) {
  std::optional<std::string> found;
  WaitUntil(
      [&] {
        for (const std::string& text : Tooltips())
          if (text.rfind(prefix, 0) == 0) found = text;
        return found.has_value();
      },
      timeout, 200ms);
  return found;
}

std::vector<std::string> App::MessageBoxWindows() const {
  std::vector<std::string> windows;
  for (const std::string& w : VisibleWindowsOf(process_.pid()))
    if (w != window_ && WindowName(w) == "Vantrel") windows.push_back(w);
  return windows;
}

bool App::WaitForNoMessageBox(std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return MessageBoxWindows().empty() && MessageBoxes().empty(); }, timeout, 100ms);
}

std::optional<App::MessageBox> App::WaitForMessageBox(std::chrono::milliseconds timeout) const {
  std::optional<MessageBox> found;
  WaitUntil(
      [&] {
        auto boxes = MessageBoxes();
        if (boxes.size() == 1 && !boxes[0].window.empty()) found = boxes[0];
        return found.has_value();
      },
      timeout, 200ms);
  return found;
}

namespace {

// Whether a visible window of the class `cls` (e.g. "#32768", a popup menu) is there, or a dialog captioned `caption`.
bool ProbeFinds(const std::vector<std::string>& query, const std::string& expected) {
  Session& session = Session::Get();
  std::vector<std::string> argv = {session.loader(), session.winBin() + "/vantrel_probe.exe"};
  argv.insert(argv.end(), query.begin(), query.end());
  for (const std::string& line : Lines(RunCommand(argv, 60s, session.WineEnv()).out))
    if (line.rfind(expected, 0) == 0) return true;
  return false;
}

}  // namespace

std::string App::LabelStartingWith(const std::string& prefix) {
  std::string seen;
  const bool found = WaitUntil(
      [&] {
        for (const std::string& text : Labels())
          if (text.rfind(prefix, 0) == 0) return seen = text, true;
        return false;
      },
      20s, 200ms);
  EXPECT_TRUE(found) << "no label starting with " << prefix << "; labels: " << testing::PrintToString(Labels());
  return seen;
}

void App::DismissMessageSaying(const std::string& words) {
  const std::optional<MessageBox> box = WaitForMessageBox();
  ASSERT_TRUE(box.has_value()) << "no message saying " << words;
  EXPECT_NE(box->text.find(words), std::string::npos) << box->text;
  Keys({"Return"});
  EXPECT_TRUE(WaitForNoMessageBox());
}

void App::PickListCommand(std::size_t images, std::size_t position) {
  Click("WIMindex");
  Keys({"F4"});
  EXPECT_TRUE(WaitUntil([] { return ProbeFinds({"windows", "#32768"}, "window 1"); }, 15s, 200ms))
      << "the image list did not open";
  // The first Down lights the first image; the separator is passed over.
  std::vector<std::string> keys(images + position, "Down");
  keys.push_back("Return");
  Keys(keys);
}

bool App::SaveAs(const std::string& windowsPath) {
  if (!WaitUntil([] { return ProbeFinds({"dialog", "Save As"}, "dialog"); }, 20s, 200ms)) return false;
  // The name box has the focus, the offered name selected.
  ClipboardOffer offer(windowsPath);
  Keys({"ctrl+a", "ctrl+v"});
  offer.WaitForPaste(5s);
  Keys({"Return"});
  return WaitUntil([] { return !ProbeFinds({"dialog", "Save As"}, "dialog"); }, 20s, 200ms);
}

bool IsGrey(std::uint32_t pixel, int level) {
  return Red(pixel) == level && Green(pixel) == level && Blue(pixel) == level;
}

std::string DescribePixel(std::uint32_t pixel) {
  return "RGB(" + std::to_string(Red(pixel)) + "," + std::to_string(Green(pixel)) + "," + std::to_string(Blue(pixel)) +
         ")";
}

}  // namespace vantrel::e2e

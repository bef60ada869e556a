#include "support/Wine.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cs::e2e {

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& workDir, int& outFd) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    outFd = fds[0];
    fcntl(outFd, F_SETFL, O_NONBLOCK);
    return pid;
}

// The Wine loader: Debian's "wine" wrapper, or the 64-bit loader itself on a machine that
// runs no 32-bit code (the wrapper would pick the 32-bit loader there).
std::vector<std::string> WithWine(const std::vector<std::string>& args) {
    std::vector<std::string> all{EnvOr("CORVANTIS_WINE", "wine")};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

} // namespace

Process::Process(const std::vector<std::string>& args, const std::string& workDir) {
    pid_ = Spawn(WithWine(args), workDir, outFd_);
}

Process::~Process() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
}

RunResult Process::Wait(int timeoutSeconds) {
    RunResult result;
    if (pid_ <= 0) return result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    for (;;) {
        pollfd p{outFd_, POLLIN, 0};
        poll(&p, 1, 50);
        ssize_t n;
        while ((n = read(outFd_, buffer, sizeof buffer)) > 0)
            output_.append(buffer, n);
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            while ((n = read(outFd_, buffer, sizeof buffer)) > 0)
                output_.append(buffer, n);
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            result.timedOut = true;
            break;
        }
    }
    result.output = output_;
    return result;
}

IsolatedPrefix::IsolatedPrefix(const std::string& name) {
    previous_ = EnvOr("WINEPREFIX", "");
    path_ = TempDir() + "/prefix-" + name;
    setenv("WINEPREFIX", path_.c_str(), 1);
    // Wine's set-up and the first program's services inherit the caller's output and keep it
    // open: both run with their output going nowhere (as scripts/wine-start does it).
    const std::string wine = "\"" + EnvOr("CORVANTIS_WINE", "wine") + "\"";
    RunNative({"sh", "-c", wine + " wineboot -i </dev/null >/dev/null 2>&1; wineserver -w"}, 300);
    RunNative({"sh", "-c",
               wine + " reg add 'HKCU\\Software\\Wine\\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f "
                      "</dev/null >/dev/null 2>&1; " +
                   wine + " cmd.exe /c exit </dev/null >/dev/null 2>&1"},
              120);
    ready_ = std::filesystem::exists(path_ + "/system.reg");
}

IsolatedPrefix::~IsolatedPrefix() {
    RunNative({"sh", "-c", "wineserver -k; wineserver -w"}, 60);
    if (previous_.empty())
        unsetenv("WINEPREFIX");
    else
        setenv("WINEPREFIX", previous_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

RunResult RunWine(const std::vector<std::string>& args, int timeoutSeconds) {
    Process process(args);
    return process.Wait(timeoutSeconds);
}

RunResult RunNative(const std::vector<std::string>& args, int timeoutSeconds) {
    int fd = -1;
    pid_t pid = Spawn(args, "", fd);
    RunResult result;
    if (pid <= 0) return result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 20);
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0)
            result.output.append(buffer, n);
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            while ((n = read(fd, buffer, sizeof buffer)) > 0)
                result.output.append(buffer, n);
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            result.timedOut = true;
            break;
        }
    }
    close(fd);
    return result;
}

bool EngineIsX64() {
    return EnvOr("CORVANTIS_ENGINE", "x86") == "x64";
}
std::string WinBin(const std::string& name) {
    std::string fallback = EngineIsX64() ? CORVANTIS_DEFAULT_WIN64_BIN : CORVANTIS_DEFAULT_WIN32_BIN;
    return EnvOr("CORVANTIS_WIN_BIN", fallback) + "/" + name;
}
std::string Engine() {
    return WinBin(EngineIsX64() ? "corvantis-setup-x64.exe" : "corvantis-setup.exe");
}
std::string EngineOfBitness(bool x64) {
    if (x64 == EngineIsX64()) return Engine();
    return std::string(x64 ? CORVANTIS_DEFAULT_WIN64_BIN "/corvantis-setup-x64.exe"
                           : CORVANTIS_DEFAULT_WIN32_BIN "/corvantis-setup.exe");
}
std::string HostBin(const std::string& name) {
    return EnvOr("CORVANTIS_HOST_BIN", CORVANTIS_DEFAULT_HOST_BIN) + "/" + name;
}
std::string DriveC() {
    return EnvOr("WINEPREFIX", EnvOr("HOME", "/tmp") + "/.wine") + "/drive_c";
}

std::string DriveCPath(const std::string& windowsPath) {
    std::string path = windowsPath.size() > 2 && (windowsPath[0] == 'C' || windowsPath[0] == 'c') &&
                               windowsPath[1] == ':'
                           ? windowsPath.substr(2)
                           : windowsPath;
    for (char& c : path)
        if (c == '\\') c = '/';
    return DriveC() + path;
}

std::string SpecialFolder(const std::string& name) {
    static const std::map<std::string, std::string> folders =
        KeyValueLines(RunWine({WinBin("corvantis-sysinfo.exe")}, 60).output);
    auto it = folders.find("Folder" + name);
    return it == folders.end() ? std::string() : it->second;
}

std::string TempDir() {
    static int counter = 0;
    std::string base = EnvOr("CORVANTIS_E2E_TMP", CORVANTIS_DEFAULT_HOST_BIN "/../e2e-tmp");
    std::string dir = base + "/" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return std::filesystem::canonical(dir).string();
}

std::string ToWindowsPath(const std::string& linuxPath) {
    std::string path = std::filesystem::absolute(linuxPath).string();
    std::string drive = DriveC();
    if (path.rfind(drive, 0) == 0)
        path = "C:" + path.substr(drive.size());
    else
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::optional<std::string> WaitForWindow(const std::string& nameRegex, int timeoutSeconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        RunResult r = RunNative({"xdotool", "search", "--onlyvisible", "--name", nameRegex}, 5);
        std::istringstream lines(r.output);
        std::string id;
        if (r.exitCode == 0 && std::getline(lines, id) && !id.empty()) return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return std::nullopt;
}

std::string WindowName(const std::string& id) {
    std::string name = RunNative({"xdotool", "getwindowname", id}, 5).output;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    return name;
}

namespace {

// Whether the window is still mapped and viewable (visible windows with any name).
bool IsWindowShown(const std::string& id) {
    RunResult r = RunNative({"xdotool", "search", "--onlyvisible", "--name", "."}, 5);
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (line == id) return true;
    return false;
}

} // namespace

void PressKey(const std::string& id, const std::string& key) {
    // On a loaded machine a window can be shown a moment before it takes the focus, and the
    // key is then lost: it is sent again while the window is still there.
    for (int attempt = 0; attempt < 5; ++attempt) {
        RunNative({"xdotool", "windowfocus", "--sync", id, "key", key}, 10);
        for (int wait = 0; wait < 15; ++wait) {
            if (!IsWindowShown(id)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
}

std::string Screenshot(const std::string& path) {
    RunResult r = RunNative({"sh", "-c", "xwd -root -silent | convert xwd:- '" + path + "'"}, 30);
    return r.exitCode == 0 && std::filesystem::exists(path) ? path : "";
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
    return static_cast<bool>(out);
}

std::map<std::string, std::string> KeyValueLines(const std::string& output) {
    std::map<std::string, std::string> values;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::string TrimmedEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string FileText(const std::string& path) {
    std::string text;
    ReadFile(path, text);
    return text;
}

bool TextContains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace cs::e2e

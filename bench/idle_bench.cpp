// Measures what the real program costs while nobody touches it: the program
// runs on a virtual screen of its own (Xvfb, with openbox as the window
// manager) against the demo machine; the bench picks each tab, and opens the
// panels a user leaves open (the drive pickers, the rename panel, the About
// window), waits for the picture to settle, then reads the process's CPU time
// (/proc/<pid>/stat) over a number of seconds.
//
//   idle_bench [-s seconds] [-b build-folder] [-p pictures-folder]
//
// The build folder is the one holding Pelorin.app and sim (default: the
// folder above this program's). Prints one line per scene: the share of one
// core used, in percent. Needs Xvfb, openbox and xdotool; with -p it also
// saves a screenshot of each scene (ImageMagick's import).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

void sleepFor(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// A child process with its own environment additions; killed and reaped at
// the end of the scope.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log,
            int passFd = -1) {
        pid_ = fork();
        if (pid_ != 0) return;
        for (const auto& e : env) putenv(strdup(e.c_str()));
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        if (passFd >= 0) dup2(passFd, 3);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    ~Process() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            sleepFor(0.1);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    pid_t pid() const { return pid_; }
    bool alive() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

std::string capture(const std::string& command) {
    std::string out;
    if (FILE* f = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, f)) out += buf;
        pclose(f);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

bool waitFor(const std::function<bool()>& cond, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (cond()) return true;
        sleepFor(0.1);
    }
    return cond();
}

// User and system time of a process, in seconds.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');   // the command name may hold blanks
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string f;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> f; ++i) {
        if (i == 14) utime = std::stod(f);
        if (i == 15) {
            stime = std::stod(f);
            break;
        }
    }
    return (utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// The main window on the virtual screen: clicks in its content view's
// coordinates (y up, origin at its lower left, as the layouts give them).
struct MainWindow {
    std::string id;
    int contentHeight = 561;
    int clientHeight = 0;

    void run(const std::string& xdotoolArgs) const {
        std::system(("xdotool " + xdotoolArgs + " >/dev/null 2>&1").c_str());
    }
    void click(double x, double y) const {
        const int top = clientHeight - contentHeight;   // the menu bar above the content
        run("mousemove --window " + id + " " + std::to_string(int(x)) + " " +
            std::to_string(top + contentHeight - int(y)) + " click 1");
    }
    // In the window's own pixels (y down from its top, the menu bar included).
    void clickPixel(int x, int y) const {
        run("mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    }
    void key(const std::string& k) const { run("key --window " + id + " " + k); }
    // Parks the pointer outside the window, so no hover stays on.
    void parkPointer() const { run("mousemove 5 5"); }
};

struct Scene {
    std::string name;
    std::function<void(const MainWindow&)> open;
    std::function<void(const MainWindow&)> close;
};

// The host views start 164 points right of the content view's edge.
constexpr double kHostX = 164;

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    fs::path build = fs::absolute(fs::path(argv[0])).parent_path().parent_path();
    std::string pictures;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "-s")) seconds = std::atof(argv[i + 1]);
        else if (!strcmp(argv[i], "-b")) build = argv[i + 1];
        else if (!strcmp(argv[i], "-p")) pictures = argv[i + 1];
    }
    const fs::path app = build / "Pelorin.app/Contents/MacOS/Pelorin", simTool = build / "sim";
    if (!fs::exists(app) || !fs::exists(simTool)) {
        std::fprintf(stderr, "no program or sim in %s (give -b build-folder)\n", build.c_str());
        return 1;
    }
    char tmpl[] = "/tmp/idle_bench.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path tmp = tmpl;
    struct RemoveAtEnd {   // after the processes below have ended
        fs::path dir;
        ~RemoveAtEnd() {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    } removeAtEnd{tmp};
    const std::string log = (tmp / "log.txt").string();

    int display = -1;
    {
        int fds[2];
        if (pipe(fds) != 0) return 1;
        static std::unique_ptr<Process> xvfb;
        xvfb = std::make_unique<Process>(
            std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1600x1000x24", "-dpi", "72",
                                     "-nolisten", "tcp"},
            std::vector<std::string>{}, log, fds[1]);
        close(fds[1]);
        char buf[16] = {};
        const ssize_t n = read(fds[0], buf, sizeof buf - 1);
        close(fds[0]);
        if (n > 0) display = std::atoi(buf);
        if (display < 0) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return 1;
        }
        setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    }
    Process wm({"openbox", "--sm-disable"}, {"HOME=" + tmp.string()}, log);
    waitFor([] { return capture("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") != std::string::npos; },
            10);

    const fs::path root = tmp / "root";
    if (std::system((simTool.string() + " create demo " + root.string() + " >/dev/null").c_str()) != 0) {
        std::fprintf(stderr, "could not create the demo machine\n");
        return 1;
    }
    Process program({app.string(), "-demo"},
                    {"PELORIN_SYSROOT=" + root.string(), "QT_QPA_PLATFORM=xcb", "HOME=" + tmp.string()}, log);
    MainWindow win;
    waitFor([&] {
        win.id = capture("xdotool search --onlyvisible --pid " + std::to_string(program.pid()) + " 2>/dev/null | head -n1");
        return !win.id.empty();
    }, 60);
    if (win.id.empty()) {
        std::fprintf(stderr, "the program showed no window; its output:\n");
        std::system(("tail -n 20 " + log).c_str());
        return 1;
    }
    sleepFor(2);   // the volume scans
    win.clientHeight = std::atoi(capture("xwininfo -id " + win.id + " | awk '/Height:/ {print $2}'").c_str());

    const auto tab = [](int i) {
        return [i](const MainWindow& w) { w.click(82, 423 - 52 * i + 26); };
    };
    const auto both = [](auto a, auto b) {
        return [a, b](const MainWindow& w) {
            a(w);
            sleepFor(0.5);
            b(w);
        };
    };
    const auto sourceSlot = [](const MainWindow& w) { w.click(kHostX + 62 + 136, 270); };
    const auto targetSlot = [](const MainWindow& w) { w.click(kHostX + 390 + 136, 270); };
    const auto escape = [](const MainWindow& w) { w.key("Escape"); };
    const auto clickAside = [](const MainWindow& w) { w.click(82, 100); };
    const std::vector<Scene> scenes = {
        {"Disk Copy", tab(0), nullptr},
        {"Disk Copy, source picker open", both(tab(0), sourceSlot), clickAside},
        {"OS Clone", tab(1), nullptr},
        {"OS Clone, target picker open", both(tab(1), targetSlot), clickAside},
        {"Disk Image Create", tab(2), nullptr},
        {"Disk Image Create, source picker open", both(tab(2), sourceSlot), clickAside},
        {"Disk Manager", tab(3), nullptr},
        // The second volume's row, then its Format button.
        {"Disk Manager, format panel open",
         both(both(tab(3), [](const MainWindow& w) { w.click(400, 356); }),
              [](const MainWindow& w) { w.click(kHostX + 6 + 540 + 36, 354); }),
         [](const MainWindow& w) { w.clickPixel(365, 534); }},   // its Cancel
        // The application menu, then its first item.
        {"About window open", both([](const MainWindow& w) { w.clickPixel(117, 8); },
                                   [](const MainWindow& w) { w.clickPixel(140, 32); }),
         escape},
    };

    std::printf("idle CPU over %.0f s per scene (share of one core)\n", seconds);
    double worst = 0;
    for (const Scene& s : scenes) {
        if (!program.alive()) {
            std::fprintf(stderr, "the program ended; its output:\n");
            std::system(("tail -n 20 " + log).c_str());
            return 1;
        }
        s.open(win);
        win.parkPointer();
        sleepFor(1.5);   // fades and the first drawing
        if (!pictures.empty()) {
            fs::create_directories(pictures);
            std::string file = s.name;
            for (char& c : file)
                if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
            std::system(("import -window root '" + (fs::path(pictures) / (file + ".png")).string() + "'").c_str());
        }
        const double before = cpuSeconds(program.pid());
        sleepFor(seconds);
        const double share = 100 * (cpuSeconds(program.pid()) - before) / seconds;
        worst = std::max(worst, share);
        std::printf("  %-40s %6.2f %%\n", s.name.c_str(), share);
        std::fflush(stdout);
        if (s.close) s.close(win);
        sleepFor(0.5);
    }
    std::printf("  %-40s %6.2f %%\n", "highest", worst);
    return 0;
}

// Disk full and interrupted runs under Wine: installations onto small drives (tmpfs mounted
// and mapped as drive Q:), with the temporary folder on a full drive, and runs killed with
// SIGKILL at chosen points (found by polling the prefix's folders from Linux) and run again.
// Whatever happens, the product ends either registered with a whole uninstaller and a whole
// "Uninstall.dat" or not registered at all, no file is left cut short under its real name,
// and a rerun finishes the job and removes what the killed run left in the temporary folder.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

const std::string kEntryRoot = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Bytes that no compression shrinks, the same for the same seed.
std::string Noise(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    uint64_t x = 0x9E3779B97F4A7C15ull ^ seed;
    for (size_t i = 0; i < size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        for (size_t j = 0; j < 8 && i + j < size; ++j)
            out[i + j] = char(x >> (8 * j));
    }
    return out;
}

bool EntryExists(const std::string& name) {
    return RunWine({"reg", "query", kEntryRoot + name, "/reg:32"}, 60).exitCode == 0;
}

// The files under a folder whose names end with the partial suffix of a file being written.
std::vector<std::string> PartialFiles(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return found;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec))
        if (e.path().filename().string().find(".cs-partial") != std::string::npos)
            found.push_back(e.path().string());
    return found;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return found;
    for (const auto& e : fs::directory_iterator(folder, ec))
        found.push_back(e.path().filename().string());
    return found;
}

// A file under the folder (recursively) that passes the test, "" when none does.
std::string FindFile(const std::string& folder, const std::function<bool(const fs::path&, uintmax_t)>& test) {
    std::error_code ec;
    if (!fs::exists(folder, ec)) return "";
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sizeError;
        if (!it->is_regular_file(sizeError)) continue;
        uintmax_t size = it->file_size(sizeError);
        if (!sizeError && test(it->path(), size)) return it->path().string();
    }
    return "";
}

// The state the product was left in must be one the uninstaller can handle: registered with
// the uninstaller whole and "Uninstall.dat" whole, or not registered.
void ExpectWholeOrUnregistered(const std::string& product, const std::string& dataFolder,
                               const std::string& installer) {
    if (!EntryExists(product)) return;
    std::string uninstaller = FileText(dataFolder + "/uninstall.exe");
    EXPECT_EQ(uninstaller.size(), FileText(installer).size()) << "a registered uninstaller is whole";
    EXPECT_TRUE(uninstaller == FileText(installer)) << "a registered uninstaller is the installer's copy";
    EXPECT_TRUE(TextContains(FileText(dataFolder + "/Uninstall.dat"), "[Strings]"))
        << "a registered \"Uninstall.dat\" is whole";
}

// A tmpfs of the given size, mounted under the build tree and mapped into the prefix as
// drive Q:; unmounted and unmapped again in every case.
class SmallDrive {
  public:
    explicit SmallDrive(int megabytes) {
        path_ = TempDir() + "/small-drive";
        fs::create_directories(path_);
        RunResult r = RunNative(
            {"mount", "-t", "tmpfs", "-o", "size=" + std::to_string(megabytes) + "m", "tmpfs", path_});
        mounted_ = r.exitCode == 0;
        if (!mounted_) {
            why_ = "mounting a " + std::to_string(megabytes) + " MB tmpfs is not permitted here: " + r.output;
            return;
        }
        link_ = std::string(std::getenv("WINEPREFIX")) + "/dosdevices/q:";
        std::error_code ec;
        fs::remove(link_, ec);
        fs::create_directory_symlink(path_, link_, ec);
        if (ec) why_ = "cannot map the drive as Q: " + ec.message();
    }
    ~SmallDrive() {
        std::error_code ec;
        if (!link_.empty()) fs::remove(link_, ec);
        if (!mounted_) return;
        // A program of the prefix may still hold a file of it for a moment.
        for (int i = 0; i < 20; ++i) {
            if (RunNative({"umount", path_}).exitCode == 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        RunNative({"umount", "-l", path_});
    }
    bool Ready() const { return why_.empty(); }
    const std::string& Why() const { return why_; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_, link_, why_;
    bool mounted_ = false;
};

// A batch that runs the installer with the temporary folder set (Wine's own environment
// takes TEMP from the registry, so it is set in the batch), and passes its exit code on.
std::string RunBatch(const std::string& installer, const std::string& tempFolder,
                     const std::string& switches) {
    std::string batch = TempDir() + "/run.bat";
    WriteFile(batch, "@set TEMP=" + tempFolder + "\r\n@set TMP=" + tempFolder + "\r\n@\"" +
                         ToWindowsPath(installer) + "\" " + switches + "\r\n@exit %errorlevel%\r\n");
    return ToWindowsPath(batch);
}

// Kills every process whose command line names the installer (SIGKILL: no clean-up of its
// own runs). True when one was killed.
bool KillInstaller(const std::string& installer) {
    RunResult found = RunNative({"pgrep", "-f", fs::path(installer).filename().string()});
    bool killed = false;
    size_t at = 0;
    while (at < found.output.size()) {
        size_t end = found.output.find('\n', at);
        if (end == std::string::npos) end = found.output.size();
        int pid = std::atoi(found.output.substr(at, end - at).c_str());
        if (pid > 0 && kill(pid, SIGKILL) == 0) killed = true;
        at = end + 1;
    }
    return killed;
}

// Starts the batch, polls until `due` says the run has reached its point, then kills the
// installer. False when the run ended (or the wait ran out) before that point.
bool KillWhen(const std::string& installer, const std::string& batch, const std::function<bool()>& due) {
    Process run({"cmd", "/c", batch});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    while (std::chrono::steady_clock::now() < deadline) {
        if (due()) {
            bool killed = KillInstaller(installer);
            run.Wait(60);
            return killed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    run.Wait(5);
    return false;
}

const std::string kBigName = "big.bin";

} // namespace

// ---- A full disk --------------------------------------------------------------------------

class DiskFull : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        sources_ = new std::string(TempDir());
        WriteFile(*sources_ + "/" + kBigName, Noise(22u << 20, 1));
        WriteFile(*sources_ + "/small.txt", "small");
        installer_ = new std::string(BuildInstaller(
            "durable-full", "[product]\nname = \"CsE2E Durable Full\"\nversion = \"1.0\"\n"
                            "[install]\nfolder = \"C:\\\\cs_e2e_durable\\\\unused\"\n"
                            "[uninstall]\nsubfolder = \"data\"\n"
                            "[options]\ncompress_files = false\nstart_menu_uninstaller = false\n"
                            "[[file]]\nsource = \"" +
                                *sources_ + "/small.txt\"\n[[file]]\nsource = \"" + *sources_ + "/" +
                                kBigName + "\"\n"));
    }
    static void TearDownTestSuite() {
        delete sources_;
        delete installer_;
    }
    void SetUp() override {
        ASSERT_FALSE(installer_->empty());
        RegDeleteKey(kEntryRoot + kProduct);
    }
    void TearDown() override { RegDeleteKey(kEntryRoot + kProduct); }

    const std::string kProduct = "CsE2E Durable Full";
    static std::string* sources_;
    static std::string* installer_;
};
std::string* DiskFull::sources_ = nullptr;
std::string* DiskFull::installer_ = nullptr;

// On a 40 MB drive the files fit and the uninstaller (a copy of the 22 MB installer) does not;
// on a 20 MB drive the big file itself does not fit. Both end with exit code 17, the product
// registered whole or not at all, no file cut short, and a log that tells of the failure.
TEST_F(DiskFull, SmallDrivesEndWithTheFailureCodeAndNoBrokenEntry) {
    for (int megabytes : {40, 20}) {
        SCOPED_TRACE(std::to_string(megabytes) + " MB drive");
        SmallDrive drive(megabytes);
        if (!drive.Ready()) GTEST_SKIP() << drive.Why();
        RunResult ran = RunWine({*installer_, "/silent", "/a", "/d:Q:\\App"}, 300);
        ASSERT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 17) << ran.output;

        const std::string app = drive.Path() + "/App", data = app + "/data";
        ExpectWholeOrUnregistered(kProduct, data, *installer_);
        EXPECT_FALSE(EntryExists(kProduct)) << "the uninstaller did not fit: nothing may point at it";
        EXPECT_EQ(PartialFiles(app), std::vector<std::string>{}) << "what did not fit is gone";
        if (fs::exists(app + "/" + kBigName)) {
            EXPECT_EQ(fs::file_size(app + "/" + kBigName), 22u << 20) << "an installed file is whole";
        }
        std::string log = FileText(data + "/Install.log");
        EXPECT_TRUE(TextContains(log, "*** FAILURE SUMMARY ***")) << log;
        EXPECT_FALSE(TextContains(log, "Installation complete")) << log;
    }
}

// The temporary folder on a full drive: the extraction file cannot be written. The run fails
// with a failure code, and its log (on drive C:) tells of the failure, not of a completion.
TEST_F(DiskFull, TemporaryFolderOnAFullDriveFailsTheRunAndItsLog) {
    SmallDrive drive(20);
    if (!drive.Ready()) GTEST_SKIP() << drive.Why();
    fs::create_directories(drive.Path() + "/tmp");
    const std::string app = DriveC() + "/cs_e2e_durable/temp-full";
    fs::remove_all(app);
    RunResult ran = RunWine(
        {"cmd", "/c", RunBatch(*installer_, "Q:\\tmp", "/silent /a /d:C:\\cs_e2e_durable\\temp-full")}, 300);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_NE(ran.exitCode, 0) << ran.output;
    EXPECT_NE(ran.exitCode, 16) << ran.output;
    EXPECT_FALSE(EntryExists(kProduct));
    std::string log = FileText(app + "/data/Install.log");
    EXPECT_TRUE(TextContains(log, "*** FAILURE SUMMARY ***")) << log;
    EXPECT_FALSE(TextContains(log, "Installation complete")) << log;
    EXPECT_EQ(FilesIn(drive.Path() + "/tmp"), std::vector<std::string>{})
        << "nothing of the run stays in TEMP";
    fs::remove_all(DriveC() + "/cs_e2e_durable/temp-full");
}

// ---- Killed runs ----------------------------------------------------------------------------

class KilledRun : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        sources_ = new std::string(TempDir());
        big_ = new std::string(Noise(160u << 20, 2));
        WriteFile(*sources_ + "/" + kBigName, *big_);
        WriteFile(*sources_ + "/small.txt", "small");
    }
    static void TearDownTestSuite() {
        delete sources_;
        delete big_;
    }
    void SetUp() override {
        temp_ = DriveC() + "/cs_e2e_durable/temp";
        fs::remove_all(temp_);
        fs::create_directories(temp_);
    }

    // An installer of the big file (and a small one) into C:\cs_e2e_durable\<folder>.
    std::string Build(const std::string& name, const std::string& product, const std::string& folder,
                      const std::string& fileOptions) {
        fs::remove_all(DriveC() + "/cs_e2e_durable/" + folder);
        RegDeleteKey(kEntryRoot + product);
        return BuildInstaller(name, "[product]\nname = \"" + product +
                                        "\"\nversion = \"1.0\"\n"
                                        "[install]\nfolder = \"C:\\\\cs_e2e_durable\\\\" +
                                        folder +
                                        "\"\n"
                                        "[uninstall]\nsubfolder = \"data\"\n"
                                        "[options]\ncompress_files = false\nstart_menu_uninstaller = false\n"
                                        "[[file]]\nsource = \"" +
                                        *sources_ + "/small.txt\"\n[[file]]\nsource = \"" + *sources_ + "/" +
                                        kBigName + "\"\n" + fileOptions);
    }
    std::string Batch(const std::string& installer) {
        return RunBatch(installer, "C:\\cs_e2e_durable\\temp", "/silent /a");
    }

    std::string temp_;
    static std::string* sources_;
    static std::string* big_;
};
std::string* KilledRun::sources_ = nullptr;
std::string* KilledRun::big_ = nullptr;

// With "if-newer" a file killed while it was written must not pass for a newer one: the
// rerun ends with the whole file.
TEST_F(KilledRun, IfNewerRerunEndsWithTheWholeFile) {
    const std::string product = "CsE2E Durable IfNewer";
    std::string installer = Build("durable-ifnewer", product, "ifnewer",
                                  "overwrite = \"if-newer\"\ndate = 2020-01-01T00:00:00\n");
    ASSERT_FALSE(installer.empty());
    const std::string app = DriveC() + "/cs_e2e_durable/ifnewer", file = app + "/" + kBigName;
    bool killed = KillWhen(installer, Batch(installer), [&] {
        return !FindFile(app, [&](const fs::path& p, uintmax_t size) {
                    return p.filename().string().rfind(kBigName, 0) == 0 && size > 0 && size < big_->size();
                }).empty();
    });
    ASSERT_TRUE(killed) << "the run ended before the big file was being written";
    if (fs::exists(file)) {
        EXPECT_EQ(fs::file_size(file), big_->size()) << "no cut file under the real name";
    }

    RunResult rerun = RunWine({"cmd", "/c", Batch(installer)}, 300);
    ASSERT_FALSE(rerun.timedOut);
    EXPECT_EQ(rerun.exitCode, 0) << rerun.output;
    EXPECT_TRUE(FileText(file) == *big_) << "the rerun ends with the whole file";
    EXPECT_EQ(PartialFiles(app), std::vector<std::string>{});
    EXPECT_TRUE(EntryExists(product));
    RegDeleteKey(kEntryRoot + product);
    fs::remove_all(app);
}

// A kill during the extraction, the file loop and the uninstaller's step (before the uninstall
// key): the rerun ends complete, with the entry, and neither run leaves a file in the
// temporary folder (the killed run's extraction file and log spool are removed by the rerun).
TEST_F(KilledRun, RerunAfterAKillFinishesAndLeavesNothingInTemp) {
    struct Point {
        const char* name;
        std::function<bool(const std::string& app)> due;
    };
    const std::string temp = temp_;
    const uintmax_t bigSize = big_->size();
    Point points[] = {
        {"extraction",
         [&](const std::string&) {
             return !FindFile(temp, [](const fs::path&, uintmax_t size) {
                         return size > (8u << 20);
                     }).empty();
         }},
        {"file loop",
         [&](const std::string& app) {
             return !FindFile(app, [&](const fs::path& p, uintmax_t size) {
                         return p.filename().string().rfind(kBigName, 0) == 0 && size > 0 && size < bigSize;
                     }).empty();
         }},
        {"uninstaller and registration",
         [&](const std::string& app) {
             return !FindFile(app + "/data", [](const fs::path& p, uintmax_t size) {
                         return p.filename().string().rfind("uninstall.exe", 0) == 0 && size > 0;
                     }).empty();
         }},
    };
    const std::string product = "CsE2E Durable Kill";
    for (const Point& point : points) {
        SCOPED_TRACE(point.name);
        fs::remove_all(temp_);
        fs::create_directories(temp_);
        std::string installer = Build("durable-kill", product, "kill", "");
        ASSERT_FALSE(installer.empty());
        const std::string app = DriveC() + "/cs_e2e_durable/kill";
        ASSERT_TRUE(KillWhen(installer, Batch(installer), [&] { return point.due(app); }))
            << "the run ended before the kill point";
        ExpectWholeOrUnregistered(product, app + "/data", installer);

        RunResult rerun = RunWine({"cmd", "/c", Batch(installer)}, 300);
        ASSERT_FALSE(rerun.timedOut);
        EXPECT_EQ(rerun.exitCode, 0) << rerun.output;
        EXPECT_EQ(FilesIn(temp_), std::vector<std::string>{}) << "no extraction file or log spool is left";
        EXPECT_TRUE(EntryExists(product));
        ExpectWholeOrUnregistered(product, app + "/data", installer);
        EXPECT_TRUE(FileText(app + "/" + kBigName) == *big_) << "the big file is whole";
        EXPECT_EQ(PartialFiles(app), std::vector<std::string>{});
        RegDeleteKey(kEntryRoot + product);
        fs::remove_all(app);
    }
}

// The Debian package, built by CPack from this build tree into a temporary folder and
// checked there without installing anything: its file list and control fields, lintian,
// the desktop entry, the AppStream data, the systemd units, and the unpacked programs,
// which must find their library through their own run path.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Result
{
    int status = -1;
    std::string output; // standard output and standard error together
};

std::string quoted(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Result run(const std::string &command)
{
    Result r;
    FILE *p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.output.append(buf.data(), n);
    const int rc = ::pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

bool haveTool(const std::string &name)
{
    return run("command -v " + quoted(name)).status == 0;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string version = PACKAGE_VERSION;

class Package : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!haveTool("dpkg-deb"))
            return;
        char pattern[] = "/tmp/chimecast-package-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        work_ = pattern;
        const Result built =
            run(quoted(CPACK_COMMAND) + " --config " + quoted(CPACK_CONFIG) + " -B " + quoted(work_.string()));
        buildLog_ = built.output;
        deb_ = work_ / ("chimecast_" + version + "_amd64.deb");
        if (built.status != 0 || !fs::exists(deb_))
            return;
        root_ = work_ / "root";
        if (run("dpkg-deb -x " + quoted(deb_.string()) + " " + quoted(root_.string())).status != 0)
            root_.clear();
    }

    static void TearDownTestSuite()
    {
        if (!work_.empty())
            fs::remove_all(work_);
    }

    void SetUp() override
    {
        if (work_.empty())
            GTEST_SKIP() << "no dpkg-deb on this machine";
        ASSERT_TRUE(fs::exists(deb_)) << "cpack made no " << deb_ << ":\n" << buildLog_;
        ASSERT_FALSE(root_.empty()) << "dpkg-deb -x failed";
    }

    static std::string field(const std::string &name)
    {
        Result r = run("dpkg-deb -f " + quoted(deb_.string()) + " " + name);
        while (!r.output.empty() && r.output.back() == '\n')
            r.output.pop_back();
        return r.output;
    }

    static inline fs::path work_, deb_, root_;
    static inline std::string buildLog_;
};

TEST_F(Package, ListsWhatTheProgramNeedsAndNothingOfTheBuild)
{
    const Result contents = run("dpkg-deb --contents " + quoted(deb_.string()));
    ASSERT_EQ(contents.status, 0) << contents.output;
    const std::vector<std::string> expected = {
        "./usr/bin/chimecast",
        "./usr/bin/sonvox-play",
        "./usr/lib/chimecast/libsonvox.so",
        "./usr/share/chimecast/schema.sql",
        "./usr/share/chimecast/操作说明/",
        "./usr/share/chimecast/polkit/50-chimecast-poweroff.rules",
        "./usr/share/applications/chimecast.desktop",
        "./usr/share/icons/hicolor/16x16/apps/chimecast.png",
        "./usr/share/icons/hicolor/48x48/apps/chimecast.png",
        "./usr/share/icons/hicolor/256x256/apps/chimecast.png",
        "./usr/share/icons/hicolor/scalable/apps/chimecast.svg",
        "./usr/share/metainfo/org.chimecast.Chimecast.metainfo.xml",
        "./usr/share/man/man1/chimecast.1.gz",
        "./usr/share/man/man1/sonvox-play.1.gz",
        "./usr/lib/systemd/system/chimecast.service",
        "./usr/lib/systemd/user/chimecast.service",
        "./usr/share/doc/chimecast/copyright",
        "./usr/share/doc/chimecast/changelog.gz",
    };
    for (const std::string &path : expected)
        EXPECT_NE(contents.output.find(path), std::string::npos) << path << " missing from\n" << contents.output;
    // Build outputs that must never ship: headers, static libraries, tests, the build tree.
    for (const char *stray : {"/include/", ".a\n", "_test", "/build/", "./etc/", "./var/"})
        EXPECT_EQ(contents.output.find(stray), std::string::npos) << stray << " shipped:\n" << contents.output;
}

TEST_F(Package, ControlFieldsNameTheRuntimePackages)
{
    EXPECT_EQ(field("Package"), "chimecast");
    EXPECT_EQ(field("Version"), version);
    EXPECT_EQ(field("Architecture"), "amd64");
    const std::string depends = field("Depends");
    for (const char *runtime :
         {"libqt6widgets6", "libqt6sql6-sqlite", "libqt6dbus6", "libgstreamer1.0-0", "gstreamer1.0-plugins-base",
          "gstreamer1.0-plugins-good", "gstreamer1.0-plugins-bad", "gstreamer1.0-plugins-ugly", "gstreamer1.0-libav",
          "gstreamer1.0-alsa", "libasound2", "timgm6mb-soundfont", "fonts-wqy-microhei", "adduser"})
        EXPECT_NE(depends.find(runtime), std::string::npos) << runtime << " not in Depends: " << depends;
    for (const char *buildOnly : {"-dev", "cmake", "ninja", "googletest", "mpg123"})
        EXPECT_EQ(depends.find(buildOnly), std::string::npos) << buildOnly << " in Depends: " << depends;
}

TEST_F(Package, LintianReportsNoError)
{
    if (!haveTool("lintian"))
        GTEST_SKIP() << "lintian is not installed (scripts/install-deps.sh installs it)";
    const Result lint = run("lintian --fail-on error " + quoted(deb_.string()));
    EXPECT_EQ(lint.status, 0) << lint.output;
    EXPECT_EQ(lint.output.find("E: "), std::string::npos) << lint.output;
}

TEST_F(Package, DesktopEntryAndAppStreamDataValidate)
{
    const fs::path desktop = root_ / "usr/share/applications/chimecast.desktop";
    if (haveTool("desktop-file-validate")) {
        const Result r = run("desktop-file-validate " + quoted(desktop.string()));
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output, "") << r.output;
    }
    // What the menu shows and what a start-at-login entry starts.
    const std::string entry = readFile(desktop);
    for (const char *line :
         {"\nExec=chimecast\n", "\nIcon=chimecast\n", "\nName=Chimecast\n", "\nName[zh_CN]=", "\nComment[zh_CN]="})
        EXPECT_NE(entry.find(line), std::string::npos) << line << " missing from\n" << entry;

    if (haveTool("appstreamcli")) {
        const fs::path metainfo = root_ / "usr/share/metainfo/org.chimecast.Chimecast.metainfo.xml";
        const Result r = run("appstreamcli validate --no-net " + quoted(metainfo.string()));
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(readFile(metainfo).find("<release version=\"" + version + "\""), std::string::npos);
    }
}

TEST_F(Package, UnpackedProgramsRunFromTheirOwnLibraryFolder)
{
    const std::string env = "env -u LD_LIBRARY_PATH ";
    const Result program = run(env + quoted((root_ / "usr/bin/chimecast").string()) + " --version");
    EXPECT_EQ(program.status, 0) << program.output;
    EXPECT_EQ(program.output, "chimecast " + version + "\n");
    const Result player = run(env + quoted((root_ / "usr/bin/sonvox-play").string()) + " --version");
    EXPECT_EQ(player.status, 0) << player.output;
    EXPECT_EQ(player.output, "sonvox-play " + version + "\n");

    // The library comes from the unpacked tree, not from the build tree or the system.
    const Result libs = run(env + "ldd " + quoted((root_ / "usr/bin/chimecast").string()));
    const std::string shipped = (root_ / "usr/bin/../lib/chimecast/libsonvox.so").string();
    EXPECT_NE(libs.output.find("libsonvox.so => " + shipped), std::string::npos) << libs.output;
}

// The units as shipped, with only ExecStart pointed at the unpacked program so that
// systemd-analyze can check it is there.
TEST_F(Package, SystemdUnitsVerify)
{
    if (!haveTool("systemd-analyze"))
        GTEST_SKIP() << "systemd-analyze is not installed";
    const fs::path runtime = work_ / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    for (const char *kind : {"system", "user"}) {
        SCOPED_TRACE(kind);
        const std::string unit = readFile(root_ / "usr/lib/systemd" / kind / "chimecast.service");
        const std::string exec = "\nExecStart=/usr/bin/chimecast\n";
        const size_t at = unit.find(exec);
        ASSERT_NE(at, std::string::npos) << unit;
        std::string local = unit;
        local.replace(at, exec.size(), "\nExecStart=" + (root_ / "usr/bin/chimecast").string() + "\n");
        const fs::path dir = work_ / "units" / kind;
        fs::create_directories(dir);
        std::ofstream(dir / "chimecast.service") << local;

        const std::string scope = std::string(kind) == "user" ? "--user " : "";
        const Result r = run("XDG_RUNTIME_DIR=" + quoted(runtime.string()) + " systemd-analyze " + scope
                             + "verify --man=no " + quoted((dir / "chimecast.service").string()));
        EXPECT_EQ(r.status, 0) << r.output;
        // Unknown keys and bad values are only warnings to systemd-analyze.
        EXPECT_EQ(r.output, "") << r.output;
    }
}

} // namespace

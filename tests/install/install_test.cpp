// The installed gridora: the build tree installed into a staging folder (DESTDIR) with the
// same install rules the package uses, then run from elsewhere as a user would; the Debian
// package made from the same rules; a C program built against the installed ringweld.pc.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchFolder;

const fs::path kSourceDir = GRIDORA_SOURCE_DIR;
const fs::path kInstallPrefix = "/opt/gridora";

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
std::string Quote(const fs::path& path) { return Quote(path.native()); }

struct ShellResult {
    int exit_code = -1;
    std::string out;  // stdout and stderr
};

// Runs `command` in sh; its output is collected in `log`.
ShellResult Shell(const std::string& command, const fs::path& log) {
    const std::string full = "( " + command + " ) >" + Quote(log) + " 2>&1";
    const int status = std::system(full.c_str());
    return ShellResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(log)};
}

// Every file and symbolic link below `root`, as paths relative to it.
std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory() && !entry.is_symlink()) continue;
        files.insert(fs::relative(entry.path(), root).native());
    }
    return files;
}

// `bytes` with every mention of `folder` replaced by "FOLDER".
std::string WithFolderNamed(std::string bytes, const fs::path& folder) {
    const std::string name = folder.native();
    for (std::size_t at = bytes.find(name); at != std::string::npos; at = bytes.find(name, at))
        bytes.replace(at, name.size(), "FOLDER");
    return bytes;
}

std::set<std::string> ExpectedInstalledFiles() {
    std::set<std::string> files = {
        "bin/gridora-cli",          "bin/sheetgen",
        "lib/libringweld.so",       "lib/libunlha32.so",
        "lib/pkgconfig/ringweld.pc", "include/ringweld.h",
        "share/gridora/city.csv",   "share/gridora/symbols.sym",
        "share/gridora/ms4wmap10.lzh", "share/gridora/README.md",
        "share/man/man1/gridora-cli.1",
    };
    if (GRIDORA_WINDOW_BUILT) files.insert("bin/gridora");
    return files;
}

// A fresh DESTDIR install of the build tree under /opt/gridora.
class StagedInstall : public ::testing::Test {
protected:
    void SetUp() override {
        const ShellResult install = Shell("DESTDIR=" + Quote(stage) + " " + Quote(std::string(CMAKE_PROGRAM)) +
                                              " --install " + Quote(std::string(GRIDORA_BINARY_DIR)) +
                                              " --prefix " + Quote(kInstallPrefix),
                                          folder / "install.log");
        ASSERT_EQ(install.exit_code, 0) << install.out;
    }

    // The installed tree as it lies in the staging folder.
    fs::path Installed(const std::string& relative = "") const {
        return stage / kInstallPrefix.relative_path() / relative;
    }

    // Runs a program of the installed tree without help from the build tree's environment,
    // with a config folder of its own. HOME stays: fontconfig keeps its cache there. In the
    // sanitizer build, fontconfig's own allocations that it keeps until exit under a fresh
    // config folder are not ours to report; every other leak still fails the run.
    std::string Isolated(const std::string& command) const {
        testing::WriteBytes(folder / "lsan.supp", "leak:libfontconfig.so\n");
        return "env -u LD_LIBRARY_PATH XDG_CONFIG_HOME=" + Quote(folder / "config") +
               " LSAN_OPTIONS=print_suppressions=0:suppressions=" + Quote(folder / "lsan.supp") + " " + command;
    }

    ScratchFolder folder;
    const fs::path stage = folder / "stage";
};

TEST_F(StagedInstall, PutsEveryFileInItsFolderAndThePrograms) {
    EXPECT_EQ(FilesBelow(Installed()), ExpectedInstalledFiles());
    for (const char* name : {"city.csv", "symbols.sym", "ms4wmap10.lzh"})
        EXPECT_EQ(ReadBytes(Installed("share/gridora") / name), ReadBytes(kSourceDir / "data" / name)) << name;
    EXPECT_EQ(ReadBytes(Installed("include/ringweld.h")), ReadBytes(kSourceDir / "engine/ringweld.h"));

    // The installed programs find libringweld.so in ../lib, not in the build tree.
    const ShellResult dynamic = Shell("readelf -d " + Quote(Installed("bin/gridora-cli")), folder / "readelf.log");
    ASSERT_EQ(dynamic.exit_code, 0) << dynamic.out;
    EXPECT_NE(dynamic.out.find("[$ORIGIN/../lib]"), std::string::npos) << dynamic.out;
    EXPECT_EQ(dynamic.out.find(GRIDORA_BINARY_DIR), std::string::npos) << dynamic.out;

    const ShellResult version =
        Shell(Isolated(Quote(Installed("bin/gridora-cli")) + " --version"), folder / "version.log");
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, "gridora-cli " GRIDORA_VERSION "\n");
}

TEST_F(StagedInstall, TheManPageDescribesEveryOptionOfTheHelpText) {
    const std::string page = ReadBytes(Installed("share/man/man1/gridora-cli.1"));
    EXPECT_EQ(page.rfind(".TH GRIDORA-CLI 1 ", 0), 0u) << page;
    EXPECT_NE(page.find("\"gridora-cli " GRIDORA_VERSION "\""), std::string::npos);
    for (const char* section : {".SH NAME\ngridora-cli \\- ", ".SH SYNOPSIS\ngridora\\-cli \\-o RUN.lis ",
                                ".SH DESCRIPTION\n", ".SH OPTIONS\n", ".SH FILES\n"})
        EXPECT_NE(page.find(section), std::string::npos) << section;
    for (const char* option : {".B SOURCE\n", ".B \\-o RUN.lis\n", ".B \\-\\-no\\-donut\n", ".B \\-\\-mapserver8\n", ".B \\-\\-no\\-mapserver8\n",
                               ".B \\-\\-settings FILE\n", ".B \\-h, \\-\\-help\n", ".B \\-\\-version\n"})
        EXPECT_NE(page.find(std::string(".TP\n") + option), std::string::npos) << option;
    // The continuation lines of an option stay with it, the Japanese text is kept.
    EXPECT_NE(page.find(".B \\-\\-no\\-donut\njoin the holes of polygons to their outline instead of writing\n"
                        "them as inner rings.\n"),
              std::string::npos);
    EXPECT_NE(page.find("(数値地図2500)"), std::string::npos);
    // No text line starts with a control character unescaped.
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || (line[0] != '.' && line[0] != '\'')) continue;
        EXPECT_TRUE(line.rfind(".TH ", 0) == 0 || line.rfind(".SH ", 0) == 0 || line == ".TP" || line == ".PP" ||
                    line.rfind(".B ", 0) == 0)
            << line;
    }
}

// The sample archives converted by the staged program from its own working folder, and by
// the build tree's program from another: the same files with the same bytes (the dBASE
// headers carry the day's date, the same for both), the same progress lines and messages.
TEST_F(StagedInstall, ConvertsTheSampleArchivesFromAnotherFolderLikeTheBuildTree) {
    const fs::path staged_run = folder / "staged-run";
    const fs::path build_run = folder / "build-run";
    fs::create_directories(staged_run);
    fs::create_directories(build_run);
    fs::create_directories(folder / "build-settings");
    std::string sources;
    for (const char* archive : {"13101.LZH", "13102.LZH"}) sources += " " + Quote(kSourceDir / "data/sample" / archive);

    const ShellResult staged = Shell("cd " + Quote(staged_run) + " && " +
                                         Isolated(Quote(Installed("bin/gridora-cli")) + " -o out/sample.lis" + sources),
                                     folder / "staged.log");
    const ShellResult built =
        Shell("cd " + Quote(build_run) + " && " + Quote(std::string(GRIDORA_CLI)) + " --settings " +
                  Quote(folder / "build-settings/gridora.Ini") + " -o out/sample.lis" + sources,
              folder / "build.log");
    ASSERT_EQ(built.exit_code, 0) << built.out;
    EXPECT_EQ(staged.exit_code, 0) << staged.out;
    EXPECT_EQ(staged.out, built.out);

    const std::set<std::string> files = FilesBelow(staged_run / "out");
    EXPECT_EQ(files, FilesBelow(build_run / "out"));
    // The support files came from share/gridora and the archive library from lib.
    for (const char* made : {"sample.lis", "sample.map", "gridora.php", "gaiku_pgn.shp", "etc/symbols.sym",
                             "ms4w/Apache/htdocs/libgridora.php"})
        EXPECT_TRUE(files.count(made)) << made;
    // The map file names its folder by full path; that aside, the bytes are the same.
    for (const std::string& file : files)
        EXPECT_TRUE(WithFolderNamed(ReadBytes(staged_run / "out" / file), staged_run) ==
                    WithFolderNamed(ReadBytes(build_run / "out" / file), build_run))
            << file;

    // Settings and statistics went to the user's config folder, not beside the program.
    EXPECT_FALSE(fs::exists(Installed("bin/gridora.Ini")));
    ASSERT_TRUE(fs::is_regular_file(folder / "config/gridora/gridora.Ini"));
    EXPECT_EQ(ReadBytes(folder / "config/gridora/gridora.Ini"), ReadBytes(folder / "build-settings/gridora.Ini"));
    EXPECT_EQ(fs::exists(folder / "config/gridora/gridora.Err"), fs::exists(folder / "build-settings/gridora.Err"));
}

// A file beside the installed program wins over the installed one.
TEST_F(StagedInstall, ASupportFileBesideTheInstalledProgramIsPreferred) {
    const std::string own_symbols = "SYMBOLSET\nEND\n";
    folder.Write("stage/opt/gridora/bin/symbols.sym", own_symbols);
    const fs::path run = folder / "run";
    fs::create_directories(run);
    const ShellResult result =
        Shell("cd " + Quote(run) + " && " +
                  Isolated(Quote(Installed("bin/gridora-cli")) + " -o out/one.lis " +
                           Quote(kSourceDir / "data/sample/13101/09LD172/09LD172.TXT")),
              folder / "run.log");
    ASSERT_EQ(result.exit_code, 0) << result.out;
    EXPECT_EQ(ReadBytes(run / "out/etc/symbols.sym"), own_symbols);
    EXPECT_TRUE(fs::exists(run / "out/ms4w/Apache/htdocs/libgridora.php"));
}

constexpr const char* kRingweldProgram = R"(#include <stdio.h>
#include <ringweld.h>

/* Two unit squares of 10 sharing an edge: two polygons of area 100 each. */
int main(void) {
    static const int32_t lines[][4] = {{0, 0, 10, 0}, {10, 0, 20, 0}, {20, 0, 20, 10}, {20, 10, 10, 10},
                                       {10, 10, 0, 10}, {0, 10, 0, 0}, {10, 0, 10, 10}};
    int32_t count = 0, face = 0, points = 0, found = 0;
    double total = 0.0;
    rw_start(16, 16, 16, 64);
    for (int32_t i = 0; i < 7; ++i)
        rw_put_line(1, 1, lines[i][0], lines[i][1], lines[i][2], lines[i][3], i);
    if (rw_create_miniline(&count) || rw_create_arcline(&count) || rw_create_polygon(&count)) return 1;
    for (int32_t rc = rw_first_polygon(&face, &points); rc == 0; rc = rw_next_polygon(&face, &points)) {
        double area = 0.0;
        if (rw_calareaD_polygon(face, &area) == 0 && area > 0) {
            ++found;
            total += area;
        }
    }
    rw_end();
    printf("%d polygons, area %.1f\n", (int)found, total);
    return 0;
}
)";

TEST_F(StagedInstall, AProgramBuiltAgainstTheInstalledRingweldPcLinksAndRuns) {
    folder.Write("uses_ringweld.c", kRingweldProgram);
    const std::string pkg_config = "PKG_CONFIG_PATH=" + Quote(Installed("lib/pkgconfig")) +
                                   " PKG_CONFIG_SYSROOT_DIR=" + Quote(stage) + " pkg-config";
    const ShellResult version = Shell(pkg_config + " --modversion ringweld", folder / "modversion.log");
    ASSERT_EQ(version.exit_code, 0) << version.out;
    EXPECT_EQ(version.out, GRIDORA_VERSION "\n");
    const ShellResult flags = Shell(pkg_config + " --cflags --libs ringweld", folder / "flags.log");
    ASSERT_EQ(flags.exit_code, 0) << flags.out;
    EXPECT_NE(flags.out.find("-I" + Installed("include").native()), std::string::npos) << flags.out;
    EXPECT_NE(flags.out.find("-L" + Installed("lib").native()), std::string::npos) << flags.out;

    // The header is plain C and warning-free as such.
    const ShellResult compile =
        Shell("cd " + Quote(folder.Path()) + " && " + Quote(std::string(C_COMPILER)) +
                  " -std=c11 -Wall -Wextra -Werror " SANITIZER_FLAGS " uses_ringweld.c -o uses_ringweld $(" +
                  pkg_config + " --cflags --libs ringweld)",
              folder / "compile.log");
    ASSERT_EQ(compile.exit_code, 0) << compile.out;
    const ShellResult run = Shell("LD_LIBRARY_PATH=" + Quote(Installed("lib")) + " " + Quote(folder / "uses_ringweld"),
                                  folder / "run.log");
    EXPECT_EQ(run.exit_code, 0) << run.out;
    EXPECT_EQ(run.out, "2 polygons, area 200.0\n");
}

// The package is made from the same install rules under /usr: it holds every installed
// file, names the libraries the programs need, and runs from an unpacked root.
TEST_F(StagedInstall, TheDebianPackageHoldsEveryInstalledFileAndNamesItsDependencies) {
    const ShellResult pack = Shell("cd " + Quote(folder.Path()) + " && " + Quote(std::string(CPACK_PROGRAM)) +
                                       " -G DEB --config " +
                                       Quote(fs::path(GRIDORA_BINARY_DIR) / "CPackConfig.cmake") + " -B " +
                                       Quote(folder / "package"),
                                   folder / "cpack.log");
    ASSERT_EQ(pack.exit_code, 0) << pack.out;
    const fs::path deb = folder / "package" / ("gridora_" GRIDORA_VERSION "_amd64.deb");
    ASSERT_TRUE(fs::is_regular_file(deb)) << pack.out;

    const ShellResult contents = Shell("dpkg-deb --contents " + Quote(deb), folder / "contents.log");
    ASSERT_EQ(contents.exit_code, 0) << contents.out;
    std::set<std::string> packaged;
    std::istringstream lines(contents.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == 'd') continue;  // folders
        const std::size_t path = line.find("./usr/");
        ASSERT_NE(path, std::string::npos) << line;
        packaged.insert(line.substr(path + 6, line.find(" -> ") - path - 6));
    }
    EXPECT_EQ(packaged, FilesBelow(Installed()));

    const ShellResult fields =
        Shell("dpkg-deb --field " + Quote(deb) + " Package Version Architecture Depends", folder / "fields.log");
    ASSERT_EQ(fields.exit_code, 0) << fields.out;
    EXPECT_NE(fields.out.find("Package: gridora\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("Version: " GRIDORA_VERSION "\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("Architecture: amd64\n"), std::string::npos) << fields.out;
    std::vector<std::string> needed = {"libshp", "liblhasa", "libproj", "libgdal", "libstdc++6", "fontconfig"};
    if (GRIDORA_WINDOW_BUILT) needed.push_back("libqt6widgets6");
    for (const std::string& package : needed) EXPECT_NE(fields.out.find(package), std::string::npos) << package;

    const fs::path root = folder / "root";
    ASSERT_EQ(Shell("dpkg-deb -x " + Quote(deb) + " " + Quote(root), folder / "extract.log").exit_code, 0);
    const ShellResult version = Shell(Isolated(Quote(root / "usr/bin/gridora-cli") + " --version"), folder / "v.log");
    EXPECT_EQ(version.exit_code, 0) << version.out;
    EXPECT_EQ(version.out, "gridora-cli " GRIDORA_VERSION "\n");
    EXPECT_EQ(ReadBytes(root / "usr/lib/pkgconfig/ringweld.pc").rfind("prefix=/usr\n", 0), 0u);
}

}  // namespace
}  // namespace gridora

// The web pages of a run as a person sees them: gridora-cli converts the sample with its
// default settings, scripts/serve.sh serves the output folder with Apache (mapserv as a
// CGI, PHP MapScript), and headless Chromium, driven by browser_driver.js, opens the web
// map, clicks a building and opens the PHP pages. The screenshots stay in
// build/screenshots/ (web_map.png, web_map_click.png, php_ms8.png, php_template_ms8.png).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "convert/layer_catalogue.h"
#include "mapserver/map_file_text.h"
#include "platform/cp932.h"
#include "png_image_helpers.h"
#include "scratch_folder.h"
#include "sample_feature_helpers.h"
#include "shell_helpers.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::ReadBytes;
using testing::Rgb;
using testing::RgbImage;
using testing::RunShell;
using testing::ScratchFolder;

const fs::path kSample = fs::path(GRIDORA_SOURCE_DIR) / "data/sample";
const fs::path kScreenshots = fs::path(GRIDORA_BINARY_DIR) / "screenshots";
constexpr int kSampleEpsg = 30169;  // the sample's zone in the Tokyo datum
constexpr const char* kChromium = "/usr/bin/chromium";

// A port on 127.0.0.1 that nothing listens on now.
int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

// scripts/serve.sh for a folder, in a process group of its own that is ended, Apache with
// it, when this object goes, or when the test program dies first.
class ServedFolder {
public:
    ServedFolder(const fs::path& folder, int port, const fs::path& log) : log_(log) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const std::string script = fs::path(GRIDORA_SOURCE_DIR) / "scripts/serve.sh";
            const std::string command = "exec bash " + Quote(script) + " " + Quote(folder) + " " +
                                        std::to_string(port) + " >" + Quote(log) + " 2>&1";
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::setpgid(pid_, pid_);
        for (int i = 0; i < 600 && !ready_; ++i) {
            ready_ = ReadBytes(log).find("web map:") != std::string::npos;
            int status = 0;
            if (!ready_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~ServedFolder() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, &status, WNOHANG);
    }
    ServedFolder(const ServedFolder&) = delete;
    ServedFolder& operator=(const ServedFolder&) = delete;

    bool ready() const { return ready_; }
    std::string Log() const { return ReadBytes(log_); }

private:
    fs::path log_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// The driver's report: records of tab-separated fields, by their first field.
std::multimap<std::string, std::vector<std::string>> ReadReport(const fs::path& file) {
    std::multimap<std::string, std::vector<std::string>> records;
    std::istringstream in(ReadBytes(file));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        const std::string kind = fields.front();
        fields.erase(fields.begin());
        records.emplace(kind, fields);
    }
    return records;
}

Rgb ParseRgb(std::string_view text) {
    int r = 0, g = 0, b = 0;
    std::sscanf(std::string(text).c_str(), "%d %d %d", &r, &g, &b);
    return {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
}

// The colour each layer draws its features in: the fill of a polygon, the colour of a line,
// the symbol of a point.
Rgb FeatureColour(const LayerEntry& entry) {
    if (!entry.styles[3].empty()) return ParseRgb(SplitPointStyle(entry.styles[3]).color);
    return ParseRgb(entry.styles[0].empty() ? entry.styles[1] : entry.styles[0]);
}

bool Near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

TEST(WebPages, TheServedWebMapAndPhpPagesWorkInABrowser) {
    for (const char* program : {"/usr/sbin/apache2", kChromium, "/usr/lib/cgi-bin/mapserv", "/usr/bin/node"})
        if (!fs::exists(program)) GTEST_SKIP() << program << " is missing (scripts/install-deps.sh installs it)";

    ScratchFolder scratch;
    const fs::path out = scratch / "out";
    ASSERT_EQ(RunShell(Quote(GRIDORA_CLI) + " --settings " + Quote(scratch / "gridora.Ini") + " -o " +
                       Quote(out / "sample.lis") + " " + Quote(kSample / "13101.LZH") + " " +
                       Quote(kSample / "13102.LZH") + " >" + Quote(scratch / "cli.log") + " 2>&1"),
              0)
        << ReadBytes(scratch / "cli.log");
    for (const char* file : {"sample_ms8.map", "sample_ms8.conf", "sample.html", "gridora_ms8.php",
                             "leaflet/leaflet.js", "templates/tatemono.html", "ms4w/Apache/htdocs/index_ms8.php"})
        ASSERT_TRUE(fs::is_regular_file(out / file)) << file << " (written by default)";

    const testing::NamedBuilding building = testing::FindNamedBuilding(out / "tatemono_pgn");
    ASSERT_GT(building.depth, 1.0) << "a named building to click on";
    const testing::PlanePoint click = testing::Transform(building.inside, kSampleEpsg, "EPSG:4326");

    const int port = FreeLoopbackPort();
    ASSERT_GT(port, 0);
    ServedFolder server(out, port, scratch / "serve.log");
    ASSERT_TRUE(server.ready()) << server.Log();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    EXPECT_NE(server.Log().find(base + "/sample.html"), std::string::npos) << server.Log();

    const fs::path seen = scratch / "browser";
    char click_arg[128];
    std::snprintf(click_arg, sizeof click_arg, "%.8f,%.8f,19", click.y, click.x);  // latitude first
    const std::string ogcapi = base + "/cgi-bin/mapserv/GRIDORA/ogcapi/collections/tatemono/items?f=json&limit=1";
    const int driver = RunShell(
        "node " + Quote(fs::path(GRIDORA_SOURCE_DIR) / "tests/mapserver/browser_driver.js") + " --chromium " +
        kChromium + " --out " + Quote(seen) + " --map " + Quote(base + "/sample.html") + " --click " + click_arg +
        " --page " + Quote(base + "/gridora_ms8.php") + " --page " +
        Quote(base + "/ms4w/Apache/htdocs/index_ms8.php") + " --fetch " + Quote(ogcapi + "=" + (seen / "items.json").native()) +
        " --fetch " + Quote(base + "/cgi-bin/mapserv/GRIDORA/ogcapi/collections?f=html=" + (seen / "collections.html").native()) +
        " >" + Quote(scratch / "driver.log") + " 2>&1");
    fs::create_directories(kScreenshots);
    for (const auto& [from, to] : {std::pair{"web_map.png", "web_map.png"}, {"web_map_click.png", "web_map_click.png"},
                                   {"page_0.png", "php_ms8.png"}, {"page_1.png", "php_template_ms8.png"}})
        if (fs::exists(seen / from)) fs::copy_file(seen / from, kScreenshots / to, fs::copy_options::overwrite_existing);
    const auto report = ReadReport(seen / "report.txt");
    ASSERT_EQ(driver, 0) << ReadBytes(scratch / "driver.log") << ReadBytes(seen / "report.txt") << server.Log();

    // No script error, no failed request, no console error.
    for (auto [at, end] = report.equal_range("error"); at != end; ++at)
        ADD_FAILURE() << "page error: " << at->second[0] << ": " << at->second[1];

    // Every GetMap and GetLegendGraphic answered with a PNG.
    int getmaps = 0, legends = 0;
    for (auto [at, end] = report.equal_range("image"); at != end; ++at) {
        const std::vector<std::string>& image = at->second;  // status, type, png, url
        const bool getmap = image[3].find("request=GetMap") != std::string::npos;
        const bool legend = image[3].find("REQUEST=GetLegendGraphic") != std::string::npos;
        if (!getmap && !legend) continue;
        getmaps += getmap;
        legends += legend;
        EXPECT_EQ(image[0], "200") << image[3];
        EXPECT_EQ(image[1], "image/png") << image[3];
        EXPECT_EQ(image[2], "1") << image[3];
    }
    EXPECT_GE(getmaps, 2);
    EXPECT_EQ(legends, 11);

    // The layer list names every layer in Japanese, the uppermost first.
    ASSERT_EQ(report.count("layers"), 1u);
    std::string titles;
    for (auto entry = LayerCatalogue.rbegin(); entry != LayerCatalogue.rend(); ++entry)
        titles += (titles.empty() ? "" : "|") + std::string(entry->title);
    EXPECT_EQ(report.find("layers")->second[0], titles);

    // The screenshot shows each layer's colour where map2img draws it for the same view.
    ASSERT_EQ(report.count("view"), 1u);
    const std::vector<std::string>& view = report.find("view")->second;  // 3857 box, size, offset, zoom
    std::string map = ReadBytes(out / "sample_ms8.map");
    const std::string data_crs = "\"init=epsg:" + std::to_string(kSampleEpsg) + "\"";
    map.replace(map.find(data_crs), data_crs.size(), "\"init=epsg:3857\"");  // the map's, not a layer's
    testing::WriteBytes(out / "web_view_ms8.map", map);
    const fs::path reference = kScreenshots / "web_map_map2img.png";
    ASSERT_EQ(RunShell("map2img -conf " + Quote(out / "sample_ms8.conf") + " -m " + Quote(out / "web_view_ms8.map") +
                       " -e " + view[0] + " " + view[1] + " " + view[2] + " " + view[3] + " -s " + view[4] + " " +
                       view[5] + " -o " + Quote(reference) + " >/dev/null 2>&1"),
              0);
    const RgbImage drawn = testing::ReadPng(reference);
    const RgbImage page = testing::ReadPng(kScreenshots / "web_map.png");
    ASSERT_EQ(drawn.width, std::stoi(view[4]));
    const int left = static_cast<int>(std::lround(std::stod(view[6]))), top = static_cast<int>(std::lround(std::stod(view[7])));
    // The map's controls (layer list, zoom, scale bar) cover parts of it.
    auto covered = [&](int x, int y) {
        return (x > drawn.width - 260 && y < 330) || (x < 60 && y < 120) || (y > drawn.height - 40);
    };
    std::set<std::tuple<int, int, int>> compared;
    for (const LayerEntry& entry : LayerCatalogue) {
        const Rgb colour = FeatureColour(entry);
        if (!compared.insert({colour.r, colour.g, colour.b}).second) continue;
        // Fills match nearly exactly; thin lines and symbols are antialiased at other offsets
        // in the tiles, so only their hue must be there.
        const bool fill = entry.kind == LayerKind::Polygon;
        const int tolerance = fill ? 6 : 64;
        int expected = 0, shown = 0;
        for (int y = 0; y < drawn.height; ++y)
            for (int x = 0; x < drawn.width; ++x) {
                if (covered(x, y) || !(drawn.pixels[static_cast<std::size_t>(y * drawn.width + x)] == colour)) continue;
                ++expected;
                // Within a pixel: the view's edges and the tiles' may lie half a pixel apart.
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    for (int dx = -1; dx <= 1 && !found; ++dx) {
                        const int px = x + left + dx, py = y + top + dy;
                        found = px >= 0 && py >= 0 && px < page.width && py < page.height &&
                                Near(page.pixels[static_cast<std::size_t>(py * page.width + px)], colour, tolerance);
                    }
                shown += found;
            }
        if (expected < 30) continue;  // too few to judge (the stations' symbols at this scale)
        EXPECT_GE(shown, expected * 8 / 10) << entry.title << ": " << shown << " of " << expected << " pixels";
    }
    EXPECT_GE(compared.size(), 7u);

    // A click on the building shows its attributes in Japanese.
    ASSERT_EQ(report.count("popup"), 1u);
    const std::string popup = report.find("popup")->second[0];
    EXPECT_NE(popup.find("建物"), std::string::npos) << popup;
    EXPECT_NE(popup.find("名称" + building.name), std::string::npos) << popup;
    EXPECT_NE(popup.find("ID" + building.id), std::string::npos) << popup;

    // The PHP pages: each loads, and its four pictures are PNGs.
    ASSERT_EQ(report.count("page"), 2u);
    for (auto [at, end] = report.equal_range("page"); at != end; ++at) {
        EXPECT_EQ(at->second[0], "200") << at->second[2];
        EXPECT_NE(at->second[3].find("4 images / 4 drawn"), std::string::npos) << at->second[2] << ": " << at->second[3];
    }
    int php_images = 0;
    for (auto [at, end] = report.equal_range("pageimage"); at != end; ++at, ++php_images) {
        EXPECT_EQ(at->second[0], "200") << at->second[3];
        EXPECT_EQ(at->second[2], "1") << at->second[3];
    }
    EXPECT_EQ(php_images, 8);

    // OGC API Features through Apache: GeoJSON, and its HTML pages from Debian's templates.
    for (auto [at, end] = report.equal_range("fetch"); at != end; ++at) EXPECT_EQ(at->second[0], "200") << at->second[2];
    EXPECT_NE(ReadBytes(seen / "items.json").find("\"FeatureCollection\""), std::string::npos);
    EXPECT_NE(ReadBytes(seen / "collections.html").find("建物"), std::string::npos);
}

}  // namespace
}  // namespace gridora

// sheetgen: writes realistic sheets of the 1:2,500 base map for tests, the demo and
// benchmarks. See --help.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bad_sample.h"
#include "sheet_files.h"
#include "sheet_grid.h"
#include "world.h"

namespace {

using namespace sheetgen;

const char kUsage[] =
    "usage: sheetgen -o FOLDER [options] [SHEET...]\n"
    "Writes sheets of the 1:2,500 base map (descriptions and theme folders, CP932, CR LF)\n"
    "into FOLDER/<municipality code>/<SHEET>/.\n"
    "\n"
    "  -o FOLDER            output folder (created)\n"
    "  SHEET...             sheet names such as 09LD171\n"
    "  --grid SHEET:RxC     R rows by C columns of adjacent sheets, SHEET at the north-west\n"
    "  --seed N             seed of the generated town plan (default 2500)\n"
    "  --density NAME       sparse, normal (default) or dense\n"
    "  --city CODE:NAME     a municipality (repeat for more); the sheets are shared out\n"
    "                       among them in north-south stripes, west to east\n"
    "                       (default 13101:千代田区)\n"
    "  --city-csv FILE      also write a city.csv naming the municipalities\n"
    "  --bad                write the faulty sample instead, with a README.md of the\n"
    "                       messages a converter shows for it\n"
    "  -q                   no progress lines\n";

[[noreturn]] void Fail(const std::string& message) {
    std::cerr << "sheetgen: " << message << "\n" << kUsage;
    std::exit(2);
}

struct Options {
    std::filesystem::path out;
    uint64_t seed = 2500;
    std::string density = "normal";
    std::vector<SheetId> sheets;
    std::vector<Municipality> municipalities;
    std::filesystem::path city_csv;
    bool bad = false;
    bool quiet = false;
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int k = 1; k < argc; ++k) {
        std::string a = argv[k];
        auto value = [&]() -> std::string {
            if (k + 1 >= argc) Fail("missing value after " + a);
            return argv[++k];
        };
        if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "-o") {
            o.out = value();
        } else if (a == "--seed") {
            o.seed = std::strtoull(value().c_str(), nullptr, 10);
        } else if (a == "--density") {
            o.density = value();
            if (!FindDensity(o.density)) Fail("unknown density " + o.density);
        } else if (a == "--grid") {
            std::string v = value();
            int rows = 0, columns = 0;
            auto colon = v.find(':');
            if (colon == std::string::npos || std::sscanf(v.c_str() + colon + 1, "%dx%d", &rows, &columns) != 2 ||
                rows < 1 || columns < 1)
                Fail("--grid wants SHEET:RxC, got " + v);
            auto origin = ParseSheetName(v.substr(0, colon));
            if (!origin) Fail("not a sheet name: " + v.substr(0, colon));
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < columns; ++c) {
                    SheetId id{origin->system, origin->row + r, origin->column + c};
                    if (id.row >= kGridRows || id.column >= kGridColumns) Fail("--grid leaves the sheet grid");
                    o.sheets.push_back(id);
                }
        } else if (a == "--city") {
            std::string v = value();
            auto colon = v.find(':');
            if (colon != 5) Fail("--city wants CODE:NAME with a five-digit code, got " + v);
            o.municipalities.push_back({v.substr(0, colon), v.substr(colon + 1)});
        } else if (a == "--city-csv") {
            o.city_csv = value();
        } else if (a == "--bad") {
            o.bad = true;
        } else if (a == "-q") {
            o.quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            Fail("unknown option " + a);
        } else {
            auto id = ParseSheetName(a);
            if (!id) Fail("not a sheet name: " + a);
            o.sheets.push_back(*id);
        }
    }
    if (o.out.empty()) Fail("no output folder (-o)");
    if (o.sheets.empty()) Fail("no sheets");
    if (o.municipalities.empty()) o.municipalities.push_back({"13101", "千代田区"});
    for (const SheetId& s : o.sheets)
        if (s.system != o.sheets.front().system) Fail("all sheets must lie in one coordinate system");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options o = Parse(argc, argv);

    // Municipalities take the sheet columns in equal stripes from the west.
    int first_column = o.sheets.front().column, last_column = first_column;
    for (const SheetId& s : o.sheets) {
        first_column = std::min(first_column, s.column);
        last_column = std::max(last_column, s.column);
    }
    const int columns = last_column - first_column + 1;
    const int count = static_cast<int>(o.municipalities.size());
    auto stripe = [&](int column) { return (column - first_column) * count / columns; };
    WorldSettings settings{o.seed, *FindDensity(o.density), o.municipalities, {}};
    for (int k = 1; k < count; ++k) {
        int c = first_column;
        while (c <= last_column && stripe(c) < k) ++c;
        settings.municipality_bounds.push_back(SheetId{o.sheets.front().system, 0, c}.Frame().e0);
    }
    World world(settings, o.sheets.front().system);

    try {
        std::filesystem::create_directories(o.out);
        if (!o.city_csv.empty()) {
            TextLines csv;
            for (const Municipality& m : o.municipalities) csv.push_back(m.name + "," + m.code);
            if (o.city_csv.has_parent_path()) std::filesystem::create_directories(o.city_csv.parent_path());
            std::ofstream file(o.city_csv, std::ios::binary | std::ios::trunc);
            file << EncodeLines(csv);
        }
        int warnings = 0;
        std::vector<BadSheet> bad_sheets;
        for (std::size_t k = 0; k < o.sheets.size(); ++k) {
            const SheetId& id = o.sheets[k];
            SheetMeta meta;
            meta.municipality = stripe(id.column);
            // Municipalities were surveyed in successive years; every other one writes
            // the datum flag with empty corner fields in line 7.
            meta.made = std::to_string(1997 + meta.municipality) + "年3月";
            meta.datum_field = meta.municipality % 2 == 1;
            SheetFiles files = ComposeSheet(world, id, meta);
            warnings += files.topology_warnings;
            const Municipality& m = o.municipalities[static_cast<std::size_t>(meta.municipality)];
            std::filesystem::path folder = o.out / m.code / files.sheet_name;
            if (o.bad) bad_sheets.push_back(SpoilSheet(std::move(files), static_cast<int>(k), m.code));
            else WriteSheet(files, folder);
            if (!o.quiet) std::cerr << "[" << k + 1 << "/" << o.sheets.size() << "] " << folder.string() << "\n";
        }
        if (o.bad) WriteBadSample(bad_sheets, o.out);
        if (warnings) {
            std::cerr << "sheetgen: " << warnings << " topology warnings\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "sheetgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

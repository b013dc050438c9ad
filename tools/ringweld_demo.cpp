// ringweld-demo: splits the segments of a small text file into minilines and prints them.
//
//   ringweld-demo [--dupcut] FILE
//
// Each line of FILE holds one segment, "x1 y1 x2 y2", optionally followed by key, ent and
// lin (default: key = the segment's number, ent = lin = 0). Blank lines and lines starting
// with '#' are skipped.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "ringweld.h"

namespace {

int usage() {
    std::cerr << "usage: ringweld-demo [--dupcut] FILE\n";
    return 2;
}

// Reads the segments into the engine; returns the number read, or -1 on a malformed line.
int put_segments(std::istream& in, const char* name) {
    std::string text;
    int number = 0;
    int line_no = 0;
    while (std::getline(in, text)) {
        ++line_no;
        if (text.empty() || text[0] == '#' || text.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::istringstream fields(text);
        long x1, y1, x2, y2;
        if (!(fields >> x1 >> y1 >> x2 >> y2)) {
            std::cerr << name << ":" << line_no << ": expected x1 y1 x2 y2\n";
            return -1;
        }
        ++number;
        long key = number, ent = 0, lin = 0;
        fields >> key >> ent >> lin;
        rw_put_line(static_cast<int32_t>(ent), static_cast<int32_t>(lin), static_cast<int32_t>(x1),
                    static_cast<int32_t>(y1), static_cast<int32_t>(x2), static_cast<int32_t>(y2),
                    static_cast<int32_t>(key));
    }
    return number;
}

}  // namespace

int main(int argc, char** argv) {
    bool dupcut = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dupcut") == 0) dupcut = true;
        else if (!path) path = argv[i];
        else return usage();
    }
    if (!path) return usage();
    std::ifstream in(path);
    if (!in) {
        std::cerr << "cannot open " << path << "\n";
        return 1;
    }

    rw_start(1000, 1000, 1000, 2000);
    const int segments = put_segments(in, path);
    if (segments < 0) {
        rw_end();
        return 1;
    }
    int32_t count = 0;
    if (dupcut) rw_create_miniline_dupcut(&count);
    else rw_create_miniline(&count);

    std::printf("%d segments split into %d minilines%s\n", segments, static_cast<int>(count),
                dupcut ? " (duplicates cancelled)" : "");
    std::printf("    no   ent       key   lin         x1         y1         x2         y2\n");
    int32_t ent, lin, x1, y1, x2, y2, key;
    int no = 0;
    for (int32_t r = rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key); r == 0;
         r = rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key)) {
        std::printf("%6d%6d%10d%6d%11d%11d%11d%11d\n", no++, static_cast<int>(ent), static_cast<int>(key),
                    static_cast<int>(lin), static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2),
                    static_cast<int>(y2));
    }
    rw_end();
    return 0;
}

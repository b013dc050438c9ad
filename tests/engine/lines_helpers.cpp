#include "lines_helpers.h"

#include <string>

#include "ringweld.h"

namespace ringweld {

LineRecord make_record(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t key, int16_t ent, int16_t lin) {
    LineRecord r;
    r.x1 = x1;
    r.y1 = y1;
    r.x2 = x2;
    r.y2 = y2;
    r.key = key;
    r.ent = ent;
    r.lin = lin;
    return r;
}

bool operator==(const LineRecord& a, const LineRecord& b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 && a.key == b.key && a.ent == b.ent &&
           a.lin == b.lin;
}

std::ostream& operator<<(std::ostream& os, const LineRecord& r) {
    return os << "(" << r.x1 << "," << r.y1 << ")-(" << r.x2 << "," << r.y2 << ") key " << r.key << " ent "
              << r.ent << " lin " << r.lin;
}

void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << "," << p.y << ")"; }

}  // namespace ringweld

namespace lines_test {

using ringweld::LineRecord;
using ringweld::TableVector;

void start_session() { rw_start(1000, 1000, 1000, 2000); }

void put_lines(const TableVector<LineRecord>& lines) {
    for (const LineRecord& r : lines) rw_put_line(r.ent, r.lin, r.x1, r.y1, r.x2, r.y2, r.key);
}

TableVector<LineRecord> read_minilines() {
    TableVector<LineRecord> out;
    int32_t ent, lin, x1, y1, x2, y2, key;
    for (int32_t r = rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key); r == 0;
         r = rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key)) {
        out.push_back(ringweld::make_record(x1, y1, x2, y2, key, static_cast<int16_t>(ent),
                                            static_cast<int16_t>(lin)));
    }
    return out;
}

std::vector<std::string> geometries(const TableVector<LineRecord>& lines) {
    std::vector<std::string> out;
    for (const LineRecord& r : lines) {
        out.push_back("(" + std::to_string(r.x1) + "," + std::to_string(r.y1) + ")-(" + std::to_string(r.x2) +
                      "," + std::to_string(r.y2) + ")");
    }
    return out;
}

}  // namespace lines_test

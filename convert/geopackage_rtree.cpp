#include "convert/geopackage_rtree.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace gridora {
namespace {

// SQLite's rtree module: cells of a 64-bit id and two floats per dimension, and at most 51
// cells a node whatever the page size.
constexpr std::size_t kCellBytes = 8 + 4 * 4;
constexpr std::size_t kMaxCells = 51;

// ---- reading a geometry blob ----------------------------------------------------------------

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes, std::size_t at = 0) : bytes_(bytes), at_(at) {}
    bool little_endian = true;
    bool Fits(std::size_t n) const { return at_ <= bytes_.size() && bytes_.size() - at_ >= n; }
    std::size_t Remaining() const { return at_ <= bytes_.size() ? bytes_.size() - at_ : 0; }
    uint8_t Byte() { return Fits(1) ? bytes_[at_++] : 0; }
    uint32_t Word() {
        uint8_t b[4] = {};
        Take(b, 4);
        return little_endian ? b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24
                             : b[3] | b[2] << 8 | b[1] << 16 | uint32_t{b[0]} << 24;
    }
    double Real() {
        uint8_t b[8] = {};
        Take(b, 8);
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= uint64_t{b[little_endian ? i : 7 - i]} << (8 * i);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    void Skip(std::size_t n) { at_ += n; }

private:
    void Take(uint8_t* out, std::size_t n) {
        if (!Fits(n)) {
            at_ = bytes_.size() + 1;  // past the end: every later Fits fails
            return;
        }
        std::memcpy(out, bytes_.data() + at_, n);
        at_ += n;
    }
    std::span<const uint8_t> bytes_;
    std::size_t at_;
};

struct Envelope {
    double min_x = INFINITY, max_x = -INFINITY, min_y = INFINITY, max_y = -INFINITY;
    void Add(double x, double y) {
        if (std::isnan(x) || std::isnan(y)) return;  // an empty point
        min_x = std::min(min_x, x);
        max_x = std::max(max_x, x);
        min_y = std::min(min_y, y);
        max_y = std::max(max_y, y);
    }
    bool Empty() const { return min_x > max_x; }
};

// The points of `count` vertices of `dimensions` ordinates each.
bool AddPoints(ByteReader& wkb, uint32_t count, int dimensions, Envelope& envelope) {
    const std::size_t bytes = std::size_t{8} * static_cast<std::size_t>(dimensions);
    if (wkb.Remaining() / bytes < count) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const double x = wkb.Real();
        const double y = wkb.Real();
        wkb.Skip(bytes - 16);
        envelope.Add(x, y);
    }
    return true;
}

// ISO WKB, 2D, Z, M or ZM (types n, 1000 + n, 2000 + n, 3000 + n).
bool AddWkb(ByteReader& wkb, Envelope& envelope, int nesting) {
    if (nesting > 32 || !wkb.Fits(5)) return false;
    wkb.little_endian = wkb.Byte() == 1;
    const uint32_t type = wkb.Word();
    const uint32_t base = type % 1000;
    const uint32_t kind = type / 1000;
    if (kind > 3) return false;
    const int dimensions = 2 + (kind == 1 || kind == 2 ? 1 : 0) + (kind == 3 ? 2 : 0);
    switch (base) {
    case 1: return AddPoints(wkb, 1, dimensions, envelope);
    case 2: return wkb.Fits(4) && AddPoints(wkb, wkb.Word(), dimensions, envelope);
    case 3: {
        if (!wkb.Fits(4)) return false;
        const uint32_t rings = wkb.Word();
        for (uint32_t r = 0; r < rings; ++r)
            if (!wkb.Fits(4) || !AddPoints(wkb, wkb.Word(), dimensions, envelope)) return false;
        return true;
    }
    case 4:
    case 5:
    case 6:
    case 7: {
        if (!wkb.Fits(4)) return false;
        const uint32_t parts = wkb.Word();
        for (uint32_t p = 0; p < parts; ++p)
            if (!AddWkb(wkb, envelope, nesting + 1)) return false;
        return true;
    }
    default: return false;
    }
}

// ---- packing ------------------------------------------------------------------------------

double CentreX(const RtreeBox& b) { return double{b.min_x} + double{b.max_x}; }
double CentreY(const RtreeBox& b) { return double{b.min_y} + double{b.max_y}; }

// Orders `items` into nodes of `capacity`: ceil(sqrt(nodes)) vertical slices by the x of
// their centres, each slice by y, cut into runs of `capacity`. Returns the runs' ends.
std::vector<std::size_t> TileIntoNodes(std::vector<RtreeBox>& items, std::size_t capacity) {
    const std::size_t n = items.size();
    const std::size_t nodes = (n + capacity - 1) / capacity;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(nodes))));
    const std::size_t slice_size = slices * capacity;
    std::stable_sort(items.begin(), items.end(), [](const RtreeBox& a, const RtreeBox& b) { return CentreX(a) < CentreX(b); });
    std::vector<std::size_t> ends;
    for (std::size_t start = 0; start < n; start += slice_size) {
        const std::size_t end = std::min(n, start + slice_size);
        std::stable_sort(items.begin() + static_cast<std::ptrdiff_t>(start), items.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const RtreeBox& a, const RtreeBox& b) { return CentreY(a) < CentreY(b); });
        for (std::size_t k = start; k < end; k += capacity) ends.push_back(std::min(end, k + capacity));
    }
    return ends;
}

RtreeBox BoxAround(std::span<const RtreeBox> cells, int64_t id) {
    RtreeBox box{id, cells[0].min_x, cells[0].max_x, cells[0].min_y, cells[0].max_y};
    for (const RtreeBox& c : cells) {
        box.min_x = std::min(box.min_x, c.min_x);
        box.max_x = std::max(box.max_x, c.max_x);
        box.min_y = std::min(box.min_y, c.min_y);
        box.max_y = std::max(box.max_y, c.max_y);
    }
    return box;
}

// ---- SQLite ---------------------------------------------------------------------------------

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// What failed, thrown inside BuildSpatialIndexes and returned as its text.
struct SqliteFailure {
    std::string reason;
};

class Connection {
public:
    explicit Connection(const std::filesystem::path& path) {
        sqlite3* db = nullptr;
        const int status = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        db_.reset(db);
        if (status != SQLITE_OK) Fail();
    }
    [[noreturn]] void Fail() const { throw SqliteFailure{db_ ? sqlite3_errmsg(db_.get()) : "out of memory"}; }
    void Execute(const std::string& sql) {
        if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
    }
    Statement Prepare(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) Fail();
        return Statement(statement);
    }
    // Steps a statement that returns no row, and resets it.
    void Run(sqlite3_stmt* statement) {
        if (sqlite3_step(statement) != SQLITE_DONE) Fail();
        sqlite3_reset(statement);
    }
    int64_t Integer(const std::string& sql) {
        Statement statement = Prepare(sql);
        if (sqlite3_step(statement.get()) != SQLITE_ROW) Fail();
        return sqlite3_column_int64(statement.get(), 0);
    }
    bool TableExists(const std::string& name) {
        Statement statement = Prepare("SELECT 1 FROM sqlite_master WHERE name = ?");
        sqlite3_bind_text(statement.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
        return sqlite3_step(statement.get()) == SQLITE_ROW;
    }

private:
    std::unique_ptr<sqlite3, DatabaseCloser> db_;
};

std::vector<RtreeBox> ReadBoxes(Connection& db, const SpatialIndexTable& table) {
    std::vector<RtreeBox> boxes;
    Statement rows =
        db.Prepare("SELECT " + SqlIdentifier(table.id_column) + ", " + SqlIdentifier(table.geometry_column) + " FROM " + SqlIdentifier(table.table));
    int status;
    while ((status = sqlite3_step(rows.get())) == SQLITE_ROW) {
        const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(rows.get(), 1));
        const int size = sqlite3_column_bytes(rows.get(), 1);
        if (!blob) continue;
        const std::optional<std::array<double, 4>> envelope =
            GeoPackageEnvelope(std::span<const uint8_t>(blob, static_cast<std::size_t>(size)));
        if (!envelope) continue;
        const auto [min_x, max_x, min_y, max_y] = *envelope;
        boxes.push_back(RtreeBox{sqlite3_column_int64(rows.get(), 0), RtreeLowerBound(min_x), RtreeUpperBound(max_x),
                                 RtreeLowerBound(min_y), RtreeUpperBound(max_y)});
    }
    if (status != SQLITE_DONE) db.Fail();
    return boxes;
}

// The triggers that keep the index in step with its table, worded as GDAL words them.
std::vector<std::string> IndexTriggers(const SpatialIndexTable& t, const std::string& rtree) {
    const std::string table = SqlIdentifier(t.table), geom = SqlIdentifier(t.geometry_column), id = SqlIdentifier(t.id_column);
    const std::string index = SqlIdentifier(rtree);
    const std::string insert = "INSERT OR REPLACE INTO " + index + " VALUES (NEW." + id + ",ST_MinX(NEW." + geom +
                               "), ST_MaxX(NEW." + geom + "),ST_MinY(NEW." + geom + "), ST_MaxY(NEW." + geom + ")); ";
    const std::string delete_old = "DELETE FROM " + index + " WHERE id = OLD." + id + "; ";
    auto trigger = [&](const std::string& suffix) { return "CREATE TRIGGER " + SqlIdentifier(rtree + "_" + suffix) + " "; };
    return {
        trigger("insert") + "AFTER INSERT ON " + table + " WHEN (new." + geom + " NOT NULL AND NOT ST_IsEmpty(NEW." +
            geom + ")) BEGIN " + insert + "END",
        trigger("update1") + "AFTER UPDATE OF " + geom + " ON " + table + " WHEN OLD." + id + " = NEW." + id +
            " AND (NEW." + geom + " NOTNULL AND NOT ST_IsEmpty(NEW." + geom + ")) BEGIN " + insert + "END",
        trigger("update2") + "AFTER UPDATE OF " + geom + " ON " + table + " WHEN OLD." + id + " = NEW." + id +
            " AND (NEW." + geom + " ISNULL OR ST_IsEmpty(NEW." + geom + ")) BEGIN " + delete_old + "END",
        trigger("update3") + "AFTER UPDATE ON " + table + " WHEN OLD." + id + " != NEW." + id + " AND (NEW." + geom +
            " NOTNULL AND NOT ST_IsEmpty(NEW." + geom + ")) BEGIN " + delete_old + insert + "END",
        trigger("update4") + "AFTER UPDATE ON " + table + " WHEN OLD." + id + " != NEW." + id + " AND (NEW." + geom +
            " ISNULL OR ST_IsEmpty(NEW." + geom + ")) BEGIN DELETE FROM " + index + " WHERE id IN (OLD." + id +
            ", NEW." + id + "); END",
        trigger("delete") + "AFTER DELETE ON " + table + " WHEN old." + geom + " NOT NULL BEGIN " + delete_old + "END",
    };
}

void BuildIndex(Connection& db, const SpatialIndexTable& table, std::size_t node_size) {
    const std::string rtree = "rtree_" + table.table + "_" + table.geometry_column;
    if (db.TableExists(rtree)) return;
    const PackedRtree tree = PackRtree(ReadBoxes(db, table), (node_size - 4) / kCellBytes);
    db.Execute("CREATE VIRTUAL TABLE " + SqlIdentifier(rtree) + " USING rtree(id, minx, maxx, miny, maxy)");
    if (tree.nodes.size() > 2 || !tree.nodes[1].empty()) {
        db.Execute("DELETE FROM " + SqlIdentifier(rtree + "_node"));
        Statement node = db.Prepare("INSERT INTO " + SqlIdentifier(rtree + "_node") + "(nodeno, data) VALUES (?, ?)");
        Statement parent = db.Prepare("INSERT INTO " + SqlIdentifier(rtree + "_parent") + "(nodeno, parentnode) VALUES (?, ?)");
        Statement rowid = db.Prepare("INSERT INTO " + SqlIdentifier(rtree + "_rowid") + "(rowid, nodeno) VALUES (?, ?)");
        for (std::size_t number = 1; number < tree.nodes.size(); ++number) {
            const auto& cells = tree.nodes[number];
            const std::vector<uint8_t> blob = RtreeNodeBlob(cells, number == 1 ? tree.depth : 0, node_size);
            sqlite3_bind_int64(node.get(), 1, static_cast<int64_t>(number));
            sqlite3_bind_blob(node.get(), 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
            db.Run(node.get());
            if (number > 1) {
                sqlite3_bind_int64(parent.get(), 1, static_cast<int64_t>(number));
                sqlite3_bind_int64(parent.get(), 2, tree.parents[number]);
                db.Run(parent.get());
            }
            if (static_cast<int64_t>(number) < tree.first_leaf) continue;
            for (const RtreeBox& cell : cells) {
                sqlite3_bind_int64(rowid.get(), 1, cell.id);
                sqlite3_bind_int64(rowid.get(), 2, static_cast<int64_t>(number));
                db.Run(rowid.get());
            }
        }
    }
    for (const std::string& trigger : IndexTriggers(table, rtree)) db.Execute(trigger);
    Statement extension = db.Prepare(
        "INSERT INTO gpkg_extensions (table_name, column_name, extension_name, definition, scope) VALUES "
        "(?, ?, 'gpkg_rtree_index', 'http://www.geopackage.org/spec120/#extension_rtree', 'write-only')");
    sqlite3_bind_text(extension.get(), 1, table.table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(extension.get(), 2, table.geometry_column.c_str(), -1, SQLITE_TRANSIENT);
    db.Run(extension.get());
}

}  // namespace

std::string SqlIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::optional<std::array<double, 4>> GeoPackageEnvelope(std::span<const uint8_t> blob) {
    if (blob.size() < 8 || blob[0] != 'G' || blob[1] != 'P') return std::nullopt;
    const uint8_t flags = blob[3];
    if (flags & 0x10) return std::nullopt;  // an empty geometry
    static constexpr std::size_t kEnvelopeBytes[] = {0, 32, 48, 48, 64};
    const int contents = (flags >> 1) & 7;
    if (contents > 4) return std::nullopt;
    ByteReader header(blob, 8);
    header.little_endian = (flags & 1) != 0;
    if (contents > 0) {
        if (!header.Fits(kEnvelopeBytes[contents])) return std::nullopt;
        std::array<double, 4> box{header.Real(), header.Real(), header.Real(), header.Real()};
        if (std::any_of(box.begin(), box.end(), [](double v) { return std::isnan(v); })) return std::nullopt;
        return box;
    }
    ByteReader wkb(blob, 8);
    Envelope envelope;
    if (!AddWkb(wkb, envelope, 0) || envelope.Empty()) return std::nullopt;
    return std::array<double, 4>{envelope.min_x, envelope.max_x, envelope.min_y, envelope.max_y};
}

// SQLite's own rounding (rtreeValueDown / rtreeValueUp): a float that passes the value is
// pulled back by one part in 2^23, so that the stored box always holds the feature's.
float RtreeLowerBound(double value) {
    float f = static_cast<float>(value);
    if (f > value) f = static_cast<float>(value * (value < 0 ? 1.0 + 1.0 / 8388608.0 : 1.0 - 1.0 / 8388608.0));
    return f;
}

float RtreeUpperBound(double value) {
    float f = static_cast<float>(value);
    if (f < value) f = static_cast<float>(value * (value < 0 ? 1.0 - 1.0 / 8388608.0 : 1.0 + 1.0 / 8388608.0));
    return f;
}

PackedRtree PackRtree(std::vector<RtreeBox> boxes, std::size_t node_capacity) {
    node_capacity = std::clamp<std::size_t>(node_capacity, 2, kMaxCells);
    PackedRtree tree;
    tree.nodes.resize(2);
    tree.parents.assign(2, 0);
    tree.first_leaf = 1;
    if (boxes.empty()) return tree;

    // Levels from the leaves up: each node's cells; above the leaves a cell's id is the
    // index of its child in the level below until the nodes are numbered.
    std::vector<std::vector<std::vector<RtreeBox>>> levels;
    std::vector<RtreeBox> items = std::move(boxes);
    for (;;) {
        const std::vector<std::size_t> ends = TileIntoNodes(items, node_capacity);
        std::vector<std::vector<RtreeBox>> nodes;
        nodes.reserve(ends.size());
        std::size_t start = 0;
        for (std::size_t end : ends) {
            nodes.emplace_back(items.begin() + static_cast<std::ptrdiff_t>(start), items.begin() + static_cast<std::ptrdiff_t>(end));
            start = end;
        }
        std::vector<RtreeBox>().swap(items);
        if (nodes.size() > 1)
            for (std::size_t i = 0; i < nodes.size(); ++i) items.push_back(BoxAround(nodes[i], static_cast<int64_t>(i)));
        levels.push_back(std::move(nodes));
        if (items.empty()) break;
    }

    // Numbered from the root down, so that the root is node 1 and the leaves come last.
    std::vector<std::vector<int64_t>> numbers(levels.size());
    int64_t next = 1;
    for (std::size_t level = levels.size(); level-- > 0;)
        for (std::size_t i = 0; i < levels[level].size(); ++i) numbers[level].push_back(next++);
    tree.depth = static_cast<int>(levels.size()) - 1;
    tree.first_leaf = numbers[0].front();
    tree.nodes.assign(static_cast<std::size_t>(next), {});
    tree.parents.assign(static_cast<std::size_t>(next), 0);
    for (std::size_t level = 0; level < levels.size(); ++level) {
        for (std::size_t i = 0; i < levels[level].size(); ++i) {
            const int64_t number = numbers[level][i];
            std::vector<RtreeBox>& cells = levels[level][i];
            if (level > 0) {
                for (RtreeBox& cell : cells) {
                    cell.id = numbers[level - 1][static_cast<std::size_t>(cell.id)];
                    tree.parents[static_cast<std::size_t>(cell.id)] = number;
                }
            }
            tree.nodes[static_cast<std::size_t>(number)] = std::move(cells);
        }
    }
    return tree;
}

std::vector<uint8_t> RtreeNodeBlob(std::span<const RtreeBox> cells, int depth, std::size_t node_size) {
    std::vector<uint8_t> blob;
    blob.reserve(std::max(node_size, 4 + cells.size() * kCellBytes));
    const auto put = [&blob](uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) blob.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put(static_cast<uint64_t>(depth), 2);
    put(cells.size(), 2);
    for (const RtreeBox& cell : cells) {
        put(static_cast<uint64_t>(cell.id), 8);
        for (float value : {cell.min_x, cell.max_x, cell.min_y, cell.max_y}) {
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            put(bits, 4);
        }
    }
    blob.resize(std::max(node_size, blob.size()), 0);
    return blob;
}

std::string BuildSpatialIndexes(const std::filesystem::path& geopackage, std::span<const SpatialIndexTable> tables) {
    try {
        Connection db(geopackage);
        // The run syncs the file itself when it makes the output durable.
        db.Execute("PRAGMA synchronous = OFF");
        // Closing the connection without COMMIT rolls everything back.
        db.Execute("BEGIN IMMEDIATE");
        {
            const int64_t page_size = db.Integer("PRAGMA page_size");
            // The node size the rtree module gives a new table in this file.
            const std::size_t node_size = std::min<std::size_t>(static_cast<std::size_t>(page_size) - 64, 4 + kCellBytes * kMaxCells);
            db.Execute(
                "CREATE TABLE IF NOT EXISTS gpkg_extensions (table_name TEXT,column_name TEXT,extension_name TEXT NOT "
                "NULL,definition TEXT NOT NULL,scope TEXT NOT NULL,CONSTRAINT ge_tce UNIQUE (table_name, column_name, "
                "extension_name))");
            for (const SpatialIndexTable& table : tables) BuildIndex(db, table, node_size);
            db.Execute("COMMIT");
        }
    } catch (const SqliteFailure& failure) {
        return failure.reason.empty() ? "SQLite failed" : failure.reason;
    }
    return {};
}

}  // namespace gridora

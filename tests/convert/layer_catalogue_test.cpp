#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "convert/attribute_table.h"
#include "convert/layer_catalogue.h"
#include "platform/cp932.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

// A created table closed and opened again, as a later reader sees it.
class Table {
public:
    explicit Table(const std::filesystem::path& base) : base_(base) {}
    ~Table() { Close(); }

    DBFHandle Create() { return handle_ = CreateAttributeTable(base_); }
    DBFHandle Reopen() {
        Close();
        return handle_ = DBFOpen((base_.string() + ".dbf").c_str(), "rb");
    }
    void Close() {
        if (handle_) DBFClose(handle_);
        handle_ = nullptr;
    }
    DBFHandle handle() const { return handle_; }

private:
    std::filesystem::path base_;
    DBFHandle handle_ = nullptr;
};

struct Field {
    std::string name;
    DBFFieldType type;
    int width;
    int decimals;
};

Field FieldAt(DBFHandle h, int i) {
    char name[12] = {};
    int width = 0, decimals = 0;
    DBFFieldType type = DBFGetFieldInfo(h, i, name, &width, &decimals);
    return {name, type, width, decimals};
}

TEST(LayerCatalogue, HoldsElevenEntriesInCatalogueOrder) {
    ASSERT_EQ(LayerCatalogue.size(), 11u);
    EXPECT_EQ(LayerCatalogue[0].layer_file, "SI_TYO");
    EXPECT_EQ(LayerCatalogue[6].kind, LayerKind::Road);
    EXPECT_EQ(LayerCatalogue[6].arc_file, "ROADNTWK");
    EXPECT_EQ(LayerCatalogue[6].node_file, "ROADNTWK");
    EXPECT_EQ(LayerCatalogue[7].field_count, 4);  // the catalogue's own count for rail
    EXPECT_EQ(LayerCatalogue[8].styles[3], "0 128 0,4,4");
    EXPECT_EQ(LayerCatalogue[kFrameLayer].short_name, "zuyo");
    EXPECT_EQ(LayerCatalogue[kFrameLayer].kind, LayerKind::Frame);
    for (const LayerEntry& e : LayerCatalogue)
        for (std::string_view s : {e.folder, e.layer_file, e.arc_file, e.tie_file, e.node_file})
            EXPECT_LE(s.size(), 20u);
}

TEST(LayerCatalogue, TitlesAreCp932) {
    EXPECT_EQ(LayerTitle(0), "\x8E\x73\x81\x45\x92\xAC");  // 市・町
    EXPECT_EQ(LayerTitle(10), ToCp932("図葉"));
    EXPECT_EQ(LayerTitle(11), "");
}

TEST(DefineLayerFields, FrameTableHasItsOwnThirteenFields) {
    ScratchFolder dir;
    Table t(dir / "zuyo");
    ASSERT_NE(t.Create(), nullptr);
    EXPECT_EQ(DefineLayerFields("ZUYO", t.handle()), 13);
    DBFHandle h = t.Reopen();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(DBFGetFieldCount(h), 13);
    Field city = FieldAt(h, 0);
    EXPECT_EQ(city.name, "city");
    EXPECT_EQ(city.type, FTString);
    EXPECT_EQ(city.decimals, 0);
    EXPECT_EQ(city.width, 5);
    EXPECT_EQ(FieldAt(h, 8).name, "name7");
    EXPECT_EQ(FieldAt(h, 8).width, 60);
    EXPECT_EQ(FieldAt(h, 12).name, "name11");
}

TEST(DefineLayerFields, RoadTableHasCommonFieldsThenItsOwnWithWideNumbers) {
    ScratchFolder dir;
    Table t(dir / "road");
    ASSERT_NE(t.Create(), nullptr);
    EXPECT_EQ(DefineLayerFields("ROAD", t.handle()), 11);
    DBFHandle h = t.Reopen();
    const char* names[] = {"id", "zumei", "cd", "ltag", "name", "name1", "name2", "name3", "name4", "nods", "node"};
    ASSERT_EQ(DBFGetFieldCount(h), 11);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(FieldAt(h, i).name, names[i]);
    // Numeric with no decimals; shapelib reports fields this wide as FTDouble.
    for (int i : {0, 3, 9, 10}) {
        EXPECT_EQ(DBFGetNativeFieldType(h, i), 'N') << i;
        EXPECT_EQ(FieldAt(h, i).width, 11) << i;
        EXPECT_EQ(FieldAt(h, i).decimals, 0) << i;
    }
    EXPECT_EQ(FieldAt(h, 1).width, 7);
    EXPECT_EQ(FieldAt(h, 2).width, 8);
    EXPECT_EQ(DBFGetNativeFieldType(h, 2), 'C');
}

TEST(DefineLayerFields, LayerNamesMatchAfterUpperCasingAndUnknownOnesGetCommonFields) {
    ScratchFolder dir;
    Table lower(dir / "a");
    ASSERT_NE(lower.Create(), nullptr);
    EXPECT_EQ(DefineLayerFields("si_tyo", lower.handle()), 5);
    EXPECT_EQ(FieldAt(lower.handle(), 4).name, "cityname");
    EXPECT_EQ(FieldAt(lower.handle(), 4).width, 60);
    Table unknown(dir / "b");
    ASSERT_NE(unknown.Create(), nullptr);
    EXPECT_EQ(DefineLayerFields("KOUKYOU", unknown.handle()), 3);
}

TEST(DefineLayerFields, FieldCountsOfEverySchema) {
    const std::pair<const char*, std::size_t> counts[] = {
        {"ZUYO", 13}, {"TATEMONO", 15}, {"SI_TYO", 5}, {"TYOME", 6}, {"GAIKU", 12}, {"ROAD", 11},
        {"NOD", 6},   {"TETUDOU", 5},   {"ZYOUTI", 4}, {"EKI", 4},   {"MIZU", 4},   {"SANKAKU", 14},
        {"ARC", 8},
    };
    for (auto [name, n] : counts) EXPECT_EQ(LayerFields(name).size(), n) << name;
}

TEST(AttributeTables, AreMarkedAsShiftJis) {
    ScratchFolder dir;
    Table t(dir / "eki");
    ASSERT_NE(t.Create(), nullptr);
    DefineLayerFields("EKI", t.handle());
    t.Close();
    std::string bytes = ReadBytes(dir / "eki.dbf");
    ASSERT_GT(bytes.size(), 29u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x13);  // language driver 19
}

TEST(AttributeTables, EveryThirtyTwoBitIdentifierSurvives) {
    ScratchFolder dir;
    Table t(dir / "arc");
    ASSERT_NE(t.Create(), nullptr);
    DefineLayerFields("ARC", t.handle());
    const int values[] = {INT32_MIN, -1000, 10000, 123456789, INT32_MAX};
    for (int r = 0; r < 5; ++r) ASSERT_TRUE(DBFWriteIntegerAttribute(t.handle(), r, 0, values[r]));
    DBFHandle h = t.Reopen();
    for (int r = 0; r < 5; ++r) EXPECT_EQ(DBFReadIntegerAttribute(h, r, 0), values[r]);
}

// The integer writer must leave the very bytes shapelib's own writer leaves, in every
// width, for values that fit and values that overflow (cut to the left-most characters
// and reported), in whole-number fields and in those with decimals, which it hands back
// to shapelib.
TEST(AttributeTables, IntegersAreWrittenAsShapelibWritesThem) {
    ScratchFolder dir;
    Table ours(dir / "ours"), theirs(dir / "theirs");
    ASSERT_NE(ours.Create(), nullptr);
    ASSERT_NE(theirs.Create(), nullptr);
    const int widths[] = {1, 2, 3, 5, 9, 10, 11, 12, 20};
    for (DBFHandle h : {ours.handle(), theirs.handle()}) {
        for (int w : widths) ASSERT_GE(DBFAddField(h, ("N" + std::to_string(w)).c_str(), FTInteger, w, 0), 0);
        ASSERT_GE(DBFAddField(h, "DEC", FTDouble, 8, 2), 0);
    }
    const int values[] = {0, 7, -7, 42, -42, 999, 1000, -1000, 123456789, -123456789, INT32_MAX, INT32_MIN};
    const int fields = DBFGetFieldCount(ours.handle());
    int record = 0;
    for (int v : values) {
        for (int f = 0; f < fields; ++f) {
            const bool shapelib = DBFWriteIntegerAttribute(theirs.handle(), record, f, v) != 0;
            EXPECT_EQ(WriteAttributeInteger(ours.handle(), record, f, v), shapelib) << v << " in field " << f;
        }
        ++record;
    }
    ours.Close();
    theirs.Close();
    EXPECT_EQ(ReadBytes(dir / "ours.dbf"), ReadBytes(dir / "theirs.dbf"));

    EXPECT_EQ(IntegerFieldText(42, 5), "   42");
    EXPECT_EQ(IntegerFieldText(-123456, 4), "-123");
    EXPECT_EQ(IntegerFieldText(12, 0), "");
}

TEST(AttributeTables, LongTextsAreCutOnACharacterBoundary) {
    ScratchFolder dir;
    Table t(dir / "nod");
    ASSERT_NE(t.Create(), nullptr);
    DefineLayerFields("NOD", t.handle());
    // A tens digit of 3 and a corner: 38 bytes for the 36-byte ptagname field.
    const std::string caption = ToCp932("座標系境界での非接続（端点）図郭右上角");
    ASSERT_GT(caption.size(), 36u);
    const std::string odd = "x" + caption;  // a cut at 36 would split a character
    ASSERT_TRUE(WriteAttributeText(t.handle(), 0, 4, caption));
    ASSERT_TRUE(WriteAttributeText(t.handle(), 1, 4, odd));
    ASSERT_TRUE(WriteAttributeText(t.handle(), 2, 1, "09LD171"));
    DBFHandle h = t.Reopen();
    EXPECT_EQ(std::string(DBFReadStringAttribute(h, 0, 4)), caption.substr(0, 36));
    EXPECT_EQ(std::string(DBFReadStringAttribute(h, 1, 4)), odd.substr(0, 35));
    EXPECT_EQ(std::string(DBFReadStringAttribute(h, 2, 1)), "09LD171");
}

TEST(FieldTables, RowsFollowTheCatalogueAndCaptionsAreCp932) {
    const FieldTable& names = FieldNameTable();
    const FieldTable& captions = FieldCaptionTable();
    EXPECT_EQ(names[0][4], "cityname");
    EXPECT_EQ(names[5][14], "tname6");
    EXPECT_EQ(names[6][10], "node");
    EXPECT_EQ(names[6][11], "");
    EXPECT_EQ(names[10][0], "city");
    EXPECT_EQ(captions[6][3], "\x90\xFC\x8E\xED\x83\x5E\x83\x4F\x20");  // "線種タグ " with its blank
    EXPECT_EQ(captions[9][3], "\x82\x52\x8E\x9F");                      // ３次
    EXPECT_EQ(captions[0][0], "ID");
    EXPECT_EQ(captions[5][3], ToCp932("公共建物C"));
    EXPECT_EQ(captions[5][4], ToCp932("名称"));
    EXPECT_EQ(captions[10][6], ToCp932("隣接図名"));
}

}  // namespace
}  // namespace gridora

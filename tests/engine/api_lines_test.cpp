// The line and miniline exports, driven as a caller drives them.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "lines_helpers.h"
#include "ringweld.h"
#include "session.h"

namespace {

using lines_test::geometries;
using lines_test::put_lines;
using lines_test::read_minilines;
using ringweld::LineRecord;
using ringweld::TableVector;
using ringweld::make_record;
using Strings = std::vector<std::string>;

class LineApi : public ::testing::Test {
protected:
    void SetUp() override { lines_test::start_session(); }
    void TearDown() override { rw_end(); }

    static int32_t create(TableVector<LineRecord> lines) {
        put_lines(lines);
        int32_t count = -1;
        EXPECT_EQ(rw_create_miniline(&count), 0);
        return count;
    }
    static int32_t create_dupcut(TableVector<LineRecord> lines) {
        put_lines(lines);
        int32_t count = -1;
        EXPECT_EQ(rw_create_miniline_dupcut(&count), 0);
        return count;
    }
    static int32_t table_size() {
        int32_t minilines = -1, endpoints = -1;
        EXPECT_EQ(rw_getnum_miniline(&minilines, &endpoints), 0);
        EXPECT_EQ(endpoints, 0);
        return minilines;
    }
};

// ---- intake

TEST_F(LineApi, LinesAreStoredLowerEndFirstAndZeroLengthLinesAreIgnored) {
    put_lines({make_record(7, 9, 3, 2), make_record(8, 4, 2, 4), make_record(5, 5, 5, 5)});
    EXPECT_EQ(table_size(), 2);
    EXPECT_EQ(geometries(read_minilines()), (Strings{"(3,2)-(7,9)", "(2,4)-(8,4)"}));
}

TEST_F(LineApi, EntAndLinTravelAs16BitValuesAndComeBackSignExtended) {
    rw_put_line(-5, 40000, 0, 0, 1, 0, -77);
    int32_t ent = 0, lin = 0, x1, y1, x2, y2, key = 0;
    ASSERT_EQ(rw_getxy_miniline(0, &ent, &lin, &x1, &y1, &x2, &y2, &key), 0);
    EXPECT_EQ(ent, -5);
    EXPECT_EQ(lin, -25536);
    EXPECT_EQ(key, -77);
}

TEST_F(LineApi, StagedLinesCancelInPairsOnTransfer) {
    rw_put_line_ext(1, 1, 0, 0, 10, 0, 1);
    rw_put_line_ext(2, 2, 10, 0, 0, 0, 2);  // the same edge entered from the other side
    rw_put_line_ext(3, 3, 0, 0, 0, 10, 3);
    rw_put_line_ext(4, 4, 0, 5, 9, 5, 4);
    rw_put_line_ext(5, 5, 0, 5, 9, 5, 5);
    rw_put_line_ext(6, 6, 0, 5, 9, 5, 6);  // a third copy survives
    rw_put_line(7, 7, 50, 50, 60, 60, 7);
    int32_t count = -1;
    ASSERT_EQ(rw_put_line_ext_cpy(&count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(geometries(read_minilines()), (Strings{"(50,50)-(60,60)", "(0,0)-(0,10)", "(0,5)-(9,5)"}));
    // The staging table is empty afterwards.
    ASSERT_EQ(rw_put_line_ext_cpy(&count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(table_size(), 3);
}

TEST_F(LineApi, InitLineDiscardsLinesAndStagedLines) {
    rw_put_line(0, 0, 0, 0, 1, 1, 0);
    rw_put_line_ext(0, 0, 0, 0, 2, 2, 0);
    ASSERT_EQ(rw_init_line(), 0);
    EXPECT_EQ(table_size(), 0);
    int32_t count = -1;
    rw_put_line_ext_cpy(&count);
    EXPECT_EQ(count, 0);
    rw_put_line(0, 0, 0, 0, 3, 3, 0);
    EXPECT_EQ(table_size(), 1);
}

// ---- miniline creation

TEST_F(LineApi, CrossingLinesBecomeFourMinilinesMeetingAtTheRoundedCrossing) {
    EXPECT_EQ(create({make_record(0, 0, 7, 7, 1), make_record(0, 7, 7, 0, 2)}), 4);
    EXPECT_EQ(geometries(read_minilines()),
              (Strings{"(0,0)-(3,3)", "(3,3)-(7,7)", "(3,3)-(0,7)", "(7,0)-(3,3)"}));
}

TEST_F(LineApi, ATJunctionSplitsOnlyTheLineItTouches) {
    EXPECT_EQ(create({make_record(0, 0, 10, 0, 1), make_record(4, 0, 4, 8, 2)}), 3);
    EXPECT_EQ(geometries(read_minilines()), (Strings{"(0,0)-(4,0)", "(4,0)-(10,0)", "(4,0)-(4,8)"}));
}

TEST_F(LineApi, CollinearOverlapsBecomeThreePiecesWithTheMiddleOncePerParent) {
    struct Case {
        LineRecord a, b;
        Strings want;
    };
    const std::vector<Case> cases = {
        {make_record(0, 0, 6, 0, 1, 1, 1), make_record(4, 0, 9, 0, 2, 2, 2),
         {"(0,0)-(4,0)", "(4,0)-(6,0)", "(4,0)-(6,0)", "(6,0)-(9,0)"}},
        {make_record(0, 0, 0, 6, 1, 1, 1), make_record(0, 4, 0, 9, 2, 2, 2),
         {"(0,0)-(0,4)", "(0,4)-(0,6)", "(0,4)-(0,6)", "(0,6)-(0,9)"}},
        {make_record(0, 0, 4, 2, 1, 1, 1), make_record(2, 1, 6, 3, 2, 2, 2),
         {"(0,0)-(2,1)", "(2,1)-(4,2)", "(2,1)-(4,2)", "(4,2)-(6,3)"}},
    };
    for (const Case& c : cases) {
        lines_test::start_session();
        EXPECT_EQ(create({c.a, c.b}), 4);
        const TableVector<LineRecord> minis = read_minilines();
        EXPECT_EQ(geometries(minis), c.want);
        // The shared middle piece keeps each parent's tags.
        ASSERT_EQ(minis.size(), 4u);
        EXPECT_EQ(minis[1].key, 1);
        EXPECT_EQ(minis[2].key, 2);
        EXPECT_EQ(minis[2].ent, 2);
        EXPECT_EQ(minis[2].lin, 2);
    }
}

TEST_F(LineApi, PlainCreationKeepsTheCopyWithTheGreaterLin) {
    EXPECT_EQ(create({make_record(0, 0, 5, 5, 1, 0, 4), make_record(5, 5, 0, 0, 2, 0, 9),
                      make_record(0, 0, 5, 5, 3, 0, 2)}),
              1);
    const TableVector<LineRecord> minis = read_minilines();
    ASSERT_EQ(minis.size(), 1u);
    EXPECT_EQ(minis[0].key, 2);
    EXPECT_EQ(minis[0].lin, 9);
}

TEST_F(LineApi, DupcutRemovesPairsAndKeepsOneOfThreeUnlessTheySortLast) {
    const LineRecord edge = make_record(0, 0, 5, 0);
    const LineRecord above = make_record(0, 9, 5, 9);
    EXPECT_EQ(create_dupcut({edge, edge, above}), 1);
    EXPECT_EQ(geometries(read_minilines()), (Strings{"(0,9)-(5,9)"}));

    lines_test::start_session();
    EXPECT_EQ(create_dupcut({edge, edge, edge, above}), 2);
    EXPECT_EQ(geometries(read_minilines()), (Strings{"(0,0)-(5,0)", "(0,9)-(5,9)"}));

    lines_test::start_session();
    EXPECT_EQ(create_dupcut({above, above, above, edge}), 1);
    EXPECT_EQ(geometries(read_minilines()), (Strings{"(0,0)-(5,0)"}));
}

TEST_F(LineApi, CreationOnAnEmptyTableReportsNoMinilines) {
    EXPECT_EQ(create({}), 0);
    EXPECT_EQ(create_dupcut({}), 0);
}

TEST_F(LineApi, LinesPutAfterCreationJoinTheMinilines) {
    EXPECT_EQ(create({make_record(0, 0, 10, 0)}), 1);
    rw_put_line(0, 0, 5, -5, 5, 5, 0);
    EXPECT_EQ(table_size(), 2);
    int32_t count = -1;
    rw_create_miniline(&count);
    EXPECT_EQ(count, 4);
}

// ---- reading back

TEST_F(LineApi, GetxyRejectsIndicesOutsideTheTableAndWritesNothing) {
    put_lines({make_record(0, 0, 1, 1), make_record(0, 0, 2, 2)});
    for (int32_t index : {-1, 2, 1000}) {
        int32_t ent = 42, lin = 42, x1 = 42, y1 = 42, x2 = 42, y2 = 42, key = 42;
        EXPECT_EQ(rw_getxy_miniline(index, &ent, &lin, &x1, &y1, &x2, &y2, &key), 14) << index;
        EXPECT_EQ(ent + lin + x1 + y1 + x2 + y2 + key, 7 * 42);
    }
}

TEST_F(LineApi, IteratorEndsWithMinusOneAndLeavesTheOutputsAlone) {
    int32_t ent = 42, lin = 42, x1 = 42, y1 = 42, x2 = 42, y2 = 42, key = 42;
    EXPECT_EQ(rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key), -1);
    EXPECT_EQ(x1, 42);

    put_lines({make_record(0, 0, 1, 1, 1), make_record(0, 0, 2, 2, 2)});
    EXPECT_EQ(rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key), 0);
    EXPECT_EQ(key, 1);
    EXPECT_EQ(rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key), 0);
    EXPECT_EQ(key, 2);
    EXPECT_EQ(rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key), -1);
    EXPECT_EQ(rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key), -1);
    EXPECT_EQ(key, 2);
    // first starts over.
    EXPECT_EQ(rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key), 0);
    EXPECT_EQ(key, 1);
}

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(LineApi, PrintedListingMatchesTheExpectedFileByteForByte) {
    rw_put_line(1, 2, 10, 0, 0, 0, 100);
    rw_put_line(-3, 7, 5, 5, 5, -5, 123456789);
    rw_put_line(40000, 1, -1073741823, 7, 1073741823, 7, -1234567890);
    int32_t count = -1;
    rw_create_miniline(&count);
    const std::filesystem::path out = std::filesystem::path(GRIDORA_BINARY_DIR) / "prt_miniline_test.txt";
    ASSERT_EQ(rw_prt_miniline(out.c_str()), 0);
    EXPECT_EQ(read_file(out),
              read_file(std::filesystem::path(GRIDORA_SOURCE_DIR) / "tests/engine/data/prt_miniline_expected.txt"));
    std::filesystem::remove(out);
}

TEST_F(LineApi, PrintingBeforeCreationListsTheLinesAsEntered) {
    rw_put_line(0, 0, 3, 4, 1, 2, 9);
    const std::filesystem::path out = std::filesystem::path(GRIDORA_BINARY_DIR) / "prt_miniline_raw.txt";
    ASSERT_EQ(rw_prt_miniline(out.c_str()), 0);
    const std::string text = read_file(out);
    EXPECT_EQ(text.substr(text.find("\r\n") + 2),
              "     0     0         9     0          1          2          3          4\r\n");
    std::filesystem::remove(out);
}

TEST_F(LineApi, PrintingToAnUncreatableFileFailsAndKeepsTheTable) {
    rw_put_line(0, 0, 0, 0, 1, 1, 0);
    EXPECT_EQ(rw_prt_miniline("/nonexistent-folder/minilines.txt"), -1);
    EXPECT_EQ(rw_prt_miniline(GRIDORA_BINARY_DIR), -1);  // a folder
    EXPECT_EQ(table_size(), 1);
}

// ---- the session around the line stage

TEST(LineSession, SizesOfOneStillHoldEveryLine) {
    TableVector<LineRecord> grid;
    for (int32_t i = 0; i < 20; ++i) {
        grid.push_back(make_record(i * 10, 0, i * 10, 200, i));
        grid.push_back(make_record(0, i * 10, 200, i * 10, 100 + i));
    }
    rw_start(1000, 1000, 1000, 2000);
    put_lines(grid);
    int32_t expected = -1;
    rw_create_miniline(&expected);
    const TableVector<LineRecord> roomy = read_minilines();

    rw_start(1, 1, 1, 1);
    put_lines(grid);
    for (const LineRecord& r : grid) rw_put_line_ext(r.ent, r.lin, r.x1, r.y1, r.x2, r.y2, r.key);
    int32_t staged = -1;
    rw_put_line_ext_cpy(&staged);
    EXPECT_EQ(staged, 40);
    int32_t count = -1;
    rw_create_miniline(&count);
    EXPECT_EQ(count, expected);
    EXPECT_EQ(read_minilines(), roomy);  // the duplicates keep the greater lin: all 0, same keys
    rw_end();
}

TEST(LineSession, StartingAgainDiscardsTheOpenSessionsLines) {
    rw_start(1000, 1000, 1000, 2000);
    rw_put_line(0, 0, 0, 0, 1, 1, 0);
    rw_put_line_ext(0, 0, 0, 0, 2, 2, 0);
    rw_start(1000, 1000, 1000, 2000);
    int32_t minilines = -1, endpoints = -1;
    rw_getnum_miniline(&minilines, &endpoints);
    EXPECT_EQ(minilines, 0);
    int32_t staged = -1;
    rw_put_line_ext_cpy(&staged);
    EXPECT_EQ(staged, 0);
    rw_end();
}

TEST(LineSession, DirectionFlagSetBeforeStartOutlivesSessions) {
    ASSERT_EQ(rw_set_rdir(5), 0);
    rw_start(1000, 1000, 1000, 2000);
    EXPECT_EQ(ringweld::library().direction, 0);
    rw_end();
    EXPECT_EQ(ringweld::library().direction, 0);
    rw_set_rdir(0);
    EXPECT_EQ(ringweld::library().direction, 1);
}

TEST(LineSession, TheSharedLibraryExportsOnlyEngineFunctions) {
    const std::string lib = std::string(GRIDORA_BINARY_DIR) + "/bin/libringweld.so";
    ASSERT_TRUE(std::filesystem::exists(lib)) << lib;
    const std::string command = "nm -D --defined-only '" + lib + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    char buffer[512];
    int exported = 0;
    while (std::fgets(buffer, sizeof buffer, pipe.get())) {
        std::string line(buffer);
        const std::string name = line.substr(line.find_last_of(' ') + 1, line.find_last_not_of("\r\n") - line.find_last_of(' '));
        const bool engine_name = name.rfind("rw_", 0) == 0 || name.rfind("ex_", 0) == 0;
        EXPECT_TRUE(engine_name) << "exported: " << name;
        ++exported;
    }
    EXPECT_GE(exported, 15);
    EXPECT_EQ(pclose(pipe.release()), 0);
}

}  // namespace

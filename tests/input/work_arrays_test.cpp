#include <gtest/gtest.h>

#include <climits>

#include "input/work_arrays.h"

namespace gridora {
namespace {

TEST(WorkArrays, StartAtTheirInitialCapacities) {
    WorkArrays a;
    EXPECT_EQ(a.arc_records.Capacity(), 4000);
    EXPECT_EQ(a.arc_points.Capacity(), 10000);
    EXPECT_EQ(a.pgn_records.Capacity(), 2000);
    EXPECT_EQ(a.pgn_arc_refs.Capacity(), 1000);
    EXPECT_EQ(a.pnt_records.Capacity(), 4000);
    EXPECT_EQ(a.tie_records.Capacity(), 4000);
    EXPECT_EQ(a.arc_records.Count(), 0);
}

TEST(WorkArray, CapacityGrowsByItsStepAndNeverShrinks) {
    WorkArrays a;
    for (int i = 0; i < 1002; ++i) a.pgn_arc_refs.Append(i);
    EXPECT_EQ(a.pgn_arc_refs.Capacity(), 1002);  // step 1
    for (int i = 0; i < 4001; ++i) a.tie_records.Append(TieRecord{i, 0, 0});
    EXPECT_EQ(a.tie_records.Capacity(), 5000);   // step 1000
    a.tie_records.Clear();
    EXPECT_EQ(a.tie_records.Count(), 0);
    EXPECT_EQ(a.tie_records.Capacity(), 5000);
}

TEST(WorkArray, AppendReturnsTheOneBasedIndexRecordsStore) {
    ArcPoints points(2, 1);
    EXPECT_EQ(points.Append({1.0, 2.0}), 1);
    EXPECT_EQ(points.Append({3.0, 4.0}), 2);
    EXPECT_EQ(points.At(2).x, 3.0);
    EXPECT_EQ(points.Records()[0].y, 2.0);
}

TEST(ShortCode, KeepsTheFirstFiveBytes) {
    EXPECT_EQ(ShortCode("L110123").View(), "L1101");
    EXPECT_EQ(ShortCode("A1").View(), "A1");
    EXPECT_EQ(ShortCode("").View(), "");
}

TEST(Find, DuplicatedIdsResolveToTheFirstRecord) {
    WorkArrays a;
    ArcRecord arc;
    arc.arc_id = 7;
    arc.line_tag = 1;
    a.arc_records.Append(arc);
    arc.line_tag = 2;
    a.arc_records.Append(arc);
    int32_t position = -1;
    ArcRecord* found = FindArc(a, 7, &position);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->line_tag, 1);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(FindArc(a, 8, &position), nullptr);
    EXPECT_EQ(position, 0);
}

TEST(Find, FollowsTheArrayAfterItIsRefilled) {
    WorkArrays a;
    a.pnt_records.Append(PntRecord{ShortCode("P1"), 5, 1.0, 1.0});
    ASSERT_NE(FindPnt(a, 5), nullptr);
    a.pnt_records.Clear();
    EXPECT_EQ(FindPnt(a, 5), nullptr);
    a.pnt_records.Append(PntRecord{ShortCode("P2"), 6, 2.0, 2.0});
    a.pnt_records.Append(PntRecord{ShortCode("P3"), 5, 3.0, 3.0});
    ASSERT_NE(FindPnt(a, 5), nullptr);
    EXPECT_EQ(FindPnt(a, 5)->x, 3.0);
}

TEST(Find, RecordsFoundCanBeUpdatedInPlace) {
    WorkArrays a;
    PgnRecord p;
    p.polygon_id = 3;
    a.pgn_records.Append(p);
    a.tie_records.Append(TieRecord{4, 10, 11});
    FindPgn(a, 3)->total_point_count = 9;
    EXPECT_EQ(a.pgn_records.At(1).total_point_count, 9);
    int32_t position = 0;
    EXPECT_EQ(FindTie(a, 4, &position)->end_node, 11);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(FindPgn(a, -3), nullptr);
}

TEST(AbsoluteId, KeepsTheOneValueWithoutAPositiveCounterpart) {
    EXPECT_EQ(AbsoluteId(-17), 17);
    EXPECT_EQ(AbsoluteId(17), 17);
    EXPECT_EQ(AbsoluteId(0), 0);
    EXPECT_EQ(AbsoluteId(INT32_MIN), INT32_MIN);
}

}  // namespace
}  // namespace gridora

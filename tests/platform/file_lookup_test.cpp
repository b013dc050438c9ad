#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ScratchFolder;

TEST(FileLookup, ExactNameIsFoundAsGiven) {
    ScratchFolder dir;
    auto path = dir.Write("GYOUSEI/SI_TYO.ATR", "x");
    EXPECT_EQ(LocateDataFile(path), path);
}

TEST(FileLookup, EveryComponentMayDifferInCase) {
    ScratchFolder dir;
    auto real = dir.Write("gyousei/Si_Tyo.atr", "x");
    EXPECT_EQ(LocateDataFile(dir / "GYOUSEI/SI_TYO.ATR"), real);
}

TEST(FileLookup, ExactMatchWinsOverACaseVariant) {
    ScratchFolder dir;
    dir.Write("MIZU/mizu.arc", "lower");
    auto exact = dir.Write("MIZU/MIZU.ARC", "upper");
    EXPECT_EQ(LocateDataFile(dir / "MIZU/MIZU.ARC"), exact);
    // Among variants only, the first in name order is taken.
    EXPECT_EQ(LocateDataFile(dir / "mizu/Mizu.Arc"), dir / "MIZU/MIZU.ARC");
}

TEST(FileLookup, MissingFileIsNothing) {
    ScratchFolder dir;
    dir.Write("A/b.txt", "x");
    EXPECT_FALSE(LocateDataFile(dir / "A/c.txt"));
    EXPECT_FALSE(LocateDataFile(dir / "B/b.txt"));
    EXPECT_FALSE(LocateDataFile(""));
}

TEST(FileLookup, PathsConvertBetweenUtf8AndCp932) {
    EXPECT_EQ(PathToCp932("/データ/a.TXT"), ToCp932("/データ/a.TXT"));
    EXPECT_EQ(PathFromCp932(ToCp932("/データ/a.TXT")), std::filesystem::path("/データ/a.TXT"));
}

}  // namespace
}  // namespace gridora

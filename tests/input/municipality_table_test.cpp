#include <gtest/gtest.h>

#include "input/municipality_table.h"
#include "platform/cp932.h"
#include "platform/message_port.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ScratchFolder;
using testing::WriteBytes;

TEST(MunicipalityTable, FindsTheNameOfTheFirstLineWithExactlyThisCode) {
    MunicipalityTable table({ToCp932("千代田区,13101,extra,fields"), "Minato,13103", "Again,13101"});
    EXPECT_EQ(table.LookupMunicipality("13101"), ToCp932("千代田区"));
    EXPECT_EQ(table.LookupMunicipality("13103"), "Minato");
}

TEST(MunicipalityTable, ACodeWrittenDifferentlyIsNotFound) {
    MunicipalityTable table({"Zero,013101", "Blank, 13102", "Short,1310"});
    EXPECT_FALSE(table.LookupMunicipality("13101"));
    EXPECT_FALSE(table.LookupMunicipality("13102"));
    EXPECT_FALSE(table.LookupMunicipality("131"));
    EXPECT_FALSE(MunicipalityTable().LookupMunicipality(""));
}

TEST(MunicipalityTable, LoadsCrLfLinesAsTheyStand) {
    ScratchFolder folder;
    WriteBytes(folder / "city.csv", ToCp932("千代田区,13101\r\n中央区,13102\r\n"));
    RecordingPort port;
    MunicipalityTable table = LoadMunicipalityTable(folder / "city.csv", port);
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.LookupMunicipality("13102"), ToCp932("中央区"));
}

TEST(MunicipalityTable, AMissingFileAsksForTheDownloadOnceAndGivesAnEmptyTable) {
    ScratchFolder folder;
    RecordingPort port;
    MunicipalityTable table = LoadMunicipalityTable(folder / "city.csv", port);
    EXPECT_TRUE(table.empty());
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0], ToCp932("国土地理院のホームページからcity.csvをダウンロードしてください"));
}

}  // namespace
}  // namespace gridora

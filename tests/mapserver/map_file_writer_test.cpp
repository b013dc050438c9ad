// The map-file writer with real files: the support files, the map file, the PHP page and
// the template archive unpacked by the archive library beside the test program.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "golden_files.h"
#include "input/archive_binding.h"
#include "mapserver/map_file_writer.h"
#include "platform/cp932.h"
#include "platform/program_files.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::ExpectGolden;
using testing::ReadBytes;
using testing::ScratchFolder;

const std::string kFontMessage = ToCp932("漢字フォントの自動複写に失敗しました。msgothic.ttcを複写してください");

// Every text of a file with the scratch folder's path replaced by "", so that the output
// folder reads as "/Out/".
std::string WithoutFolder(std::string text, const fs::path& folder) {
    const std::string prefix = ToCp932(folder.native());
    for (std::size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
    return text;
}

class MapFileWriter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.loaded()) << "libunlha32.so beside the test program";
        program = dir / "program";
        fs::create_directories(program);
        fs::copy_file(fs::path(GRIDORA_SOURCE_DIR) / "data" / kTemplateArchiveName, program / kTemplateArchiveName);
        dir.Write("program/symbols.sym", "SYMBOLSET\r\nEND\r\n");
        font = dir.Write("fonts/msgothic.ttc", std::string(3000, 'f'));

        request.list_file = dir / "Out/Run1.lis";
        fs::create_directories(dir / "Out");
        request.program_folder = program;
        request.settings.map_name = ToCp932("東京都千代田区");
        request.settings.image_type_index = 3;
        request.settings.kanji_font = ToCp932(font.native());
        request.results.coordinate_system = RunCoordinateSystem{9, 0};
        request.results.extent = RunExtent{-8000.0, -36000.0, -7000.0, -35500.0};
        for (LayerFiles& files : request.results.files_made) files.polygon_made = true;
    }

    MapFilesWritten Write() { return WriteMapServerFiles(request, library.entry_points(), port); }

    ScratchFolder dir;
    RecordingPort port;
    ArchiveLibraryUse library{&port};
    fs::path program, font;
    MapFilesRequest request;
};

// The list file /Out/Run1.lis: Run1.map with SHAPEPATH /Out/ (case kept), gridora.php
// naming Run1.map, and the template's include file.
TEST_F(MapFileWriter, WholeMapPhpPageAndIncludeFileForAnOutputFolder) {
    const MapFilesWritten written = Write();
    EXPECT_TRUE(written.map_file && written.php_page && written.include_file);
    EXPECT_TRUE(written.font_copied && written.symbols_copied);
    EXPECT_TRUE(port.messages.empty());

    ExpectGolden("Run1.map", WithoutFolder(ReadBytes(dir / "Out/Run1.map"), dir.Path()));
    ExpectGolden("gridora.php", ReadBytes(dir / "Out/gridora.php"));
    ExpectGolden("libgridora.php", ReadBytes(dir / "Out/ms4w/Apache/htdocs/libgridora.php"));
    EXPECT_TRUE(fs::exists(dir / "Out/Run1_ms8.map"));  // unless the settings turn it off
}

TEST_F(MapFileWriter, SupportFilesAreTheFontItsListAndTheSymbols) {
    Write();
    EXPECT_EQ(ReadBytes(dir / "Out/etc/msgothic.ttc"), ReadBytes(font));
    EXPECT_EQ(ReadBytes(dir / "Out/etc/winfonts.txt"), "msgothic                        msgothic.ttc\r\n");
    EXPECT_EQ(ReadBytes(dir / "Out/etc/symbols.sym"), "SYMBOLSET\r\nEND\r\n");
}

TEST_F(MapFileWriter, TheTemplateIsUnpackedWithTheIncludeFileBesideItsIndexPage) {
    Write();
    const fs::path htdocs = dir / "Out/ms4w/Apache/htdocs";
    for (const char* name : {"index.php", "legend.html", "images/keymap.gif", "libgridora.php"})
        EXPECT_TRUE(fs::is_regular_file(htdocs / name)) << name;
    EXPECT_NE(ReadBytes(htdocs / "index.php").find("include(\"libgridora.php\");"), std::string::npos);
    EXPECT_EQ(ReadBytes(htdocs / "images/keymap.gif").substr(0, 6), "GIF89a");
    EXPECT_EQ(ReadBytes(htdocs / "libgridora.php"),
              "<?php\r\n$map_file=\"Run1.map\"; //mapfile" + ToCp932("名") + "\r\n?>\r\n");
}

TEST_F(MapFileWriter, AFailedFontCopyLeavesOutFontsetAndLabelsAndIsReportedAfterThePhpPage) {
    request.settings.kanji_font = ToCp932((dir / "fonts/missing.ttc").native());
    const MapFilesWritten written = Write();
    EXPECT_FALSE(written.font_copied);
    EXPECT_TRUE(written.php_page);
    EXPECT_EQ(port.messages, std::vector<std::string>{kFontMessage});
    const std::string map = ReadBytes(dir / "Out/Run1.map");
    EXPECT_EQ(map.find("FONTSET"), std::string::npos);
    EXPECT_EQ(map.find("\n       LABEL\r\n"), std::string::npos);
    EXPECT_NE(map.find("SYMBOLSET"), std::string::npos);
    // The font list names the font even so; the copy attempt left an empty file.
    EXPECT_EQ(ReadBytes(dir / "Out/etc/winfonts.txt"), "missing                        missing.ttc\r\n");
    EXPECT_TRUE(fs::exists(dir / "Out/etc/missing.ttc"));
}

TEST_F(MapFileWriter, AMissingSymbolFileLeavesOutSymbolsetAndStyles) {
    fs::remove(program / "symbols.sym");
    EXPECT_FALSE(Write().symbols_copied);
    const std::string map = ReadBytes(dir / "Out/Run1.map");
    EXPECT_EQ(map.find("SYMBOLSET"), std::string::npos);
    EXPECT_EQ(map.find("\n       STYLE\r\n"), std::string::npos);
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(MapFileWriter, NoConvertedSheetWritesNothingAndSaysSo) {
    request.results.coordinate_system = RunCoordinateSystem{};
    const MapFilesWritten written = Write();
    EXPECT_FALSE(written.map_file || written.php_page);
    EXPECT_FALSE(fs::exists(dir / "Out/Run1.map"));
    EXPECT_FALSE(fs::exists(dir / "Out/gridora.php"));
    EXPECT_FALSE(fs::exists(dir / "Out/etc"));
    EXPECT_EQ(port.messages, std::vector<std::string>{ToCp932("変換された図葉がないため、Mapファイルを作成しませんでした")});

    port.messages.clear();
    request.results.coordinate_system = RunCoordinateSystem{20, 0};  // accepted by the run, but no zone
    EXPECT_FALSE(Write().map_file);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_NE(port.messages[0].find("20"), std::string::npos);
}

TEST_F(MapFileWriter, AMapFileThatCannotBeCreatedEndsTheWriterWithAMessage) {
    fs::create_directories(dir / "Out/Run1.map");  // a folder where the file should go
    const MapFilesWritten written = Write();
    EXPECT_FALSE(written.map_file || written.php_page || written.include_file);
    EXPECT_FALSE(fs::exists(dir / "Out/gridora.php"));
    EXPECT_FALSE(fs::exists(dir / "Out/ms4w"));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0], ToCp932("Mapファイルを作成できません：" + (dir / "Out/Run1.map").native()));
}

TEST_F(MapFileWriter, WithoutTheTemplateArchiveNoIncludeFileIsWrittenAndNothingIsReported) {
    fs::remove(program / kTemplateArchiveName);
    const MapFilesWritten written = Write();
    EXPECT_TRUE(written.php_page);
    EXPECT_FALSE(written.include_file);
    EXPECT_FALSE(fs::exists(dir / "Out/ms4w"));
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(MapFileWriter, AFolderNameWithAYenTrailByteKeepsItsBytes) {
    // "ソ" is 83 5C in CP932: its second byte is "\", which must not become "/".
    request.list_file = dir / "ソース/run.lis";
    fs::create_directories(dir / "ソース");
    ASSERT_TRUE(Write().map_file);
    const std::string map = ReadBytes(dir / "ソース/run.map");
    EXPECT_NE(map.find("SHAPEPATH \"" + ToCp932((dir / "ソース").native()) + "/\"\r\n"), std::string::npos);
}

TEST_F(MapFileWriter, AnEarlierMapFileIsReplacedWhole) {
    testing::WriteBytes(dir / "Out/Run1.map", std::string(100000, 'x'));
    Write();
    const std::string map = ReadBytes(dir / "Out/Run1.map");
    EXPECT_EQ(map.substr(0, 5), "MAP\r\n");
    EXPECT_EQ(map.find("xxxx"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "Out/Run1.map.partial"));
}

TEST_F(MapFileWriter, TheMapServer8FilesAreWrittenWhenAskedFor) {
    request.settings.mapserver8 = true;
    request.settings.rejected_values = {ToCp932("Map設定「最大スケール」の値「1/25000」は数値ではないため")};
    const MapFilesWritten written = Write();
    EXPECT_TRUE(written.mapserver8_map_file && written.web_map_page && written.mapscript8_page);
    EXPECT_EQ(port.messages, request.settings.rejected_values);  // shown once, before anything else
    // The web map, its Leaflet, the MapScript 8 pages and the feature-info templates.
    for (const char* file : {"Run1.html", "leaflet/leaflet.js", "leaflet/leaflet.css", "gridora_ms8.php",
                             "ms4w/Apache/htdocs/index_ms8.php", "templates/header.html", "templates/footer.html",
                             "templates/tatemono.html", "templates/zuyo.html"})
        EXPECT_TRUE(fs::is_regular_file(dir / "Out" / file)) << file;
    EXPECT_NE(ReadBytes(dir / "Out/gridora_ms8.php").find("$mapfile = \"Run1_ms8.map\";\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(dir / "Out/ms4w/Apache/htdocs/index_ms8.php").find("$mapfile = \"../../../Run1_ms8.map\";"),
              std::string::npos);
    EXPECT_NE(ReadBytes(dir / "Out/Run1.html").find("{name: \"tatemono\", title: \"建物\", rule: \"tatemono\"}"),
              std::string::npos);
    const std::string map = ReadBytes(dir / "Out/Run1_ms8.map");
    EXPECT_NE(map.find("    \"init=epsg:30169\"\r\n"), std::string::npos);  // Tokyo datum, as the .prj files
    EXPECT_NE(map.find("  NAME \"東京都千代田区\"\r\n"), std::string::npos);  // UTF-8
    EXPECT_NE(map.find("    ENCODING \"CP932\"\r\n"), std::string::npos);
    EXPECT_EQ(map.find("MINDISTANCE"), std::string::npos);
    EXPECT_EQ(map.find("TYPE BITMAP"), std::string::npos);
    EXPECT_EQ(map.find("TYPE TRUETYPE"), std::string::npos);
    EXPECT_NE(ReadBytes(dir / "Out/Run1_ms8.conf").find("    GRIDORA \"" + (dir / "Out/Run1_ms8.map").native() + "\""),
              std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir / "Out/ms_tmp"));

    // Turned off: none of them, the literal map file and PHP page as ever.
    ScratchFolder other;
    request.list_file = other / "Run2.lis";
    request.settings.mapserver8 = false;
    const MapFilesWritten off = Write();
    EXPECT_TRUE(off.map_file && off.php_page);
    EXPECT_FALSE(off.mapserver8_map_file || off.web_map_page || off.mapscript8_page);
    for (const char* file : {"Run2_ms8.map", "Run2.html", "gridora_ms8.php", "leaflet", "templates",
                             "ms4w/Apache/htdocs/index_ms8.php"})
        EXPECT_FALSE(fs::exists(other / file)) << file;
}

TEST(CopyFileInBlocks, CopiesEveryBlockAndAMissingSourceLeavesAnEmptyDestination) {
    ScratchFolder dir;
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(i * 7);
    const fs::path source = dir.Write("a.bin", bytes);
    EXPECT_TRUE(CopyFileInBlocks(source, dir / "b.bin"));
    EXPECT_EQ(ReadBytes(dir / "b.bin"), bytes);
    const fs::path exact = dir.Write("c.bin", std::string(2048, 'c'));  // a whole number of blocks
    EXPECT_TRUE(CopyFileInBlocks(exact, dir / "d.bin"));
    EXPECT_EQ(ReadBytes(dir / "d.bin"), std::string(2048, 'c'));

    EXPECT_FALSE(CopyFileInBlocks(dir / "none.bin", dir / "e.bin"));
    EXPECT_TRUE(fs::exists(dir / "e.bin"));
    EXPECT_EQ(fs::file_size(dir / "e.bin"), 0u);
    EXPECT_FALSE(CopyFileInBlocks(source, dir / "no/such/folder/f.bin"));
}

TEST(CopyFileInBlocks, CopyingAFileOntoItselfKeepsIt) {
    ScratchFolder dir;
    const fs::path font = dir.Write("etc/font.ttf", "glyphs");
    EXPECT_TRUE(CopyFileInBlocks(font, dir / "etc/../etc/font.ttf"));
    EXPECT_EQ(ReadBytes(font), "glyphs");
}

}  // namespace
}  // namespace gridora

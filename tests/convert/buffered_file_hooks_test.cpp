// The buffered shapelib file hooks against a plain model of a file, and Shapefiles
// written through them against the same files written with shapelib's own hooks.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "convert/buffered_file_hooks.h"
#include "output_limits.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;
using testing::SmallFileSystem;
using testing::WriteBytes;

TEST(BufferedFileHooks, ReadsAndWritesAnywhereAsAPlainFileWould) {
    ScratchFolder folder;
    const auto path = folder / "file.bin";
    std::string model(3'000'000, '\0');
    for (std::size_t i = 0; i < model.size(); ++i) model[i] = static_cast<char>(i * 7);
    WriteBytes(path, model);

    SAHooks hooks = BufferedFileHooks();
    SAFile file = hooks.FOpen(path.c_str(), "rb+");
    ASSERT_NE(file, nullptr);
    std::mt19937 random(2500);
    uint64_t position;
    for (int step = 0; step < 4000; ++step) {
        // Mostly small requests near the end, some far away, some larger than the window.
        const std::size_t bytes = random() % 50 == 0 ? 1'500'000 : 1 + random() % 700;
        const uint64_t target = random() % 3 == 0 ? random() % model.size() : model.size() - random() % 2000;
        ASSERT_EQ(hooks.FSeek(file, target, SEEK_SET), 0u);
        position = target;
        if (random() % 2 == 0) {
            std::string data(bytes, '\0');
            for (char& c : data) c = static_cast<char>(random());
            ASSERT_EQ(hooks.FWrite(data.data(), 1, bytes, file), bytes);
            if (position + bytes > model.size()) model.resize(position + bytes);
            model.replace(position, bytes, data);
            ASSERT_EQ(hooks.FTell(file), position + bytes);
        } else {
            std::string data(bytes, '\0');
            const std::size_t expected = position >= model.size() ? 0 : std::min<uint64_t>(bytes, model.size() - position);
            ASSERT_EQ(hooks.FRead(data.data(), 1, bytes, file), expected) << "step " << step;
            ASSERT_EQ(data.substr(0, expected), model.substr(position, expected)) << "step " << step;
            ASSERT_EQ(hooks.FTell(file), position + expected);
        }
    }
    ASSERT_EQ(hooks.FSeek(file, 0, SEEK_END), 0u);
    EXPECT_EQ(hooks.FTell(file), model.size());
    EXPECT_EQ(hooks.FClose(file), 0);
    EXPECT_EQ(ReadBytes(path), model);
}

TEST(BufferedFileHooks, AFileOpenedToWriteStartsEmptyAndOneOpenedToReadIsNotWritten) {
    ScratchFolder folder;
    const auto path = folder / "file.bin";
    WriteBytes(path, "old contents");
    SAHooks hooks = BufferedFileHooks();
    SAFile file = hooks.FOpen(path.c_str(), "wb+");
    ASSERT_NE(file, nullptr);
    char text[] = "new";
    EXPECT_EQ(hooks.FWrite(text, 1, 3, file), 3u);
    EXPECT_EQ(hooks.FClose(file), 0);
    EXPECT_EQ(ReadBytes(path), "new");

    file = hooks.FOpen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    char read[8] = {};
    EXPECT_EQ(hooks.FRead(read, 1, 8, file), 3u);
    EXPECT_STREQ(read, "new");
    hooks.FClose(file);
    EXPECT_EQ(hooks.FOpen((folder / "missing").c_str(), "rb"), nullptr);
}

// Creates base, then appends `rounds` times, each time reopening, as sheets of a run do.
void WriteShapefile(const std::filesystem::path& base, SAHooks* hooks, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        SHPHandle shapes = round == 0 ? SHPCreateLL(base.c_str(), SHPT_ARC, hooks) : SHPOpenLL(base.c_str(), "r+b", hooks);
        const std::string dbf = base.string() + ".dbf";
        DBFHandle table = round == 0 ? DBFCreateLL(dbf.c_str(), "LDID/19", hooks) : DBFOpenLL(dbf.c_str(), "r+b", hooks);
        ASSERT_TRUE(shapes && table);
        if (round == 0) {
            DBFAddField(table, "id", FTInteger, 11, 0);
            DBFAddField(table, "name", FTString, 100, 0);
        }
        for (int i = 0; i < 3000; ++i) {
            const double x[] = {double(i), i + 0.5, i + 1.25}, y[] = {double(round), round + 2.0, i * 0.1};
            SHPObject* object = SHPCreateSimpleObject(SHPT_ARC, 3, x, y, nullptr);
            SHPWriteObject(shapes, -1, object);
            SHPDestroyObject(object);
            const int record = DBFGetRecordCount(table);
            DBFWriteIntegerAttribute(table, record, 0, i - 1000);
            DBFWriteStringAttribute(table, record, 1, ("feature " + std::to_string(i)).c_str());
        }
        SHPClose(shapes);
        DBFClose(table);
    }
}

TEST(BufferedFileHooks, ShapefilesAreByteForByteThoseOfShapelibsOwnHooks) {
    ScratchFolder folder;
    SAHooks plain;
    SASetupDefaultHooks(&plain);
    SAHooks buffered = BufferedFileHooks();
    WriteShapefile(folder / "plain", &plain, 3);
    WriteShapefile(folder / "buffered", &buffered, 3);
    for (const char* extension : {".shp", ".shx", ".dbf"}) {
        SCOPED_TRACE(extension);
        const std::string a = ReadBytes(folder / (std::string("plain") + extension));
        EXPECT_GT(a.size(), 1000u);
        EXPECT_TRUE(a == ReadBytes(folder / (std::string("buffered") + extension)));
    }
}

TEST(BufferedFileHooks, RememberTheFirstErrorOfAFileForTheWriterToAsk) {
    ScratchFolder folder;
    SmallFileSystem disk(folder / "disk", 64 << 10);
    if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
    SAHooks hooks = BufferedFileHooks();
    const std::filesystem::path path = disk.Path() / "file.bin";
    SAFile file = hooks.FOpen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::string block(4096, 'x');
    for (int i = 0; i < 64; ++i) ASSERT_EQ(hooks.FWrite(block.data(), 1, block.size(), file), block.size());
    EXPECT_EQ(BufferedFileError(file), 0);  // still in the buffer
    EXPECT_NE(hooks.FFlush(file), 0);
    EXPECT_EQ(BufferedFileError(file), ENOSPC);
    EXPECT_NE(hooks.FClose(file), 0);
    EXPECT_EQ(BufferedFileError(nullptr), 0);
}

}  // namespace
}  // namespace gridora

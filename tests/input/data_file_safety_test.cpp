// Data files that are not what they should be: FIFOs and devices in a file's place, lines
// without end, and control bytes that would cut or split the messages naming them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "deadline.h"
#include "input/conversion_error.h"
#include "input/data_file.h"
#include "input/sheet_header.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::RunWithDeadline;
using testing::ScratchFolder;
using Status = DataFileRead::Status;

// Opens `path` as a sheet's data file in a child process; 0 when it was refused as "not a
// regular file" naming the file, 1 when anything else happened.
int OpenIsRefusedAsNotAFile(const std::filesystem::path& path) {
    try {
        SheetDataFile file;
        file.Open(path);
        return 1;
    } catch (const ConversionError& e) {
        return e.Message() == "error:not a regular file:" + PathToCp932(path) ? 0 : 1;
    }
}

TEST(DataFileKinds, AFifoOrADeviceInAFilesPlaceIsRefusedWithoutBlockingOrReading) {
    ScratchFolder folder;
    const auto fifo = folder / "GAIKU.PGN";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto zero = folder / "MIZU.ATR";
    std::filesystem::create_symlink("/dev/zero", zero);

    // No writer ever opens the FIFO, and /dev/zero never ends: either would hang the child.
    EXPECT_EQ(RunWithDeadline(20, [&] { return ReadDataFile(fifo).status == Status::not_a_file ? 0 : 1; }), 0);
    EXPECT_EQ(RunWithDeadline(20, [&] { return ReadDataFile(zero).status == Status::not_a_file ? 0 : 1; }), 0);
    EXPECT_EQ(RunWithDeadline(20, [&] { return LoadDataFile(fifo) ? 1 : 0; }), 0);
    EXPECT_EQ(RunWithDeadline(20, [&] { return OpenIsRefusedAsNotAFile(fifo); }), 0);
    EXPECT_EQ(RunWithDeadline(20, [&] { return OpenIsRefusedAsNotAFile(zero); }), 0);
    // Found without regard to case, as any data file.
    EXPECT_EQ(RunWithDeadline(20, [&] { return OpenIsRefusedAsNotAFile(folder / "gaiku.pgn") == 0 ? 1 : 0; }), 0);
    EXPECT_EQ(ReadDataFile(folder / "gaiku.pgn").found, fifo);

    // A folder stays what it was: no data file, and no error.
    std::filesystem::create_directories(folder / "DIR.ARC");
    EXPECT_EQ(ReadDataFile(folder / "DIR.ARC").status, Status::unreadable);
    SheetDataFile dir;
    EXPECT_FALSE(dir.Open(folder / "DIR.ARC"));
    EXPECT_EQ(ReadDataFile(folder / "NONE.ARC").status, Status::missing);
    EXPECT_EQ(ReadDataFile(folder.Write("A.ARC", "x\r\n")).status, Status::read);
}

TEST(DataFileLines, ALineLongerThanAMegabyteIsAConversionErrorNamingFileAndLine) {
    ScratchFolder folder;
    const std::string longest(kMaxLineBytes, '7');
    // The longest line, with either line end or none, is read.
    for (const std::string& text : {"a\r\n" + longest + "\r\nb\r\n", "a\n" + longest + "\n", "a\r\n" + longest,
                                    "a\n" + longest + "\r"}) {
        const DataFileRead read = ReadDataFile(folder.Write("OK.ARC", text));
        EXPECT_EQ(read.status, Status::read);
        EXPECT_EQ(read.text, text);
    }
    // One byte more, in the middle, at the end, or without any line end.
    struct Case {
        std::string text;
        int line;
    };
    for (const Case& c : {Case{"a\r\nb\r\n" + longest + "8\r\nc\r\n", 3}, Case{"a\n" + longest + "8", 2},
                          Case{longest + "8\r", 1}, Case{"x\n" + longest + "\r\r\n", 2},
                          Case{std::string(3 * kMaxLineBytes, 'z'), 1}}) {
        const auto path = folder.Write("LONG.ARC", c.text);
        const DataFileRead read = ReadDataFile(path);
        EXPECT_EQ(read.status, Status::line_too_long) << c.line;
        EXPECT_EQ(read.long_line, c.line);
        EXPECT_TRUE(read.text.empty());
        EXPECT_FALSE(LoadDataFile(path));
        SheetDataFile file;
        try {
            file.Open(path);
            ADD_FAILURE() << "no error for line " << c.line;
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.Message(), "error:line longer than 1048576 bytes:" + PathToCp932(path) + ":" +
                                       std::to_string(c.line));
            EXPECT_EQ(e.Line(), c.line);
        }
    }
}

TEST(MessageText, ControlBytesAreShownEscapedAndCp932TextIsKept) {
    using namespace std::string_literals;
    EXPECT_EQ(ShowableText("-\0" "12"s), "-\\x0012");
    EXPECT_EQ(ShowableText("1\n2\r3\t4\x1f" "5\x7f"), "1\\x0a2\\x0d3\\x094\\x1f5\\x7f");
    // 能 (94 5C), ソ (83 5C), ー (81 5B), 漢 (8A BF), ァ (83 40), ｱ (B1), space and "~" stay.
    const std::string cp932 = ToCp932("能ソー漢ァｱ ~");
    EXPECT_EQ(ShowableText(cp932), cp932);

    // A NUL or a line end inside a field no longer cuts the message before file and line.
    const ConversionError nul("C:/d\n/MIZU.ARC", 12, "-\0" "5"s);
    EXPECT_EQ(nul.Message(), "error:'-\\x005' is not a valid floating point value:C:/d\\x0a/MIZU.ARC:12");
    EXPECT_EQ(std::string(nul.Message().c_str()), nul.Message());
    EXPECT_EQ(nul.Field(), "-\0" "5"s);  // the field itself as read

    // A header whose real field holds a control byte is reported in one line.
    SheetHeader header;
    try {
        ReadSheetHeader("09LD172,x,1,2,3,4,5,1\r2,0,300,400", header, SourceLine{"F.ARC", 1});
        ADD_FAILURE() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.Message().find('\r'), std::string::npos);
        EXPECT_NE(e.Message().find("1\\x0d2"), std::string::npos);
        EXPECT_EQ(e.Message().substr(e.Message().size() - 8), ":F.ARC:1");
    }
}

}  // namespace
}  // namespace gridora

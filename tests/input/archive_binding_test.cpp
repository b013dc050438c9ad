#include "input/archive_binding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace gridora {
namespace {

const char kNoSuchLibrary[] = "libno-such-archive-library.so";

std::filesystem::path ProgramFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

TEST(ArchiveBinding, AMissingLibraryShowsPanicAndReportsFailure) {
    RecordingPort port;
    ArchiveLibraryUse library(&port, kNoSuchLibrary);
    ASSERT_FALSE(library.loaded());
    const ArchiveEntryPoints& lib = library.entry_points();

    char output[6001] = "";
    // A missing library never reports an extraction as done.
    EXPECT_EQ(lib.Unlha(nullptr, " e -x1 a.lzh out/ 09LD171/*.* -p2 -y1", output, 6000), UNLHA_ERROR_NOT_LOADED);
    EXPECT_EQ(port.messages, std::vector<std::string>{"PANIC!!\nUnlha: LHA.DLL not loaded."});

    // A listing ends at once: no handle, no entry.
    port.messages.clear();
    UnlhaEntryInfo info{};
    UnlhaArchive handle = lib.UnlhaOpenArchive(nullptr, "13101.LZH", 0);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(lib.UnlhaFindFirst(handle, "*.txt", &info), -1);
    EXPECT_EQ(lib.UnlhaFindNext(handle, &info), -1);
    EXPECT_NE(lib.UnlhaCloseArchive(handle), 0);
    EXPECT_EQ(port.messages, (std::vector<std::string>{"PANIC!!\nUnlhaOpenArchive: LHA.DLL not loaded.",
                                                       "PANIC!!\nUnlhaFindFirst: LHA.DLL not loaded.",
                                                       "PANIC!!\nUnlhaFindNext: LHA.DLL not loaded.",
                                                       "PANIC!!\nUnlhaCloseArchive: LHA.DLL not loaded."}));

    // Every other entry point names itself, in the library's own spelling.
    port.messages.clear();
    EXPECT_EQ(lib.UnlhaGetArcCompessedSize(nullptr), 0u);
    EXPECT_EQ(lib.UnlhaGetAcessTime(nullptr), 0u);
    EXPECT_NE(lib.UnlhaExtractMem(nullptr, "", nullptr, 0, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(port.messages, (std::vector<std::string>{"PANIC!!\nUnlhaGetArcCompessedSize: LHA.DLL not loaded.",
                                                       "PANIC!!\nUnlhaGetAcessTime: LHA.DLL not loaded.",
                                                       "PANIC!!\nUnlhaExtractMem: LHA.DLL not loaded."}));
}

TEST(ArchiveBinding, LoadsOurLibraryFromTheProgramsFolderAndBindsWhatItExports) {
    RecordingPort port;
    ArchiveLibraryUse library(&port);
    ASSERT_TRUE(library.loaded());
    EXPECT_EQ(ArchiveLibrary::Get().loaded_path(), (ProgramFolder() / UNLHA32_LIBRARY_FILE).string());

    const ArchiveEntryPoints& lib = library.entry_points();
    char output[6001] = "";
    EXPECT_EQ(lib.Unlha(nullptr, " e -x1 /no/such.lzh /tmp/ *.* -p2 -y1", output, 6000), UNLHA_ERROR_ARCHIVE_OPEN);
    EXPECT_EQ(lib.UnlhaOpenArchive(nullptr, "/no/such.lzh", 0), nullptr);
    UnlhaEntryInfo info{};
    EXPECT_EQ(lib.UnlhaFindFirst(nullptr, "*.txt", &info), -1);
    EXPECT_EQ(lib.UnlhaFindNext(nullptr, &info), -1);
    EXPECT_EQ(lib.UnlhaCloseArchive(nullptr), -1);
    EXPECT_TRUE(port.messages.empty());

    // Entry points the library does not export keep their fallbacks.
    EXPECT_EQ(lib.UnlhaGetVersion(), 0);
    EXPECT_EQ(port.messages, std::vector<std::string>{"PANIC!!\nUnlhaGetVersion: LHA.DLL not loaded."});
}

TEST(ArchiveBinding, TheLastUseReleasesTheLibraryAndRestoresTheFallbacks) {
    RecordingPort port;
    {
        ArchiveLibraryUse outer(&port);
        ASSERT_TRUE(outer.loaded());
        {
            // A later use only counts; it neither reloads nor unloads.
            ArchiveLibraryUse inner(&port, kNoSuchLibrary);
            EXPECT_TRUE(inner.loaded());
        }
        EXPECT_TRUE(outer.loaded());
    }
    EXPECT_FALSE(ArchiveLibrary::Get().loaded());
    EXPECT_EQ(ArchiveLibrary::Get().message_port(), nullptr);

    ArchiveLibraryUse again(&port, kNoSuchLibrary);
    EXPECT_NE(again.entry_points().Unlha(nullptr, "", nullptr, 0), 0);
    EXPECT_EQ(port.messages, std::vector<std::string>{"PANIC!!\nUnlha: LHA.DLL not loaded."});
}

}  // namespace
}  // namespace gridora

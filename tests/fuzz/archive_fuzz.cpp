// The archive library on an archive of any bytes: listing and extracting end, return one of
// their documented results, and write nothing but folders and regular files inside the
// destination folder. The tree of the scratch folder is checked after every run.
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <system_error>

#include "fuzz_targets.h"
#include "platform/unlha/unlha32.h"

namespace gridora::fuzz {
namespace {

namespace fs = std::filesystem;

struct ArchiveScratch {
    fs::path root;         // holds exactly archive, cwd and dest
    fs::path archive;      // the input, written afresh for each run
    fs::path current;      // the process's working folder: must stay empty
    fs::path destination;  // where members may go; emptied after each run
};

const ArchiveScratch& Scratch() {
    static const ArchiveScratch scratch = [] {
        ArchiveScratch s;
        s.root = ScratchRoot() / "archive";
        s.archive = s.root / "in.lzh";
        s.current = s.root / "cwd";
        s.destination = s.root / "dest";
        fs::create_directories(s.current);
        fs::create_directories(s.destination);
        // Members that escaped to a relative place would land here, where they are seen.
        FUZZ_CHECK(::chdir(s.current.c_str()) == 0, "the scratch working folder is entered");
        return s;
    }();
    return scratch;
}

bool IsDocumentedResult(int result) {
    return result == 0 || (result >= UNLHA_ERROR_COMMAND && result <= UNLHA_ERROR_INTERNAL);
}

void CheckTreeAndEmpty(const ArchiveScratch& s) {
    std::error_code ec;
    std::set<std::string> top;
    for (const fs::directory_entry& entry : fs::directory_iterator(s.root, ec)) top.insert(entry.path().filename());
    FUZZ_CHECK(!ec, "the scratch folder is listed");
    FUZZ_CHECK((top == std::set<std::string>{"in.lzh", "cwd", "dest"}), "nothing is written beside the destination");
    FUZZ_CHECK(fs::is_empty(s.current, ec) && !ec, "nothing is written in the working folder");
    FUZZ_CHECK(fs::is_directory(fs::symlink_status(s.destination, ec)), "the destination stays a folder");
    for (fs::recursive_directory_iterator it(s.destination, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        FUZZ_CHECK(fs::is_regular_file(status) || fs::is_directory(status),
                   "only folders and regular files are extracted");
    }
    FUZZ_CHECK(!ec, "the destination is walked");
    for (const fs::directory_entry& entry : fs::directory_iterator(s.destination, ec)) fs::remove_all(entry.path(), ec);
    FUZZ_CHECK(!ec && fs::is_empty(s.destination, ec), "the destination is emptied for the next run");
}

void ListMembers(const ArchiveScratch& s, const char* pattern, std::size_t size_limit) {
    UnlhaArchive archive = UnlhaOpenArchive(nullptr, s.archive.c_str(), 0);
    if (archive == nullptr) return;
    UnlhaEntryInfo entry;
    std::memset(&entry, 0x55, sizeof entry);
    std::size_t found = 0;
    for (int r = UnlhaFindFirst(archive, pattern, &entry); r == 0; r = UnlhaFindNext(archive, &entry)) {
        FUZZ_CHECK(std::memchr(entry.file_name, '\0', sizeof entry.file_name) != nullptr,
                   "a member name is NUL-terminated");
        // Each member takes at least a header's minimum of the archive's bytes.
        FUZZ_CHECK(++found <= size_limit / 16 + 1, "listing ends");
    }
    FUZZ_CHECK(UnlhaCloseArchive(archive) == 0, "an open archive closes");
}

}  // namespace

int FuzzArchive(const uint8_t* data, std::size_t size) {
    const ArchiveScratch& s = Scratch();
    InputCursor in(data, size);
    const uint8_t mode = in.Byte();
    const std::string_view bytes = in.Rest();
    {
        std::ofstream out(s.archive, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        FUZZ_CHECK(out.good(), "the archive is written");
    }
    static const char* const kPatterns[] = {"*.*", "*.TXT", "13101/*.*", "*", "09LD17?/*.ARC"};
    const char* pattern = kPatterns[mode % 5];
    ListMembers(s, pattern, bytes.size());

    const std::string command = std::string((mode & 0x80) ? "e" : "x") + ((mode & 0x40) ? " -x1" : "") + " \"" +
                                s.archive.string() + "\" \"" + s.destination.string() + "/\" " + pattern +
                                " -p2 -y1";
    char output[256];
    std::memset(output, 'x', sizeof output);
    const uint32_t output_size = (mode & 0x20) ? sizeof output : 7;
    const int result = Unlha(nullptr, command.c_str(), output, output_size);
    FUZZ_CHECK(IsDocumentedResult(result), "extraction returns a documented result");
    FUZZ_CHECK(std::memchr(output, '\0', output_size) != nullptr, "the report is NUL-terminated in its buffer");
    FUZZ_CHECK(output_size == sizeof output || output[output_size] == 'x', "the report stays in its buffer");
    CheckTreeAndEmpty(s);
    return 0;
}

}  // namespace gridora::fuzz

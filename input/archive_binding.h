// The binding of the LHA archive library (libunlha32.so), loaded at run time by name.
//
// The table holds the library's 43 entry points. Each starts bound to a fallback that shows
// "PANIC!!" with the entry point's name and reports failure: Unlha and the memory
// extractions return UNLHA_ERROR_NOT_LOADED, UnlhaOpenArchive a null handle, UnlhaFindFirst
// and UnlhaFindNext -1 (no entry, so a listing ends), the rest 0 or -1. Loading the library
// replaces every fallback whose name it exports. The converter uses five entry points:
// Unlha, UnlhaOpenArchive, UnlhaFindFirst, UnlhaFindNext and UnlhaCloseArchive; the others
// are bound for completeness of the library's interface.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/message_port.h"
#include "platform/unlha/unlha32.h"

namespace gridora {

// Name, function type and fallback result of every entry point, in table order. The
// spellings "UnlhaGetArcCompessedSize" and "UnlhaGetAcessTime" are the exported names.
#define GRIDORA_ARCHIVE_ENTRY_POINTS(X)                                                         \
    X(UnlhaGetVersion, std::uint16_t(), 0)                                                      \
    X(UnlhaGetSubVersion, std::uint16_t(), 0)                                                   \
    X(UnlhaGetRunning, int(), 0)                                                                \
    X(UnlhaGetBackGroundMode, int(), 0)                                                         \
    X(UnlhaSetBackGroundMode, int(int), 0)                                                      \
    X(UnlhaGetCursorMode, int(), 0)                                                             \
    X(UnlhaSetCursorMode, int(int), 0)                                                          \
    X(UnlhaGetCursorInterval, std::uint16_t(), 0)                                               \
    X(UnlhaSetCursorInterval, int(std::uint16_t), 0)                                            \
    X(Unlha, UnlhaFunction, UNLHA_ERROR_NOT_LOADED)                                             \
    X(UnlhaExtractMem,                                                                          \
      int(void*, const char*, unsigned char*, std::uint32_t, std::time_t*, std::uint16_t*,      \
          std::uint32_t*),                                                                      \
      UNLHA_ERROR_NOT_LOADED)                                                                   \
    X(UnlhaCompressMem,                                                                         \
      int(void*, const char*, const unsigned char*, std::uint32_t, const std::time_t*,          \
          const std::uint16_t*, std::uint32_t*),                                                \
      UNLHA_ERROR_NOT_LOADED)                                                                   \
    X(UnlhaCheckArchive, int(const char*, int), 0)                                              \
    X(UnlhaConfigDialog, int(void*, char*, int), 0)                                             \
    X(UnlhaGetFileCount, int(const char*), -1)                                                  \
    X(UnlhaOpenArchive, UnlhaOpenArchiveFunction, nullptr)                                      \
    X(UnlhaCloseArchive, UnlhaCloseArchiveFunction, -1)                                         \
    X(UnlhaFindFirst, UnlhaFindFirstFunction, -1)                                               \
    X(UnlhaFindNext, UnlhaFindNextFunction, -1)                                                 \
    X(UnlhaGetArcFileName, int(UnlhaArchive, char*, int), -1)                                   \
    X(UnlhaGetArcFileSize, std::uint32_t(UnlhaArchive), 0)                                      \
    X(UnlhaGetArcOriginalSize, std::uint32_t(UnlhaArchive), 0)                                  \
    X(UnlhaGetArcCompessedSize, std::uint32_t(UnlhaArchive), 0)                                 \
    X(UnlhaGetArcRatio, std::uint16_t(UnlhaArchive), 0)                                         \
    X(UnlhaGetArcDate, std::uint16_t(UnlhaArchive), 0)                                          \
    X(UnlhaGetArcTime, std::uint16_t(UnlhaArchive), 0)                                          \
    X(UnlhaGetArcOSType, unsigned(UnlhaArchive), 0)                                             \
    X(UnlhaGetFileName, int(UnlhaArchive, char*, int), -1)                                      \
    X(UnlhaGetMethod, int(UnlhaArchive, char*, int), -1)                                        \
    X(UnlhaGetOriginalSize, std::uint32_t(UnlhaArchive), 0)                                     \
    X(UnlhaGetCompressedSize, std::uint32_t(UnlhaArchive), 0)                                   \
    X(UnlhaGetRatio, std::uint16_t(UnlhaArchive), 0)                                            \
    X(UnlhaGetDate, std::uint16_t(UnlhaArchive), 0)                                             \
    X(UnlhaGetTime, std::uint16_t(UnlhaArchive), 0)                                             \
    X(UnlhaGetWriteTime, std::uint32_t(UnlhaArchive), 0)                                        \
    X(UnlhaGetAcessTime, std::uint32_t(UnlhaArchive), 0)                                        \
    X(UnlhaGetCreateTime, std::uint32_t(UnlhaArchive), 0)                                       \
    X(UnlhaGetCRC, std::uint32_t(UnlhaArchive), 0)                                              \
    X(UnlhaGetAttribute, int(UnlhaArchive), -1)                                                 \
    X(UnlhaGetOSType, unsigned(UnlhaArchive), 0)                                                \
    X(UnlhaQueryFunctionList, int(int), 0)                                                      \
    X(UnlhaSetOwnerWindow, int(void*), 0)                                                       \
    X(UnlhaClearOwnerWindow, int(), 0)

template <typename Function>
using EntryPoint = Function*;

// One function pointer per entry point, never null.
struct ArchiveEntryPoints {
#define GRIDORA_ARCHIVE_ENTRY_POINT_MEMBER(name, type, fallback_result) EntryPoint<type> name;
    GRIDORA_ARCHIVE_ENTRY_POINTS(GRIDORA_ARCHIVE_ENTRY_POINT_MEMBER)
#undef GRIDORA_ARCHIVE_ENTRY_POINT_MEMBER
};

// The process-wide binding. It is one object because the fallbacks are plain functions
// that can reach the message port only through it.
class ArchiveLibrary {
public:
    static ArchiveLibrary& Get();

    // Counts one use. The first use loads `file_name` and binds the entry points it
    // exports: a bare name is looked for in the program's own folder first, then by the
    // system's library search; a name containing "/" is loaded as given. Returns whether
    // the library is loaded.
    bool Acquire(const std::string& file_name = UNLHA32_LIBRARY_FILE);
    // Ends one use; the last one releases the library and binds the fallbacks again.
    void Release();

    bool loaded() const { return handle_ != nullptr; }
    // The file the library was loaded from; empty when not loaded.
    const std::string& loaded_path() const { return loaded_path_; }

    // Where fallbacks show their message; nullptr sends it to stderr. Not owned.
    void SetMessagePort(MessagePort* port) { port_ = port; }
    MessagePort* message_port() const { return port_; }

    // The table; valid (fallbacks or library functions) at all times.
    const ArchiveEntryPoints& entry_points() const { return entries_; }

    // Shows the "PANIC!!" message for an entry point called while bound to its fallback.
    void ReportMissingEntryPoint(const char* name);

private:
    ArchiveLibrary();
    ~ArchiveLibrary();
    ArchiveLibrary(const ArchiveLibrary&) = delete;
    ArchiveLibrary& operator=(const ArchiveLibrary&) = delete;

    void BindFallbacks();
    void Unload();

    ArchiveEntryPoints entries_{};
    void* handle_ = nullptr;
    std::string loaded_path_;
    int uses_ = 0;
    MessagePort* port_ = nullptr;
};

// One use of the archive library for a scope (a front end's main function, a test): loads
// it on construction when it is the first use and releases it on destruction when it is
// the last. `port` receives fallback messages while the use lasts.
class ArchiveLibraryUse {
public:
    explicit ArchiveLibraryUse(MessagePort* port, const std::string& file_name = UNLHA32_LIBRARY_FILE);
    ~ArchiveLibraryUse();
    ArchiveLibraryUse(const ArchiveLibraryUse&) = delete;
    ArchiveLibraryUse& operator=(const ArchiveLibraryUse&) = delete;

    bool loaded() const { return ArchiveLibrary::Get().loaded(); }
    const ArchiveEntryPoints& entry_points() const { return ArchiveLibrary::Get().entry_points(); }

private:
    MessagePort* port_;
    MessagePort* previous_port_;
};

// The text of the fallback message for `entry_point` (CP932, which for these ASCII texts
// is the same bytes): the caption "PANIC!!" on the first line, then the message.
std::string MissingArchiveLibraryMessage(std::string_view entry_point);

// A path or pattern as one word of an Unlha command line: in double quotes, so that blanks
// and backslashes in it are taken as written. File names here cannot hold a double quote
// of their own (archives come from systems that forbid it), so none is escaped.
std::string CommandLineWord(std::string_view text);

}  // namespace gridora

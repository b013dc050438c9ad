#include "input/archive_binding.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <type_traits>
#include <vector>

#include "platform/program_files.h"

namespace gridora {
namespace {

enum EntryPointIndex {
#define GRIDORA_ARCHIVE_ENTRY_POINT_INDEX(name, type, fallback_result) k##name,
    GRIDORA_ARCHIVE_ENTRY_POINTS(GRIDORA_ARCHIVE_ENTRY_POINT_INDEX)
#undef GRIDORA_ARCHIVE_ENTRY_POINT_INDEX
    kEntryPointCount
};
static_assert(kEntryPointCount == 43, "the archive library has 43 entry points");

constexpr const char* kEntryPointNames[] = {
#define GRIDORA_ARCHIVE_ENTRY_POINT_NAME(name, type, fallback_result) #name,
    GRIDORA_ARCHIVE_ENTRY_POINTS(GRIDORA_ARCHIVE_ENTRY_POINT_NAME)
#undef GRIDORA_ARCHIVE_ENTRY_POINT_NAME
};

// The fallback of entry point `Index`, with the entry point's own signature.
template <int Index, auto Result, typename Function>
struct Fallback;

template <int Index, auto Result, typename R, typename... Args>
struct Fallback<Index, Result, R(Args...)> {
    static R Call(Args...) {
        ArchiveLibrary::Get().ReportMissingEntryPoint(kEntryPointNames[Index]);
        if constexpr (std::is_void_v<R>)
            return;
        else
            return static_cast<R>(Result);
    }
};

// The folder of the running executable; empty when it cannot be told.
std::filesystem::path RunningProgramFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

}  // namespace

std::string MissingArchiveLibraryMessage(std::string_view entry_point) {
    return "PANIC!!\n" + std::string(entry_point) + ": LHA.DLL not loaded.";
}

ArchiveLibrary& ArchiveLibrary::Get() {
    static ArchiveLibrary binding;
    return binding;
}

ArchiveLibrary::ArchiveLibrary() { BindFallbacks(); }

// Released at exit even when a front end forgot its last Release.
ArchiveLibrary::~ArchiveLibrary() { Unload(); }

void ArchiveLibrary::BindFallbacks() {
#define GRIDORA_ARCHIVE_ENTRY_POINT_FALLBACK(name, type, fallback_result) \
    entries_.name = &Fallback<k##name, fallback_result, type>::Call;
    GRIDORA_ARCHIVE_ENTRY_POINTS(GRIDORA_ARCHIVE_ENTRY_POINT_FALLBACK)
#undef GRIDORA_ARCHIVE_ENTRY_POINT_FALLBACK
}

bool ArchiveLibrary::Acquire(const std::string& file_name) {
    if (uses_++ > 0) return loaded();

    std::vector<std::string> candidates;
    // A bare name is looked for beside the program, then in an installation's lib folder,
    // then where the dynamic loader looks (the program's run path among them).
    if (file_name.find('/') == std::string::npos) {
        const std::filesystem::path folder = RunningProgramFolder();
        if (!folder.empty())
            for (const std::filesystem::path& library_folder : LibraryFolders(folder))
                candidates.push_back((library_folder / file_name).string());
    }
    candidates.push_back(file_name);
    for (const std::string& candidate : candidates) {
        handle_ = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            loaded_path_ = candidate;
            break;
        }
    }
    if (!handle_) return false;

#define GRIDORA_ARCHIVE_ENTRY_POINT_BIND(name, type, fallback_result) \
    if (void* symbol = dlsym(handle_, #name)) entries_.name = reinterpret_cast<EntryPoint<type>>(symbol);
    GRIDORA_ARCHIVE_ENTRY_POINTS(GRIDORA_ARCHIVE_ENTRY_POINT_BIND)
#undef GRIDORA_ARCHIVE_ENTRY_POINT_BIND
    return true;
}

void ArchiveLibrary::Release() {
    if (uses_ == 0) return;
    if (--uses_ == 0) Unload();
}

void ArchiveLibrary::Unload() {
    BindFallbacks();
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    loaded_path_.clear();
}

void ArchiveLibrary::ReportMissingEntryPoint(const char* name) {
    std::string message = MissingArchiveLibraryMessage(name);
    if (port_) {
        port_->ShowMessage(message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

ArchiveLibraryUse::ArchiveLibraryUse(MessagePort* port, const std::string& file_name)
    : port_(port), previous_port_(ArchiveLibrary::Get().message_port()) {
    ArchiveLibrary& library = ArchiveLibrary::Get();
    if (port_) library.SetMessagePort(port_);
    library.Acquire(file_name);
}

ArchiveLibraryUse::~ArchiveLibraryUse() {
    ArchiveLibrary& library = ArchiveLibrary::Get();
    library.Release();
    if (port_ && library.message_port() == port_) library.SetMessagePort(previous_port_);
}

std::string CommandLineWord(std::string_view text) {
    std::string word;
    word.reserve(text.size() + 2);
    word += '"';
    word += text;
    word += '"';
    return word;
}

}  // namespace gridora

// unlha32: the LHA archive library that gridora loads at run time.
//
// Five entry points, in the form the converter's archive binding looks them up by name:
// one that runs an extraction command line, and four that list an archive's members.
// Every text is a NUL-terminated byte string. Paths in command lines and archive paths are
// in the file-system encoding (UTF-8); member patterns, in command lines and for
// UnlhaFindFirst, are CP932 and match the stored bytes; member names in UnlhaEntryInfo are CP932, as stored
// in the archive, with "/" between folders.
#ifndef GRIDORA_UNLHA32_H
#define GRIDORA_UNLHA32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(UNLHA32_BUILDING)
#define UNLHA32_API __attribute__((visibility("default")))
#else
#define UNLHA32_API
#endif

// The file name the binding loads.
#define UNLHA32_LIBRARY_FILE "libunlha32.so"

// Opaque handle of an archive opened for listing.
typedef struct UnlhaArchiveHandle* UnlhaArchive;

// One member, as UnlhaFindFirst and UnlhaFindNext report it.
typedef struct {
    uint32_t original_size;    // uncompressed bytes
    uint32_t compressed_size;  // bytes stored in the archive
    uint32_t crc;              // CRC-16 of the uncompressed data
    uint32_t flag;             // always 0
    uint32_t os_type;          // OS byte of the header ('M', 'U', ...; 0 for level 0)
    uint16_t ratio;            // compressed size per mille of the original size
    uint16_t date;             // MS-DOS date of the member's time stamp (local time)
    uint16_t time;             // MS-DOS time of the member's time stamp
    char file_name[513];       // CP932 path inside the archive, folders joined by "/"
    char filler[3];
    char attribute[8];         // "d" for a folder, "" for a file
    char method[8];            // compression method, e.g. "-lh5-"
} UnlhaEntryInfo;

// Results of Unlha, besides 0 for success.
enum {
    UNLHA_ERROR_COMMAND = 0x8001,        // the command line is not understood
    UNLHA_ERROR_ARCHIVE_OPEN = 0x8002,   // the archive cannot be opened
    UNLHA_ERROR_HEADER = 0x8003,         // a member header is damaged or the archive is not LHA
    UNLHA_ERROR_UNSAFE_PATH = 0x8004,    // a member is absolute, climbs out with "..", or is a link
    UNLHA_ERROR_DATA = 0x8005,           // member data is truncated, undecodable or fails its CRC
    UNLHA_ERROR_WRITE = 0x8006,          // a folder or file cannot be created or written
    UNLHA_ERROR_NO_MEMBER = 0x8007,      // no member matches the patterns
    UNLHA_ERROR_NOT_LOADED = 0x8008,     // used by the binding when the library is missing
    UNLHA_ERROR_INTERNAL = 0x8009        // out of memory or a failed system service
};

// Runs one command line: `e -x1 "ARCHIVE" "DEST/" "PATTERN"... -p2 -y1` style. "e" extracts
// without folder paths unless "-x1" is given; "x" extracts with folder paths. DEST must
// end with "/" or "\" and is created when missing. A pattern without a folder matches the
// member's last name part at any depth; "SHEET/*.*" takes every member
// below the folder SHEET at any depth; "*" and "?" are wildcards, "*.*" matches every name;
// names compare without regard to ASCII case. Files are overwritten. Words are separated
// by blanks; a part of a word in double quotes keeps its blanks, so a path holding blanks
// must be quoted ("out/my maps/"); nothing is guessed from what exists on disk. A line that
// cannot be parsed (an unclosed quote, no archive, no DEST ending with a separator, an
// unknown command) extracts nothing and returns UNLHA_ERROR_COMMAND. Nothing is written
// when any member of the
// archive is unsafe or any header is damaged. `window` is ignored. A short report (one line
// per member written, or the reason of a failure) is copied to `output`, cut to
// `output_size` - 1 bytes and NUL-terminated; `output` may be NULL when `output_size` is 0.
// Returns 0 on success, else one of UNLHA_ERROR_*.
UNLHA32_API int Unlha(void* window, const char* command_line, char* output, uint32_t output_size);

// Reads the member list of the archive at `archive_path`. Returns a handle to pass to the
// three functions below and to close with UnlhaCloseArchive, or NULL when the file cannot
// be read or a header is damaged. `window` and `mode` are ignored.
UNLHA32_API UnlhaArchive UnlhaOpenArchive(void* window, const char* archive_path, uint32_t mode);

// Starts a search with `pattern` (CP932; same rules as for Unlha) and writes the first
// matching member, in archive order, to `info`. Returns 0 when one matched, -1 when none
// did (and for a NULL handle). `info` is untouched when nothing matched.
UNLHA32_API int UnlhaFindFirst(UnlhaArchive archive, const char* pattern, UnlhaEntryInfo* info);

// Writes the next member matching the last UnlhaFindFirst pattern to `info`: 0, or -1 at the end.
UNLHA32_API int UnlhaFindNext(UnlhaArchive archive, UnlhaEntryInfo* info);

// Releases the handle. Returns 0, or -1 for a NULL handle.
UNLHA32_API int UnlhaCloseArchive(UnlhaArchive archive);

typedef int UnlhaFunction(void* window, const char* command_line, char* output, uint32_t output_size);
typedef UnlhaArchive UnlhaOpenArchiveFunction(void* window, const char* archive_path, uint32_t mode);
typedef int UnlhaFindFirstFunction(UnlhaArchive archive, const char* pattern, UnlhaEntryInfo* info);
typedef int UnlhaFindNextFunction(UnlhaArchive archive, UnlhaEntryInfo* info);
typedef int UnlhaCloseArchiveFunction(UnlhaArchive archive);

#ifdef __cplusplus
}
#endif

#endif

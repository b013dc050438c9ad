// Where a run builds its output before anyone sees it. The layer files, list file and map
// files of a run are written into a staging folder inside the output folder,
// ".gridora-stage-<list file name>", and put in place only when the run is done, file by
// file by rename: the previous output stays whole, and a map server serving the folder
// keeps serving it, until then. Before the renames the staged files reach the disk and a
// swap record ("SWAP", the files to move) is written, so that a run killed during the swap
// is completed when the next run starts in that folder.
//
// Every folder the program makes inside an output folder (staging and extraction folders)
// holds a marker file, ".gridora-folder"; at a run's start, such folders left behind by a
// run that is not resumed are removed, and only those.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_port.h"

namespace gridora {

inline constexpr const char* kFolderMarkerName = ".gridora-folder";
// The run's own records in its staging folder (run/run_progress.h), never put in place.
inline constexpr const char* kRunArgumentsName = "RUN";
inline constexpr const char* kProgressRecordName = "PROGRESS";
// The last progress record written after its staged files were synced to the disk.
inline constexpr const char* kSyncedProgressRecordName = "PROGRESS.synced";

// Whether a path relative to a staging folder is one of the run's records (the marker, the
// swap record, the arguments, the progress record, or one being replaced) rather than output.
bool IsRunRecord(const std::filesystem::path& relative);

// Flushes a file's or folder's data to the disk; false when it cannot.
bool SyncToDisk(const std::filesystem::path& path);
// Flushes the files' data to the disk. Their write-back is started for all of them first,
// so that the disk takes them side by side rather than one file after the other, and then
// awaited file by file. The first file that could not be synced; nothing when all were.
std::optional<std::filesystem::path> SyncAllToDisk(const std::vector<std::filesystem::path>& paths);

// Replaces a record file by rename, so that a kill leaves the old or the new one whole;
// `durable` syncs it and its folder to the disk as well. False when it cannot be written.
bool ReplaceRecordFile(const std::filesystem::path& path, std::string_view text, bool durable);

// Writes the marker into a folder the program has just made; false when it cannot.
bool MarkProgramFolder(const std::filesystem::path& folder);
// Whether `folder` is one the program made: a real folder (not a link) with the marker.
bool IsProgramFolder(const std::filesystem::path& folder);

// The staging folder of a list file: beside it, ".gridora-stage-" and its file name.
std::filesystem::path StagingFolderOf(const std::filesystem::path& list_file);

// Completes every swap left half done in `output_folder` (removing its staging folder),
// then removes the other folders the program left there (marked, name starting with
// ".gridora-"), except `keep`.
void TidyOutputFolder(const std::filesystem::path& output_folder, const std::filesystem::path& keep = {});

// Whether the staging folder's files were being put in place (its swap record exists).
bool IsSwapping(const std::filesystem::path& staging);

// Creates the staging folder anew (removing one the program left), with its marker and,
// when given, the run's arguments (the record "RUN"). The folder is made under another
// name and renamed whole, so that a kill leaves it complete or not at all. False, with
// nothing made, when it cannot be created, or when something not the program's has its
// name.
bool CreateStagingFolder(const std::filesystem::path& staging, std::string_view arguments = {});

// What a swap moves from below `staging`, relative to it, in a fixed order: every folder
// (with a trailing "/") and every regular file but the marker and the run's own records.
std::vector<std::filesystem::path> StagedFiles(const std::filesystem::path& staging);

// Puts the staged files in place in `output_folder` and removes the staging folder: the
// files are flushed to the disk, the swap record written, then each file renamed over its
// counterpart. A file that cannot be moved is reported through `port` (its path as it would
// lie in the output folder) and the rest still moved; false when any failed, and the staging
// folder then stays with its record.
bool PutInPlace(const std::filesystem::path& staging, const std::filesystem::path& output_folder, MessagePort& port);

}  // namespace gridora

// The map-file writer: at the end of a conversion run it publishes the layers the run
// produced for a MapServer installation. In the list file's folder it leaves the map file
// (the list file's name with ".map"), the PHP page "gridora.php", the font and symbol
// files in "etc", the web-server tree of the template archive with an include file naming
// the map file, and, unless the settings turn it off, a second map file for MapServer 8
// that serves the layers as an OGC WMS and OGC API Features, with the web map and PHP
// pages that show it (web_pages.h).
#pragma once

#include <filesystem>

#include "convert/run_results.h"
#include "input/archive_binding.h"
#include "input/coordinate_systems.h"
#include "mapserver/map_settings.h"
#include "platform/message_port.h"

namespace gridora {

// The program's support files, beside the program or in its installed support folder.
inline constexpr const char* kSymbolFileName = "symbols.sym";
inline constexpr const char* kTemplateArchiveName = "ms4wmap10.lzh";
// The pages for PHP MapScript of MapServer 8: beside the map file, and in the template's folder.
inline constexpr const char* kMapScript8PageName = "gridora_ms8.php";
inline constexpr const char* kTemplateMapScript8PageName = "index_ms8.php";

struct MapFilesRequest {
    std::filesystem::path list_file;  // as the user entered it; the files are written in its folder
    // Where the written files will lie when the run puts them in place, as the texts name
    // it (the map file's paths, the MapServer configuration); empty: where they are written.
    std::filesystem::path publish_folder;
    MapSettings settings;
    RunResults results;  // what the run converted
    std::filesystem::path program_folder;  // symbols.sym and ms4wmap10.lzh lie beside it or installed
};

// Which of the files were written, for callers that check.
struct MapFilesWritten {
    bool map_file = false;
    bool mapserver8_map_file = false;
    bool web_map_page = false;
    bool mapscript8_page = false;
    bool php_page = false;
    bool include_file = false;
    bool font_copied = false;
    bool symbols_copied = false;
};

// Writes everything for one run. With no coordinate system of the table fixed by the run
// (no sheet converted, or a system number outside 1-19) nothing is written and the port is
// told why. A map file or PHP page that cannot be written is reported and ends the writer;
// a failed font copy is reported after the PHP page, as the user must then copy the font.
MapFilesWritten WriteMapServerFiles(const MapFilesRequest& request, const ArchiveEntryPoints& archives,
                                    MessagePort& port);

// The MapServer 8 map file of a list file: "<folder>/<list file base>_ms8.map".
std::filesystem::path MapServer8MapFilePath(const std::filesystem::path& list_file);
// The web map of a list file: "<folder>/<list file base>.html".
std::filesystem::path WebMapPagePath(const std::filesystem::path& list_file);
// Its MapServer configuration file: "<folder>/<list file base>_ms8.conf".
std::filesystem::path MapServer8ConfigFilePath(const std::filesystem::path& list_file);

// Copies `source` to `destination` in blocks of 1024 bytes. The destination is created
// first, so a missing source leaves it empty. False when the destination cannot be
// created, the source cannot be opened, or a block cannot be read or written. Copying a
// file onto itself leaves it as it is and succeeds.
bool CopyFileInBlocks(const std::filesystem::path& source, const std::filesystem::path& destination);

}  // namespace gridora

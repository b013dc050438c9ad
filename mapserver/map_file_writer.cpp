#include "mapserver/map_file_writer.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "convert/projection_files.h"
#include "mapserver/map_file_text.h"
#include "mapserver/mapserver8_map_text.h"
#include "mapserver/web_pages.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "platform/program_files.h"

namespace gridora {
namespace {

constexpr std::size_t kCopyBlockSize = 1024;
// The archive library's report buffer: 6001 characters, of which it may fill 6000.
constexpr std::size_t kArchiveReportSize = 6000;
// Between the font's alias and its file in the font list.
constexpr std::string_view kFontListGap = "                        ";  // 24 blanks

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A folder path as text, ending with "/".
std::string FolderText(const std::filesystem::path& folder) {
    std::string text = folder.native();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

// Replaces `path` with `bytes`: written beside it first and renamed over it, so the file
// is either the old one or complete.
bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".partial";
    bool written = false;
    {
        File file(std::fopen(temporary.c_str(), "wb"));
        if (!file) return false;
        written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
        written = std::fclose(file.release()) == 0 && written;
    }
    std::error_code ec;
    if (written) std::filesystem::rename(temporary, path, ec);
    if (!written || ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

void ReportUnwritable(MessagePort& port, std::string_view what_utf8, const std::filesystem::path& path) {
    port.ShowMessage(ToCp932(what_utf8) + PathToCp932(path));
}

// Why no map file can be written for a run's coordinate system; empty when one can.
std::string MissingSystemMessage(const RunCoordinateSystem& system) {
    if (FindCoordinateSystem(system.number)) return {};
    if (system.number < 0) return ToCp932("変換された図葉がないため、Mapファイルを作成しませんでした");
    return ToCp932("座標系番号 " + std::to_string(system.number) +
                   " は平面直角座標系ではないため、Mapファイルを作成しませんでした");
}

struct SupportFiles {
    std::string font_file_name;  // CP932
    bool font_copied = false;
    bool symbols_copied = false;
};

// The etc folder: the Kanji font, the font list naming it, the symbol file.
SupportFiles WriteSupportFiles(const MapFilesRequest& request, const std::filesystem::path& output_folder) {
    SupportFiles support;
    const std::filesystem::path etc = output_folder / "etc";
    std::error_code ec;
    std::filesystem::create_directory(etc, ec);

    const std::filesystem::path font = PathFromCp932(request.settings.kanji_font);
    const std::filesystem::path font_name = font.filename();
    support.font_file_name = PathToCp932(font_name);
    support.font_copied = !font_name.empty() && CopyFileInBlocks(font, etc / font_name);

    TextLines font_list;
    font_list.Add(std::string(FileNameStem(support.font_file_name)) + std::string(kFontListGap) +
                  support.font_file_name);
    ReplaceFile(etc / "winfonts.txt", font_list.Text());

    support.symbols_copied =
        CopyFileInBlocks(FindSupportFile(request.program_folder, kSymbolFileName), etc / kSymbolFileName);
    return support;
}

// Unpacks the web-server tree of the template archive into the output folder; true when
// the archive library reports success. Without the archive there is nothing to ask the
// library for (its failure would not be reported either).
bool UnpackTemplate(const std::filesystem::path& program_folder, const std::string& output_folder,
                    const ArchiveEntryPoints& archives) {
    const std::filesystem::path archive = FindSupportFile(program_folder, kTemplateArchiveName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(archive, ec)) return false;
    const std::string command =
        " e -x1 " + CommandLineWord(FolderText(archive.parent_path()) + kTemplateArchiveName) + " " +
        CommandLineWord(output_folder) + " " + CommandLineWord("*.*") + " -p2 -y1";
    char report[kArchiveReportSize + 1] = {};
    return archives.Unlha(nullptr, command.c_str(), report, kArchiveReportSize) == 0;
}

// The MapServer 8 map file, its configuration file and the folder for mapserv's images.
void WriteMapServer8Files(const std::filesystem::path& list_file, const std::filesystem::path& publish_folder,
                          const MapFileContext& context, MapFilesWritten& written, MessagePort& port) {
    const std::filesystem::path map_file = MapServer8MapFilePath(list_file);
    const std::filesystem::path config_file = MapServer8ConfigFilePath(list_file);
    std::error_code ec;
    std::filesystem::create_directory(list_file.parent_path() / kMapServer8ImageFolder, ec);
    written.mapserver8_map_file =
        ReplaceFile(map_file, MapServer8MapFileText(context)) &&
        ReplaceFile(config_file,
                    MapServer8ConfigText((publish_folder / map_file.filename()).native(), publish_folder.native()));
    if (!written.mapserver8_map_file) {
        ReportUnwritable(port, "Mapファイルを作成できません：", map_file);
        return;
    }
    const std::filesystem::path templates = list_file.parent_path() / kFeatureInfoFolder;
    std::filesystem::create_directory(templates, ec);
    ReplaceFile(templates / "header.html", FeatureInfoHeaderText());
    ReplaceFile(templates / "footer.html", FeatureInfoFooterText());
    for (int index = 0; index < kLayerCount; ++index)
        if (context.files_made[static_cast<std::size_t>(index)].AnyMade())
            ReplaceFile(list_file.parent_path() / FeatureInfoTemplatePath(index), FeatureInfoTemplateText(index));
}

// The web map and the MapScript 8 page beside the MapServer 8 map file.
void WriteWebPages(const std::filesystem::path& list_file, const MapFileContext& context,
                   MapFilesWritten& written, MessagePort& port) {
    const std::filesystem::path folder = list_file.parent_path();
    const std::string title =
        context.settings.map_name.empty() ? list_file.stem().native() : Cp932ToUtf8(context.settings.map_name);
    WebMapPage page;
    page.title = title;
    page.wms_url = std::string("/cgi-bin/mapserv?map=") + kMapServer8MapKey;
    page.bounds = GeographicBoundsOf(context.extent, context.data_epsg);
    for (int index = 0; index < kLayerCount; ++index)
        if (const LayerEntry& entry = LayerCatalogue[static_cast<std::size_t>(index)];
            context.files_made[static_cast<std::size_t>(index)].AnyMade())
            page.layers.push_back({LayerDataName(index, false), Cp932ToUtf8(LayerTitle(index)),
                                   std::string(entry.short_name), entry.kind == LayerKind::Frame});
    const std::filesystem::path html = WebMapPagePath(list_file);
    written.web_map_page = ReplaceFile(html, WebMapPageText(page));
    if (!written.web_map_page) ReportUnwritable(port, "Webページを作成できません：", html);
    else if (!CopyLeaflet(kLeafletSourceFolder, folder))
        port.ShowMessage(ToCp932("Leaflet（Debian の libjs-leaflet）が見つからないため、Webページの地図は表示されません：") +
                         PathToCp932(html));

    const std::filesystem::path php = folder / kMapScript8PageName;
    written.mapscript8_page = ReplaceFile(php, MapScript8PageText(MapServer8MapFilePath(list_file).filename().native(), title));
    if (!written.mapscript8_page) ReportUnwritable(port, "PHPファイルを作成できません：", php);
}

}  // namespace

std::filesystem::path MapServer8MapFilePath(const std::filesystem::path& list_file) {
    std::filesystem::path path = list_file;
    path.replace_filename(list_file.stem().native() + "_ms8.map");
    return path;
}

std::filesystem::path WebMapPagePath(const std::filesystem::path& list_file) {
    std::filesystem::path path = list_file;
    path.replace_extension(".html");
    return path;
}

std::filesystem::path MapServer8ConfigFilePath(const std::filesystem::path& list_file) {
    std::filesystem::path path = list_file;
    path.replace_filename(list_file.stem().native() + "_ms8.conf");
    return path;
}

bool CopyFileInBlocks(const std::filesystem::path& source, const std::filesystem::path& destination) {
    std::error_code ec;
    // Creating the destination first would empty a source that is the same file.
    if (std::filesystem::equivalent(source, destination, ec)) return true;
    File out(std::fopen(destination.c_str(), "wb"));
    if (!out) return false;
    File in(std::fopen(source.c_str(), "rb"));
    if (!in) return false;
    char block[kCopyBlockSize];
    bool ok = true;
    while (ok) {
        const std::size_t n = std::fread(block, 1, sizeof block, in.get());
        if (n > 0) ok = std::fwrite(block, 1, n, out.get()) == n;
        if (n < sizeof block) {
            ok = ok && !std::ferror(in.get());
            break;
        }
    }
    return std::fclose(out.release()) == 0 && ok;
}

MapFilesWritten WriteMapServerFiles(const MapFilesRequest& request, const ArchiveEntryPoints& archives,
                                    MessagePort& port) {
    MapFilesWritten written;
    if (const std::string why = MissingSystemMessage(request.results.coordinate_system); !why.empty()) {
        port.ShowMessage(why);
        return written;
    }
    for (const std::string& message : request.settings.rejected_values) port.ShowMessage(message);

    std::error_code ec;
    std::filesystem::path list_file = std::filesystem::absolute(request.list_file, ec);
    if (ec) list_file = request.list_file;
    const std::filesystem::path output_folder = list_file.parent_path();
    std::filesystem::path publish_folder = output_folder;
    if (!request.publish_folder.empty()) {
        publish_folder = std::filesystem::absolute(request.publish_folder, ec);
        if (ec) publish_folder = request.publish_folder;
    }
    const SupportFiles support = WriteSupportFiles(request, output_folder);
    written.font_copied = support.font_copied;
    written.symbols_copied = support.symbols_copied;

    MapFileContext context;
    context.settings = request.settings;
    context.output_folder = PathToCp932(FolderText(publish_folder));
    context.system = FindCoordinateSystem(request.results.coordinate_system.number);
    context.datum_flag = request.results.coordinate_system.datum_flag;
    context.data_epsg = PlaneRectangularEpsg(request.results.coordinate_system);
    context.extent = request.results.extent;
    context.files_made = request.results.files_made;
    context.geopackage = request.results.geopackage;
    context.font_file_name = support.font_file_name;
    context.font_copied = support.font_copied;
    context.symbols_copied = support.symbols_copied;

    std::filesystem::path map_file = request.list_file;
    map_file.replace_extension(".map");
    if (!ReplaceFile(map_file, MapFileText(context))) {
        ReportUnwritable(port, "Mapファイルを作成できません：", map_file);
        return written;
    }
    written.map_file = true;

    if (request.settings.mapserver8) WriteMapServer8Files(list_file, publish_folder, context, written, port);
    if (written.mapserver8_map_file) WriteWebPages(list_file, context, written, port);

    const std::filesystem::path php_page = request.list_file.parent_path() / "gridora.php";
    const std::string map_file_name = PathToCp932(map_file.filename());
    if (!ReplaceFile(php_page, PhpPageText(map_file_name))) {
        ReportUnwritable(port, "PHPファイルを作成できません：", php_page);
        return written;
    }
    written.php_page = true;

    if (UnpackTemplate(request.program_folder, FolderText(output_folder), archives)) {
        const std::filesystem::path include = output_folder / "ms4w" / "Apache" / "htdocs" / "libgridora.php";
        written.include_file = ReplaceFile(include, IncludeFileText(map_file_name));
        // The template's page for today's MapScript; the map file lies three folders up.
        if (written.mapserver8_map_file)
            ReplaceFile(include.parent_path() / kTemplateMapScript8PageName,
                        MapScript8PageText("../../../" + MapServer8MapFilePath(list_file).filename().native(),
                                           Cp932ToUtf8(map_file_name)));
    }

    if (!support.font_copied) port.ShowMessage(ToCp932("漢字フォントの自動複写に失敗しました。msgothic.ttcを複写してください"));
    return written;
}

}  // namespace gridora

// Projection texts from PROJ's database, written beside the Shapefiles.
#include "convert/projection_files.h"

#include <fstream>
#include <memory>

#include <proj.h>

namespace gridora {

int32_t PlaneRectangularEpsg(const RunCoordinateSystem& system) {
    if (system.number < 1 || system.number > 19) return 0;
    if (system.datum_flag == 0) return 30160 + system.number;
    if (system.datum_flag >= 1 && system.datum_flag <= 3) return 2442 + system.number;
    return 0;
}

std::string EsriWktOfEpsg(int32_t epsg) {
    struct ContextDeleter {
        void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
    };
    struct ObjectDeleter {
        void operator()(PJ* p) const { proj_destroy(p); }
    };
    std::unique_ptr<PJ_CONTEXT, ContextDeleter> context(proj_context_create());
    if (!context) return {};
    // PROJ would otherwise print its own complaints about unknown codes to stderr.
    proj_log_level(context.get(), PJ_LOG_NONE);
    const std::string code = std::to_string(epsg);
    std::unique_ptr<PJ, ObjectDeleter> crs(
        proj_create_from_database(context.get(), "EPSG", code.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
    if (!crs) return {};
    const char* wkt = proj_as_wkt(context.get(), crs.get(), PJ_WKT1_ESRI, nullptr);
    return wkt ? std::string(wkt) : std::string();
}

const std::string& ProjectionTexts::ForRun(const RunCoordinateSystem& system) {
    const int32_t epsg = PlaneRectangularEpsg(system);
    auto found = by_epsg_.find(epsg);
    if (found == by_epsg_.end()) found = by_epsg_.emplace(epsg, epsg ? EsriWktOfEpsg(epsg) : "").first;
    return found->second;
}

bool WriteProjectionFile(const std::filesystem::path& base, std::string_view wkt) {
    if (wkt.empty()) return true;
    std::filesystem::path path = base;
    path += ".prj";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(wkt.data(), static_cast<std::streamsize>(wkt.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace gridora

#include "convert/writer_helpers.h"

#include <shapefil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace gridora::testing {

std::string CrLfLines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string HeaderLine(std::string_view sheet_name, double origin_x, double origin_y, double upper_right_x,
                       double upper_right_y) {
    char numbers[200];
    std::snprintf(numbers, sizeof numbers, "%.3f,%.3f,%.3f,%.3f", origin_x, origin_y, upper_right_x, upper_right_y);
    return "FH," + std::string(sheet_name) + ",DM,1,2,3,4,5," + numbers;
}

std::string TestSheetHeader(std::string_view sheet_name) {
    return HeaderLine(sheet_name, 1000.0, 2000.0, 1300.0, 2400.0);
}

std::string DescriptionText(std::string_view line7, std::initializer_list<std::string_view> files) {
    std::string text = CrLfLines({"line one", "line two", "200301", "history", "09LD171", "level"});
    text += CrLfLines({line7, "m", "09LD172", "line ten"});
    for (std::string_view file : files) {
        text += file;
        text += "\r\n";
    }
    return text;
}

std::string LayerContents::Text(int record, std::string_view field) const {
    const auto at = std::find(field_names.begin(), field_names.end(), field);
    if (at == field_names.end() || record < 0 || record >= static_cast<int>(values.size())) return "<no field>";
    std::string text = values[static_cast<std::size_t>(record)][static_cast<std::size_t>(at - field_names.begin())];
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

int LayerContents::Integer(int record, std::string_view field) const {
    return std::atoi(Text(record, field).c_str());
}

LayerContents ReadLayer(const std::filesystem::path& base) {
    LayerContents layer;
    SHPHandle shapes = SHPOpen(base.c_str(), "rb");
    std::filesystem::path dbf = base;
    dbf += ".dbf";
    DBFHandle table = DBFOpen(dbf.c_str(), "rb");
    if (shapes && table) {
        layer.opened = true;
        SHPGetInfo(shapes, &layer.shape_count, &layer.shape_type, nullptr, nullptr);
        for (int i = 0; i < layer.shape_count; ++i) {
            SHPObject* object = SHPReadObject(shapes, i);
            std::vector<Vertex> vertices;
            std::vector<int> starts;
            layer.shape_types.push_back(object ? object->nSHPType : -1);
            if (object) {
                for (int v = 0; v < object->nVertices; ++v) vertices.push_back({object->padfX[v], object->padfY[v]});
                for (int p = 0; p < object->nParts; ++p) starts.push_back(object->panPartStart[p]);
                SHPDestroyObject(object);
            }
            layer.vertices.push_back(std::move(vertices));
            layer.part_starts.push_back(std::move(starts));
        }
        layer.record_count = DBFGetRecordCount(table);
        for (int f = 0; f < DBFGetFieldCount(table); ++f) {
            char name[12] = {};
            DBFGetFieldInfo(table, f, name, nullptr, nullptr);
            layer.field_names.emplace_back(name);
        }
        for (int r = 0; r < layer.record_count; ++r) {
            std::vector<std::string> row;
            for (int f = 0; f < DBFGetFieldCount(table); ++f) {
                const char* text = DBFReadStringAttribute(table, r, f);
                row.emplace_back(text ? text : "");
            }
            layer.values.push_back(std::move(row));
        }
    }
    if (shapes) SHPClose(shapes);
    if (table) DBFClose(table);
    return layer;
}

RunFixture::RunFixture(std::filesystem::path output_folder) : output(std::move(output_folder)) {
    std::filesystem::create_directories(output);
}

SheetOutcome RunFixture::Convert(const std::filesystem::path& description, std::string_view municipality_code) {
    return ConvertSheet(description, municipality_code, output / "run.lis", run, port);
}

std::vector<std::string> FileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace gridora::testing

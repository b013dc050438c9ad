// The polygon layers and the material they leave for the cross-sheet assembly.
//
// Expects: the sheet's theme folder with the theme's .ARC and the layer's .PGN and .ATR.
// Leaves: staged groups for base and base + "_pgn" with the label lines of base +
// "_pgn.txt" (polygon flag), and for base + "_arc" with the split segments of base +
// "_arc.txt" (line flag); the theme's arcs in the work arrays, marked with the polygons
// on their sides.

#include <charconv>

#include "convert/arc_vertices.h"
#include "convert/attribute_file.h"
#include "convert/engine_session.h"
#include "convert/layer_writers.h"
#include "convert/side_file_formats.h"
#include "input/conversion_error.h"
#include "input/data_readers.h"
#include "ringweld.h"

namespace gridora {

namespace {

constexpr int kFirstValueField = 3;
constexpr int32_t kFrameLineTag = 5;     // the sheet-frame line: its polygons are cut
constexpr int32_t kNoBoundaryLineTag = 6;  // lines that bound no area

// The references of a polygon in PgnArcRefs, as a 1-based index range.
struct ReferenceRange {
    int32_t first, last;
};

ReferenceRange ReferencesOf(const PgnRecord& polygon, const PgnArcRefs& refs) {
    if (polygon.first_ref < 1 || polygon.last_ref < polygon.first_ref || polygon.last_ref > refs.Count())
        return {1, 0};
    return {polygon.first_ref, polygon.last_ref};
}

// Walks a polygon's arcs into its ring. Where the arcs have come back to the ring's first
// point and more arcs follow (a hole listed after its outline), the next ring of the shape
// starts there, so that every ring written is closed; otherwise the vertices are exactly
// the points visited, each point equal to the one before it left out.
class RingWalk {
public:
    void Append(StagedShapefile& file, const ArcPoints& points, const ArcRecord& arc, bool forwards,
                const SheetHeader& header) {
        if (arc.first_point < 1 || arc.last_point < arc.first_point || arc.last_point > points.Count()) return;
        if (closed_) {
            file.StartPart();
            trail_ = PointTrail{};
            ring_vertices_ = 0;
            closed_ = false;
        }
        if (ring_vertices_ == 0) first_ = points.At(forwards ? arc.first_point : arc.last_point);
        ring_vertices_ += AppendArcVertices(file, points, arc, forwards, header, trail_);
        closed_ = ring_vertices_ >= 4 && trail_.last.x == first_.x && trail_.last.y == first_.y;
    }

private:
    PointTrail trail_;
    ArcPoint first_;
    int ring_vertices_ = 0;
    bool closed_ = false;
};

bool InEngineDomain(int32_t coordinate) {
    return coordinate > -RW_COORDINATE_LIMIT && coordinate < RW_COORDINATE_LIMIT;
}

// A value as the shortest text that reads back to it.
std::string ShortestText(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string();
}

// Throws ConversionError naming the .ARC line of the first point whose engine coordinates
// fall outside the engine's domain, where the engine would refuse the segment.
void CheckEngineDomain(const ArcPoint& p, const SheetHeader& header, const std::string& arc_file) {
    if (InEngineDomain(EngineCoordinate(p.x + header.OriginX)) && InEngineDomain(EngineCoordinate(p.y + header.OriginY)))
        return;
    throw ConversionError(arc_file, p.line, ShortestText(p.x) + "," + ShortestText(p.y), ConversionError::kOutOfRange);
}

}  // namespace

void WritePolygonLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                       std::string_view layer_name, std::string_view theme_folder,
                       const std::filesystem::path& output_folder) {
    const std::filesystem::path base = LayerOutputBase(output_folder, layer_name);
    StagedFileGroup& group = context.output.AddGroup(layer, FileFlag::Polygon);
    StagedShapefile& all = group.shapefiles.emplace_back(base, SHPT_POLYGON, std::string(layer_name));
    StagedShapefile& complete =
        group.shapefiles.emplace_back(Suffixed(base, "_pgn"), SHPT_POLYGON, std::string(layer_name));
    group.has_side_file = true;
    group.side_file.path = Suffixed(base, "_pgn.txt");

    WorkArrays& arrays = context.arrays;
    const std::filesystem::path theme = sheet_folder / theme_folder;
    // A sheet without a file has none of its records, rather than those of the file read
    // before it.
    if (!ReadArcFile(theme / theme_folder, arrays, context.port)) {
        arrays.arc_records.Clear();
        arrays.arc_points.Clear();
    }
    if (!ReadPgnFile(theme / layer_name, arrays, context.port)) {
        arrays.pgn_records.Clear();
        arrays.pgn_arc_refs.Clear();
    }

    SheetHeader header;
    WalkAttributeFile(
        Suffixed(theme / layer_name, ".ATR"), 'A', "error:ATR:", layer_name, header, context.port,
        [&](const FeatureLine& feature) {
            const int record = StageFeatureRecord(all, feature, header, layer, context.statistics);
            StageFeatureValues(all, feature, kFirstValueField, all.FieldCount(), layer, context.statistics);

            const PgnRecord* polygon = FindPgn(arrays, feature.id);
            if (!polygon) {
                context.port.ShowMessage(LineMessage("error:PGNIDが見つからない:", layer_name, feature.line));
                return;
            }
            const ReferenceRange refs = ReferencesOf(*polygon, arrays.pgn_arc_refs);
            bool is_complete = true;
            RingWalk ring;
            for (int32_t i = refs.first; i <= refs.last; ++i) {
                const int32_t reference = arrays.pgn_arc_refs.At(i);
                ArcRecord* arc = FindArc(arrays, ArcIdOf(reference));
                if (!arc) {
                    context.port.ShowMessage(LineMessage("error:ARCIDが見つからない:", layer_name, feature.line));
                    continue;
                }
                if (arc->line_tag == kFrameLineTag) is_complete = false;
                if (reference > 0)
                    arc->right_polygon = feature.id;
                else
                    arc->left_polygon = feature.id;
                ring.Append(all, arrays.arc_points, *arc, reference > 0, header);
            }
            context.statistics.RaiseVertexCount(all.VertexCount(record));

            if (is_complete) {
                complete.AddRecord();
                complete.CopyRecord(all, record);
                for (int32_t i = refs.first; i <= refs.last; ++i) {
                    const int32_t reference = arrays.pgn_arc_refs.At(i);
                    if (ArcRecord* arc = FindArc(arrays, ArcIdOf(reference))) {
                        if (reference > 0)
                            arc->right_flag = 1;
                        else
                            arc->left_flag = 1;
                    }
                }
            } else {
                group.side_file.lines.push_back(
                    {record, "," + FormatLabelReal(polygon->x + header.OriginX) + "," +
                                 FormatLabelReal(polygon->y + header.OriginY)});
            }
        });

    WriteBoundaryArcs(context, layer, header, Suffixed(base, "_arc"));
}

void WriteBoundaryArcs(WriterContext& context, int layer, const SheetHeader& header,
                       const std::filesystem::path& arc_base) {
    StagedFileGroup& group = context.output.AddGroup(layer, FileFlag::Line);
    StagedShapefile& file = group.shapefiles.emplace_back(arc_base, SHPT_ARC, "ARC");
    group.has_side_file = true;
    group.side_file.path = Suffixed(arc_base, ".txt");

    const ArcRecords& arcs = context.arrays.arc_records;
    const ArcPoints& points = context.arrays.arc_points;
    auto bounds_polygon = [](const ArcRecord& arc) {
        return (arc.right_polygon != 0 || arc.left_polygon != 0) && arc.line_tag != kNoBoundaryLineTag;
    };
    // The sides not yet covered by a complete polygon.
    auto goes_to_engine = [&](const ArcRecord& arc) {
        return bounds_polygon(arc) && !(arc.right_flag != 0 && arc.left_flag != 0);
    };
    auto point_range = [&](const ArcRecord& arc) -> ReferenceRange {
        if (arc.first_point < 1 || arc.last_point < arc.first_point || arc.last_point > points.Count())
            return {1, 0};
        return {arc.first_point, arc.last_point};
    };

    for (const ArcRecord& arc : arcs.Records()) {
        if (!bounds_polygon(arc)) continue;
        file.AddRecord();
        file.SetInteger(0, arc.arc_id);
        file.SetText(1, header.sheet_name);
        file.SetText(2, arc.code.View());
        file.SetInteger(3, arc.line_tag);
        file.SetInteger(4, arc.right_polygon);
        file.SetInteger(5, arc.left_polygon);
        file.SetInteger(6, arc.right_flag != 0 ? 1 : 0);
        file.SetInteger(7, arc.left_flag != 0 ? 1 : 0);
        const ReferenceRange range = point_range(arc);
        for (int32_t i = range.first; i <= range.last; ++i)
            AddStoredPoint(file, header, points.At(i).x, points.At(i).y);
    }

    // Those sides go to the engine, which cuts the
    // segments at every crossing and keeps each distinct segment once. A point it cannot
    // take abandons the sheet before the engine is opened.
    for (const ArcRecord& arc : arcs.Records()) {
        if (!goes_to_engine(arc)) continue;
        const ReferenceRange range = point_range(arc);
        if (range.first >= range.last) continue;  // a single point makes no segment
        for (int32_t i = range.first; i <= range.last; ++i) CheckEngineDomain(points.At(i), header, context.arrays.arc_file);
    }
    const EngineSession session(1000, 1000, 1000, 2000);
    for (const ArcRecord& arc : arcs.Records()) {
        if (!goes_to_engine(arc)) continue;
        const ReferenceRange range = point_range(arc);
        for (int32_t i = range.first; i < range.last; ++i) {
            const ArcPoint& p = points.At(i);
            const ArcPoint& q = points.At(i + 1);
            rw_put_line(1, 1, EngineCoordinate(p.x + header.OriginX), EngineCoordinate(p.y + header.OriginY),
                        EngineCoordinate(q.x + header.OriginX), EngineCoordinate(q.y + header.OriginY), 1);
        }
    }
    int32_t count = 0;
    rw_create_miniline(&count);
    group.side_file.lines.reserve(static_cast<std::size_t>(count));
    int32_t ent, lin, x1, y1, x2, y2, key;
    for (int32_t result = rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key); result == 0;
         result = rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key))
        group.side_file.lines.push_back({-1, FormatSegmentLine(x1, y1, x2, y2)});
}

}  // namespace gridora

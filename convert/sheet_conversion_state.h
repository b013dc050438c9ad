// What converting sheets carries from one sheet to the next: the work arrays the readers
// refill, the buffers of the shape being written, the coordinate system and extent that the
// first sheets fix, which output files exist, and the size statistics the run records at
// its end.
//
// The conversion run owns one SheetConversionState and hands it to the sheet dispatch; the
// layer writers see only the parts they are given.
#pragma once

#include <memory>

#include "convert/geopackage_output.h"
#include "convert/layer_catalogue.h"
#include "convert/projection_files.h"
#include "convert/run_results.h"
#include "convert/shape_buffers.h"
#include "convert/sheet_output.h"
#include "convert/writer_statistics.h"
#include "input/coordinate_systems.h"
#include "input/sheet_description.h"
#include "input/work_arrays.h"
#include "platform/file_lookup.h"

namespace gridora {

struct SheetConversionState {
    WorkArrays work_arrays;
    ShapeBuffers shape;
    RunCoordinateSystem coordinate_system;  // fixed by the first sheet, -1 before
    CornerTexts corners;                    // of the last sheet converted
    RunExtent extent;
    RunStatistics statistics;
    LayerFilesMade files_made{};
    ProjectionTexts projections;
    // The output Shapefiles of the sheets written so far. The sheet dispatch closes them
    // after each sheet unless `keep_outputs_open` is set; a run that sets it converts its
    // sheets in time proportional to their number, and must call CloseOutputFiles after
    // the last sheet, before anything reads the output; output_files.Finish() closes them
    // saying whether every write reached the disk.
    OpenOutputFiles output_files;
    bool keep_outputs_open = false;
    // When set, the sheets go into this GeoPackage instead of Shapefiles; the run opens it
    // and finishes it after the seamless step.
    std::unique_ptr<GeoPackageOutput> geopackage;

    void CloseOutputFiles() { output_files.CloseAll(); }
    RunResults Results() const {
        return {coordinate_system, extent, files_made,
                geopackage ? PathToCp932(geopackage->Path().filename()) : std::string()};
    }
    // The state a run starts with (output files closed); capacities of the work arrays
    // start afresh too.
    void Reset();
};

}  // namespace gridora

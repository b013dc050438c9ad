#include "convert/sheet_conversion_state.h"

namespace gridora {

void SheetConversionState::Reset() {
    output_files.CloseAll();
    geopackage.reset();
    work_arrays = WorkArrays{};
    shape.Clear();
    coordinate_system = RunCoordinateSystem{};
    corners = CornerTexts{};
    extent = RunExtent{};
    statistics = RunStatistics{};
    files_made = LayerFilesMade{};
}

}  // namespace gridora

// The 19 plane-rectangular coordinate systems of Japan, the datum texts of the sheet
// frame, the captions of road-node tags, and the check that keeps a run in one system.
// All texts returned are CP932.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace gridora {

struct CoordinateSystem {
    int32_t number;
    std::string_view name;              // UTF-8 source text; CoordinateSystemName gives CP932
    std::string_view origin_longitude;  // decimal degrees, used as it stands
    std::string_view origin_latitude;
    std::string_view epsg_code;
};

extern const std::array<CoordinateSystem, 19> CoordinateSystemTable;

// The row of system 1-19, or nullptr.
const CoordinateSystem* FindCoordinateSystem(int32_t number);

// "第Ⅰ系" ... "第ⅩⅨ系" for 1-19, empty otherwise.
const std::string& CoordinateSystemName(int32_t number);

// The datum text of line 7's datum flag 0-3, empty otherwise.
const std::string& DatumText(int32_t flag);

// The caption of a road-node tag: the text of its tens digit (boundary connection)
// followed by that of its units digit (position on the frame); digits by truncating
// division, so negative tags have no units text.
std::string NodeTagCaption(int32_t tag);

// The run's coordinate system: fixed by its first sheet, -1 until then.
struct RunCoordinateSystem {
    int32_t number = -1;
    int32_t datum_flag = 0;
};

// Admits a sheet of the given system into the run: false (the run unchanged) when the
// run's system is fixed and differs; otherwise the run takes the sheet's system and
// datum flag.
bool AdmitSheetCoordinateSystem(RunCoordinateSystem& run, int32_t sheet_system, int32_t datum_flag);

}  // namespace gridora

#include "input/sheet_header.h"

namespace gridora {

void ReadSheetHeader(std::string_view rest, SheetHeader& header, const SourceLine& at) {
    header.sheet_name = TakeField(rest);
    header.second_text = TakeField(rest);
    for (int32_t& number : header.numbers) number = ParseInteger(TakeField(rest));
    header.OriginX = RealField(TakeField(rest), at);
    header.OriginY = RealField(TakeField(rest), at);
    header.upper_right_x = RealField(TakeField(rest), at);
    header.upper_right_y = RealField(TakeField(rest), at);
    if (rest.empty()) {
        header.upper_left_x = header.upper_right_x;
        header.upper_left_y = header.OriginY;
        header.lower_right_x = header.OriginX;
        header.lower_right_y = header.upper_right_y;
        return;
    }
    header.upper_left_x = RealField(TakeField(rest), at);
    header.upper_left_y = RealField(TakeField(rest), at);
    header.lower_right_x = RealField(TakeField(rest), at);
    header.lower_right_y = RealField(TakeField(rest), at);
}

}  // namespace gridora

#include "convert/run_results.h"

#include <algorithm>

namespace gridora {

void RunExtent::Include(double lower_left_north, double lower_left_east, double upper_right_north,
                        double upper_right_east) {
    min_east = std::min(min_east, lower_left_east);
    min_north = std::min(min_north, lower_left_north);
    max_east = std::max(max_east, upper_right_east);
    max_north = std::max(max_north, upper_right_north);
}

}  // namespace gridora

#include "convert/shape_buffers.h"

namespace gridora {

uint64_t ShapeRecordBytes(int shape_type, int parts, int vertices) {
    constexpr uint64_t kRecordHeader = 8, kTypeWord = 4, kBox = 32, kCounts = 8, kPartStart = 4, kXY = 16;
    if (vertices == 0) return kRecordHeader + kTypeWord;
    if (shape_type == SHPT_POINT) return kRecordHeader + kTypeWord + kXY;
    return kRecordHeader + kTypeWord + kBox + kCounts + kPartStart * static_cast<uint64_t>(parts > 1 ? parts : 1) +
           kXY * static_cast<uint64_t>(vertices);
}

void ShapeBuffers::Clear() {
    x_.clear();
    y_.clear();
    z_.clear();
    m_.clear();
    part_starts_.clear();
    part_types_.clear();
}

void ShapeBuffers::StartPart(int part_type) {
    part_starts_.push_back(VertexCount());
    part_types_.push_back(part_type);
}

void ShapeBuffers::AddVertex(double x, double y) {
    x_.push_back(x);
    y_.push_back(y);
    z_.push_back(0.0);
    m_.push_back(0.0);
}

bool ShapeBuffers::AppendTo(SHPHandle shapes, int shape_type) {
    SHPObject* object =
        x_.empty() ? SHPCreateSimpleObject(SHPT_NULL, 0, nullptr, nullptr, nullptr)
                   : SHPCreateObject(shape_type, -1, PartCount(), part_starts_.data(), part_types_.data(),
                                     VertexCount(), x_.data(), y_.data(), z_.data(), m_.data());
    if (!object) return false;
    const int written = SHPWriteObject(shapes, -1, object);
    SHPDestroyObject(object);
    return written >= 0;
}

}  // namespace gridora

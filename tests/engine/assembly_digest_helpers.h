// A fingerprint of everything one assembly leaves in the session tables: minilines (with
// their keys, so that which duplicate survived shows), arcs with their faces, nodes and
// points, and polygons with every point record. Equal fingerprints mean equal results,
// record for record and in the same order.
#pragma once

#include <cstdint>
#include <vector>

#include "bench/segment_sets.h"

namespace assembly_digest {

struct Line {
    int32_t ent, lin, x1, y1, x2, y2, key;
};

// Segments on a coarse lattice, drawn so that equal lines with different keys, shared
// end points, overlaps and crossings are everywhere: ties in every sort of the engine.
std::vector<Line> crowded_lattice(uint32_t seed, int count);

// The generated benchmark sets, one key per segment.
std::vector<Line> generated(segment_sets::Kind kind, int64_t count);

// Runs the whole assembly in a fresh session and returns the fingerprint (the stages'
// status codes included). Closes the session.
uint64_t assemble_and_digest(const std::vector<Line>& lines, bool cancel_pairs);

}  // namespace assembly_digest

/*
 * ringweld: polygon assembly from line work.
 *
 * A flat C API over one session per thread. Every export returns an int32_t:
 *   0   success,
 *   -1  an iterator has no more items (its outputs are left untouched),
 *   >0  an error number; rw_get_errormsg gives its CP932 text.
 * Results are written through caller-owned int32_t pointers, and only on success.
 * Nothing is allocated across the boundary; message texts are static.
 * Each thread has its own session, direction flag and overlay tables: a thread's calls act
 * on its own state only, so threads may assemble at the same time without locks, while one
 * thread's session is never seen by another. Within a thread the library is not re-entrant.
 *
 * Coordinates live in the domain |x|, |y| < RW_COORDINATE_LIMIT (2^30), where every
 * coordinate difference fits 32 bits. The calls that take lines or points in (rw_put_line,
 * rw_put_line_ext, ex_put_shapeline, ex_put_meshline, rw_set_onepoly) return 101 for one
 * outside it and store nothing.
 * Memory: a call that fills a table returns that table's overflow number instead when memory
 * runs out while it grows (11 line tables, 21 coordinate tables, 62 arc tables, 92 polygon
 * records, 93 polygon points); no exception leaves the library and the tables stay readable.
 * The error numbers the calls return are named below (RW_ERR_...).
 */
#ifndef RINGWELD_H
#define RINGWELD_H

#include <stdint.h>

#if defined(RINGWELD_BUILDING)
#define RW_API __attribute__((visibility("default")))
#else
#define RW_API
#endif

/* Coordinates are valid while their magnitude is below this. */
#define RW_COORDINATE_LIMIT 1073741824

/* The error numbers the calls return; rw_get_errormsg gives the text of each (but 128). */
#define RW_ERR_LINE_OVERFLOW 11            /* line tables (linsize) ran out of memory */
#define RW_ERR_COORDINATE_OVERFLOW 21      /* coordinate tables (pxysize) ran out of memory */
#define RW_ERR_ARC_TOO_LONG 61             /* an arc would pass 5999 points */
#define RW_ERR_ARC_OVERFLOW 62             /* arc tables (arcsize) ran out of memory */
#define RW_ERR_TOO_MANY_CROSSINGS 71       /* a scan line crosses more arcs than allowed (6000; rw_set_max_crossings) */
#define RW_ERR_NO_ARC_DATA 91              /* no arc bounds a face: nothing to trace */
#define RW_ERR_POLYGON_OVERFLOW 92         /* polygon records ran out of memory */
#define RW_ERR_POLYGON_POINT_OVERFLOW 93   /* polygon points ran out of memory */
#define RW_ERR_RING_BROKEN 94              /* a ring could not be closed */
#define RW_ERR_OUT_OF_RANGE 101            /* a coordinate or area outside the integer domain */
#define RW_ERR_RING_UNATTACHED 128         /* hole bridging left a ring unattached */

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Session and messages ------------------------------------------------------------- */

/* Opens a session (closing any open one). The four sizes are the initial capacities and
 * growth steps of the work tables; they are hints, never limits: any value is taken (below 1
 * as 1), and no table allocates more than about a megabyte up front. Returns 0. */
RW_API int32_t rw_start(int32_t linsize, int32_t arcsize, int32_t polsize, int32_t pxysize);

/* Frees every session table. Safe with no session open. Returns 0. */
RW_API int32_t rw_end(void);

/* Direction flag for ring orientation: rdir 0 sets it to 1, anything else to 0.
 * Library-wide; rw_start and rw_end leave it alone. Returns 0. */
RW_API int32_t rw_set_rdir(int32_t rdir);

/* How many arcs one scan line of face labelling (rw_create_arcline) may cross before the
 * call stops with RW_ERR_TOO_MANY_CROSSINGS: 6000 when the library is loaded; 0 or less
 * lifts the limit, for drawings as wide as a whole region's buildings. Results below the
 * limit do not depend on it. Library-wide (per thread, as the session); rw_start and
 * rw_end leave it alone. Returns 0. */
RW_API int32_t rw_set_max_crossings(int32_t count);
#define RW_DEFAULT_MAX_CROSSINGS 6000

/* *out_text receives the static CP932 text of an error number and the call returns 0;
 * for an unknown number (including 0) it receives "" and the call returns 1. */
RW_API int32_t rw_get_errormsg(int32_t code, const char **out_text);

/* ---- Lines and minilines -------------------------------------------------------------- */

/* Lines are straight segments with integer coordinates, tagged with the caller's ent, lin
 * (16-bit values, passed widened) and key. A line is stored with its lower endpoint first
 * (smaller y, or on equal y the smaller x); a line whose endpoints are equal is ignored. */

/* Empties the line and staging tables; the session stays open. Returns 0. */
RW_API int32_t rw_init_line(void);

/* Appends a line to the line table. Returns 0, or 101 when a coordinate lies outside the
 * domain (nothing stored). */
RW_API int32_t rw_put_line(int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           int32_t key);

/* Appends a line to the staging table, for rw_put_line_ext_cpy. Returns 0, or 101 when a
 * coordinate lies outside the domain (nothing stored). */
RW_API int32_t rw_put_line_ext(int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                               int32_t key);

/* Moves the staging table into the line table, dropping equal lines in pairs (a shared
 * edge entered once from each side vanishes), and empties the staging table. Returns 0;
 * *out_count receives the number of lines moved. */
RW_API int32_t rw_put_line_ext_cpy(int32_t *out_count);

/* Replaces the line table by its minilines: lines sorted, one input line kept per geometry
 * (the one with the greatest lin), and every line cut wherever another meets it. Where two
 * lines overlap collinearly, the shared stretch remains once per parent line (identical
 * minilines with each parent's key, ent and lin). Cut points are rounded to the integer
 * grid and the pieces are not cut again: horizontal and vertical lines come out with no
 * two minilines crossing, but a slanted piece whose end moved by the rounding can cross or
 * run along a neighbour, or be cut where a line passes within half a unit of it without
 * meeting it. Returns 0; *out_count receives the number of minilines. */
RW_API int32_t rw_create_miniline(int32_t *out_count);

/* As rw_create_miniline, but equal lines cancel in pairs instead: an even number of copies
 * vanishes, an odd number keeps one (except three or more copies sorting last, which
 * vanish). Returns 0; *out_count receives the number of minilines. */
RW_API int32_t rw_create_miniline_dupcut(int32_t *out_count);

/* Returns 0; *out_minilines receives the number of records in the line table and
 * *out_endpoints the number of arc end points (0 before arc assembly). */
RW_API int32_t rw_getnum_miniline(int32_t *out_minilines, int32_t *out_endpoints);

/* Reads record `index` (from 0) of the line table. Returns 0 and writes the seven fields,
 * or returns 14 and writes nothing when index is outside the table. */
RW_API int32_t rw_getxy_miniline(int32_t index, int32_t *out_ent, int32_t *out_lin, int32_t *out_x1,
                                 int32_t *out_y1, int32_t *out_x2, int32_t *out_y2, int32_t *out_key);

/* Iterates over the line table: rw_first_miniline restarts at record 0. Each returns 0 and
 * writes the record's fields, or -1 past the last record, writing nothing. The cursor is
 * the library's and survives until the next rw_first_miniline. */
RW_API int32_t rw_first_miniline(int32_t *out_ent, int32_t *out_lin, int32_t *out_x1, int32_t *out_y1,
                                 int32_t *out_x2, int32_t *out_y2, int32_t *out_key);
RW_API int32_t rw_next_miniline(int32_t *out_ent, int32_t *out_lin, int32_t *out_x1, int32_t *out_y1,
                                int32_t *out_x2, int32_t *out_y2, int32_t *out_key);

/* Writes the line table as a text listing (a header line, then one fixed-width line per
 * record, CR LF line ends) to the file `path`, created or overwritten. Returns 0, or -1 when
 * the file cannot be written; the table is unchanged either way. */
RW_API int32_t rw_prt_miniline(const char *path);

/* ---- Arcs ----------------------------------------------------------------------------- */

/* An arc is a maximal chain of minilines between nodes (positions where other than two
 * miniline ends meet), or a closed loop through such positions. Arcs are numbered 1..N;
 * record 0 is a placeholder. face1 is the face on the arc's right-hand side walking in point
 * order (x to the right, y up), face2 the one on its left; 0 is the outside. ring1 and
 * ring2 are the ring numbers polygon assembly gives the two sides. start and end are node
 * numbers, first and last the arc's inclusive range in the arc-point table. */

/* Builds the arcs from the minilines, labels their faces and prepares polygon assembly.
 * Returns 0 and *out_count = N; 61 when an arc would have more than 5999 points, 71 when a
 * labelling scan line meets more than 6000 segments (*out_count not written). */
RW_API int32_t rw_create_arcline(int32_t *out_count);

/* Returns 0; *out_arcs = N, *out_points = the number of arc points. */
RW_API int32_t rw_getnum_arcline(int32_t *out_arcs, int32_t *out_points);

/* Reads / overwrites arc record `index` (0..N; ring bytes zero-extended when read, taken
 * from the low byte when written). Returns 0, or -1 and touches nothing for another index. */
RW_API int32_t rw_getarc_arcline(int32_t index, int32_t *out_face1, int32_t *out_face2, int32_t *out_ring1,
                                 int32_t *out_ring2, int32_t *out_start, int32_t *out_end, int32_t *out_first,
                                 int32_t *out_last);
RW_API int32_t rw_putarc_arcline(int32_t index, int32_t face1, int32_t face2, int32_t ring1, int32_t ring2,
                                 int32_t start, int32_t end, int32_t first, int32_t last);

/* Reads arc point `index` (from 0; ent and lin zero-extended). Returns 0, or -1 and writes
 * nothing for an index outside the arc-point table. */
RW_API int32_t rw_getdat_arcline(int32_t index, int32_t *out_x, int32_t *out_y, int32_t *out_ent, int32_t *out_lin);

/* Iterates over arcs 1..N: rw_first_arcline restarts, each call returns 0 with the arc's
 * faces, ring bytes and point count and restarts its point cursor, or -1 past arc N.
 * rw_next_arcdata returns the current arc's next point, or -1 after its last. */
RW_API int32_t rw_first_arcline(int32_t *out_face1, int32_t *out_face2, int32_t *out_ring1, int32_t *out_ring2,
                                int32_t *out_npoints);
RW_API int32_t rw_next_arcline(int32_t *out_face1, int32_t *out_face2, int32_t *out_ring1, int32_t *out_ring2,
                               int32_t *out_npoints);
RW_API int32_t rw_next_arcdata(int32_t *out_x, int32_t *out_y, int32_t *out_ent, int32_t *out_lin);

/* The current arc's number and node / point fields. Return 0, or -1 (writing nothing) when
 * the iteration stands past the last arc. */
RW_API int32_t rw_getdef_arcline(int32_t *out_index, int32_t *out_start, int32_t *out_end, int32_t *out_first,
                                 int32_t *out_last);
RW_API int32_t rw_ext_arcline(int32_t *out_index, int32_t *out_start, int32_t *out_end);

/* rw_save_arcline keeps a copy of arc records 0..N (not their points), replacing any earlier
 * copy; returns 0, or 1 when no arcs were made in this session. rw_load_arcline copies it
 * back and restores N (N = 0 when nothing was saved); returns 0. */
RW_API int32_t rw_save_arcline(void);
RW_API int32_t rw_load_arcline(void);

/* ---- Polygons ------------------------------------------------------------------------- */

/* One polygon per face > 0, in ascending face order, numbered from 1. Its points run: the
 * outer ring, closed (ring 0); then each further ring k (ring k, key 0 on its first point),
 * normally followed by a closing record back to the polygon's first point (key 0, ring 0).
 * Other keys are the lin of the segment arriving at the point. With the direction flag at
 * 1 (the default) outer rings run clockwise and holes counter-clockwise (x right, y up). */

/* Walks the rings of every face. Returns 0, 91 when no arc bounds a face, or 94 when a ring
 * cannot be continued; *out_count receives the number of polygons made, on error too. */
RW_API int32_t rw_create_polygon(int32_t *out_count);

/* Returns 0; the number of polygons and of polygon-point records. */
RW_API int32_t rw_getnum_polygon(int32_t *out_polygons, int32_t *out_points);

/* Reads polygon n (1-based): face, bounding box, point count and 1-based first point.
 * Leaves the iteration alone. Returns 0, or -1 and writes nothing for another n. */
RW_API int32_t rw_getpol_polygon(int32_t n, int32_t *out_face, int32_t *out_minx, int32_t *out_miny, int32_t *out_maxx,
                                 int32_t *out_maxy, int32_t *out_npoints, int32_t *out_first);

/* Reads polygon-point record i (1-based). Returns 0, or -1 and writes nothing for another i. */
RW_API int32_t rw_getdat_polygon(int32_t i, int32_t *out_x, int32_t *out_y, int32_t *out_key);
RW_API int32_t rw_getdat_polygon2(int32_t i, int32_t *out_x, int32_t *out_y, int32_t *out_key, int32_t *out_ring);

/* Iterates over polygons: each returns 0 with the face and point count and makes the polygon
 * current, or -1 past the last. rw_next_polydata / rw_next_polydata2 return the current
 * polygon's next record, or -1 after its last; rw_rewind_polydata starts it again. */
RW_API int32_t rw_first_polygon(int32_t *out_face, int32_t *out_npoints);
RW_API int32_t rw_next_polygon(int32_t *out_face, int32_t *out_npoints);
RW_API int32_t rw_rewind_polydata(void);
RW_API int32_t rw_next_polydata(int32_t *out_x, int32_t *out_y, int32_t *out_key);
RW_API int32_t rw_next_polydata2(int32_t *out_x, int32_t *out_y, int32_t *out_key, int32_t *out_ring);

/* Extended iteration: every polygon (number = face) with its outer ring only, then every
 * further ring as a polygon of its own, numbered on from the largest face, its points in
 * reverse order. rw_next_polydata_ext returns 0 per point and -1 at the end; in the polygon
 * phase it stops at the first point of a further ring, returning that record with -1. */
RW_API int32_t rw_first_polygon_ext(int32_t *out_polygon, int32_t *out_npoints);
RW_API int32_t rw_next_polygon_ext(int32_t *out_polygon, int32_t *out_npoints);
RW_API int32_t rw_next_polydata_ext(int32_t *out_x, int32_t *out_y, int32_t *out_key, int32_t *out_ring);

/* The further rings in creation order: owner face, ring identifier (numbered on from the
 * largest face) and ring number within the face. 0 per ring, -1 after the last. */
RW_API int32_t rw_first_polexttabl(int32_t *out_owner, int32_t *out_ring_id, int32_t *out_ring_no);
RW_API int32_t rw_next_polexttabl(int32_t *out_owner, int32_t *out_ring_id, int32_t *out_ring_no);

/* Touch points: each node where a face's boundary passes more than once, listed once per
 * face. 0 per point, -1 after the last. */
RW_API int32_t rw_first_pol1dat(int32_t *out_face, int32_t *out_x, int32_t *out_y);
RW_API int32_t rw_next_pol1dat(int32_t *out_face, int32_t *out_x, int32_t *out_y);


/* ---- Polygon queries ------------------------------------------------------------------ */

/* These read the polygons of the last rw_create_polygon. Several share the polygon
 * iteration's current polygon (rw_first_polygon, rw_next_polygon): a polygon is current
 * once one of those or rw_find_polygon has made it so, until the next rw_create_polygon,
 * rw_start or rw_end. Each query reads a polygon's whole record run (every ring and the
 * closing records between them), x and y only. */

/**
 * Makes the polygon of a face current.
 *
 * @param face        The face number to look for.
 * @return            0 when the face has a polygon: it becomes current and its point cursor
 *                    restarts, so rw_next_polydata2 delivers its records; -1 when it has
 *                    none, and the current polygon stays as it was.
 */
RW_API int32_t rw_find_polygon(int32_t face);

/**
 * Finds the polygon that contains a point, by counting the crossings of the ray from the
 * point towards larger x with the polygon's record run (even-odd over all its rings). A
 * point on a left or lower boundary counts as inside, one on a right or upper boundary as
 * outside. The current polygon is left alone.
 *
 * @param x, y        The point.
 * @param out_face    Receives the face of the first polygon in table order that contains
 *                    the point; written only when the call returns 0.
 * @return            0 when a polygon contains the point, -1 when none does.
 */
RW_API int32_t rw_findxy_polygon(int32_t x, int32_t y, int32_t *out_face);

/**
 * A label point inside a face's polygon: on the horizontal line through the middle of its
 * bounding box (rounded, halves to even), the middle of the widest stretch inside the
 * polygon. When no stretch qualifies, the middle of the bounding box. The polygon becomes
 * current.
 *
 * @param face        The face number.
 * @param out_x, out_y  Receive the label point; written only when the call returns 0.
 * @return            0, or -1 when the face has no polygon.
 */
RW_API int32_t rw_center_polygon(int32_t face, int32_t *out_x, int32_t *out_y);

/**
 * The label point of the current polygon, as rw_center_polygon finds it but starting from
 * the bounding box's middle with truncating integer division. Does not search for the
 * face; it only compares it with the current polygon's.
 *
 * @param face        The face the caller believes current.
 * @param out_x, out_y  Receive the label point whenever a polygon is current.
 * @return            0 when face is the current polygon's face, 1 when it is another face
 *                    (the outputs still describe the current polygon), -1 when no
 *                    polygon is current (nothing written).
 */
RW_API int32_t rw_center_polygondef(int32_t face, int32_t *out_x, int32_t *out_y);

/**
 * The signed area of a face's polygon: positive for clockwise runs (x right, y up), so
 * with the default direction flag outer rings add and holes subtract. The polygon becomes
 * current.
 *
 * @param face        The face number.
 * @param out_area    Receives the area in squared coordinate units, rounded to the nearest
 *                    integer (halves to even); written with 0 when the call returns 101,
 *                    untouched when it returns -1.
 * @return            0, -1 when the face has no polygon, 101 when the area is outside the
 *                    32-bit range.
 */
RW_API int32_t rw_calarea_polygon(int32_t face, int32_t *out_area);

/**
 * As rw_calarea_polygon, unrounded.
 *
 * @param face        The face number.
 * @param out_area    Receives the area as a double; written only when the call returns 0.
 * @return            0, or -1 when the face has no polygon.
 */
RW_API int32_t rw_calareaD_polygon(int32_t face, double *out_area);

/**
 * Whether the current polygon's record run repeats a vertex, its last record left out.
 * A simple closed ring repeats none; a polygon with holes always does.
 *
 * @return            1 when no two records have equal x and y, 0 when two do, -1 when no
 *                    polygon is current.
 */
RW_API int32_t rw_check1pol_polygondef(void);

/* ---- Near-node bridging --------------------------------------------------------------- */

/* Joins every ring of one polygon into a single closed sequence of points: each hole is
 * attached by a bridge from its nearest point on the outer ring, or on a hole attached
 * before, that crosses no boundary segment; the walk runs round the outer ring and detours
 * once round each attached ring at its bridge point, coming back to that point after it.
 * The bridged rings are copies: the polygon tables are not changed. */

/**
 * Builds the bridged rings of a face's polygon, replacing any built before. The polygon
 * becomes current.
 *
 * @param face        The face number.
 * @return            0 when every ring is attached; 128 when a ring could not be attached
 *                    (the walk then leaves it out); -1 when the face has no polygon
 *                    (nothing built, and any earlier build is dropped).
 */
RW_API int32_t rw_nearnode_connectpolygon(int32_t face);

/**
 * Starts the walk over the bridged rings and returns its first point; rw_nearnode_getnextXY
 * returns the following ones. Every point is returned with the number of the ring it lies
 * on (0 for the outer ring); where the walk comes back across a bridge, the bridge point is
 * returned again. The walk may be restarted any number of times.
 *
 * @param out_x, out_y  Receive the point.
 * @param out_key     Receives the point's key as the polygon-point table holds it.
 * @param out_ring    Receives the ring number.
 * @return            0 with a point (outputs written); -1 at the end of the walk, or when
 *                    nothing was built by rw_nearnode_connectpolygon (outputs untouched).
 */
RW_API int32_t rw_nearnode_getfirstXY(int32_t *out_x, int32_t *out_y, int32_t *out_key, int32_t *out_ring);
RW_API int32_t rw_nearnode_getnextXY(int32_t *out_x, int32_t *out_y, int32_t *out_key, int32_t *out_ring);

/**
 * Frees the bridged rings. Safe when none are built.
 *
 * @return            0.
 */
RW_API int32_t rw_nearnode_connectclose(void);

/* ---- Mesh cutting and shape lines ---------------------------------------------------- */

/* Overlays closed outlines (shapes, such as area outlines) with a grid of mesh cells and
 * reports the pieces. The four overlay tables (shapes, shape points, cells, cell points)
 * belong to the library, not to the engine session: they survive rw_end and are released
 * by ex_end or the next ex_start. A caller:
 *   ex_start; ex_put_shapeline / ex_put_meshline per point; ex_cal_meshcut; rw_start (if
 *   not open); ex_mesh_line; rw_create_miniline or rw_create_miniline_dupcut;
 *   rw_create_arcline; rw_create_polygon; ex_first_polylink / ex_next_polylink, and
 *   ex_next_polyldat per point; ex_end.
 * A run of puts with one group id is one shape (or cell); a new one starts when the id
 * differs from the previous put's, or when its table is empty. Shapes and cells are
 * numbered from 1 in the order they were started. */

/**
 * Empties the four overlay tables and sets their initial capacities (hints only; each table
 * grows by 100 records as needed, whatever rw_start was given).
 *
 * @return            0.
 */
RW_API int32_t ex_start(int32_t shapes, int32_t shape_points, int32_t meshes, int32_t mesh_points);

/**
 * Frees the overlay tables. Safe when they are empty.
 *
 * @return            0.
 */
RW_API int32_t ex_end(void);

/**
 * Appends a point to the shape of `group`. The shape's code (the value its engine lines carry
 * as their key) is `code` of the put that started it; `key` is the point's own value, which
 * the segment leaving the point carries as its lin (16 bits, wrapping above 32767).
 *
 * @return            0, or 101 when the point lies outside the domain (nothing stored).
 */
RW_API int32_t ex_put_shapeline(int32_t group, int32_t key, int32_t x, int32_t y, int32_t code);

/**
 * Appends a point to the mesh cell of `group`; the cell's identifier is the group id.
 * `unused` is ignored; `key` is stored with the point.
 *
 * @return            0, or 101 when the point lies outside the domain (nothing stored).
 */
RW_API int32_t ex_put_meshline(int32_t group, int32_t unused, int32_t x, int32_t y, int32_t key);

/**
 * Writes the shape tables to the text file `path` (created or overwritten; CR LF line ends):
 * the shape count (width 6) and shape point count (10); per shape its number (6), first
 * point (8) and point count (4), then per point its index in the shape point table (4),
 * x (11) and y (11). Numbers are right-aligned, wider ones written in full.
 *
 * @return            0, or -1 when the file cannot be written.
 */
RW_API int32_t ex_prt_shapeline(const char *path);

/**
 * Flags the mesh cells to be cut: a cell whose bounding box meets (bounds inclusive) the box
 * of at least one shape. Writes the four table sizes.
 *
 * @param out_shapes, out_shape_points, out_meshes, out_mesh_points  Receive the counts.
 * @return            0.
 */
RW_API int32_t ex_cal_meshcut(int32_t *out_shapes, int32_t *out_shape_points, int32_t *out_meshes,
                              int32_t *out_mesh_points);

/**
 * Puts the overlay into the engine's line table through rw_put_line: every segment between
 * consecutive points of every shape (ent 2, lin = the key of its first point, key = the
 * shape's code), then of every flagged cell (ent 4, lin = the 1-based index of its first
 * point in the cell point table, key = the cell's number). Shapes and cells of one point
 * add nothing; `unused` is ignored. Call ex_cal_meshcut first: before it every cell counts
 * as flagged.
 *
 * @return            0.
 */
RW_API int32_t ex_mesh_line(int32_t unused);

/**
 * Iterate over the pieces, the polygons of the last rw_create_polygon, in polygon order;
 * they share the current polygon of rw_first_polygon / rw_next_polygon.
 * ex_first_polylink restarts the iteration. Per piece: its face and point count; its label
 * point as rw_center_polygon places it; its area as rw_calareaD_polygon computes it,
 * rounded (halves to even); the number of the last shape whose bounding box strictly
 * contains the label point and whose outline holds it by the crossing rule of
 * rw_findxy_polygon (-1 when none); the number of the first cell, flagged or not, whose
 * bounding box holds the label point, bounds inclusive (-1 when none).
 *
 * @return            0 with every output written; 101 when the area's magnitude is not
 *                    below 2147483647 (every output but out_area written); -1 after the
 *                    last piece (nothing written).
 */
RW_API int32_t ex_first_polylink(int32_t *out_face, int32_t *out_npoints, int32_t *out_label_x, int32_t *out_label_y,
                                 int32_t *out_shape, int32_t *out_mesh, int32_t *out_area);
RW_API int32_t ex_next_polylink(int32_t *out_face, int32_t *out_npoints, int32_t *out_label_x, int32_t *out_label_y,
                                int32_t *out_shape, int32_t *out_mesh, int32_t *out_area);

/**
 * The current piece's next record, as rw_next_polydata returns it.
 *
 * @return            0 with the record, -1 after the last (nothing written).
 */
RW_API int32_t ex_next_polyldat(int32_t *out_x, int32_t *out_y, int32_t *out_key);

/* ---- Single-polygon mode -------------------------------------------------------------- */

/* One closed point sequence in which holes are joined to the outline by bridges (segments
 * the sequence runs along twice, out and back, as the near-node walk gives them). Marking
 * finds the bridges so that a reader can split the sequence into rings again. The table is
 * the library's, independent of the engine session and of rw_start / rw_end. Calling order:
 * rw_ini_onepoly, rw_set_onepoly per point, rw_exe_onepoly, rw_getfirst_onepoly and
 * rw_getnext_onepoly until 1, rw_end_onepoly. */

/**
 * rw_ini_onepoly starts a new, empty sequence; rw_end_onepoly releases the table. After
 * rw_end_onepoly the table reads as empty until rw_ini_onepoly or rw_set_onepoly starts a
 * new sequence.
 *
 * @return            0.
 */
RW_API int32_t rw_ini_onepoly(void);
RW_API int32_t rw_end_onepoly(void);

/**
 * Appends a point to the sequence.
 *
 * @return            0, or 101 when the point lies outside the domain (nothing stored).
 */
RW_API int32_t rw_set_onepoly(int32_t x, int32_t y, int32_t key);

/**
 * Marks the bridge ends. Where the segment j -> j+1 runs back along an earlier segment
 * i -> i+1, records i (where the bridge leaves), j (where it starts back) and j+1 (where it
 * returns) get new ring values. Marking again starts from the marks as they stand.
 *
 * @param out_count   Receives the number of records (0 for an empty table, which is left
 *                    alone).
 * @return            0.
 */
RW_API int32_t rw_exe_onepoly(int32_t *out_count);

/**
 * Read the sequence: rw_getfirst_onepoly restarts at the first record. Each record comes
 * with its ring value (0 for untouched records, negative where a bridge leaves or starts
 * back); the first record after every change of ring value reads key 0 instead of its own.
 *
 * @return            0 with a record (outputs written); 1 (not -1) past the last record.
 */
RW_API int32_t rw_getfirst_onepoly(int32_t *out_x, int32_t *out_y, int32_t *out_key, int32_t *out_ring);
RW_API int32_t rw_getnext_onepoly(int32_t *out_x, int32_t *out_y, int32_t *out_key, int32_t *out_ring);

#ifdef __cplusplus
}
#endif

#endif /* RINGWELD_H */

/*
 * ringweld: polygon assembly from line work.
 *
 * A flat C API over one library-wide session. Every export returns an int32_t:
 *   0   success,
 *   -1  an iterator has no more items (its outputs are left untouched),
 *   >0  an error number; rw_get_errormsg gives its CP932 text.
 * Results are written through caller-owned int32_t pointers, and only on success.
 * Nothing is allocated across the boundary; message texts are static.
 * The library is not re-entrant: one thread, one session at a time.
 */
#ifndef RINGWELD_H
#define RINGWELD_H

#include <stdint.h>

#if defined(RINGWELD_BUILDING)
#define RW_API __attribute__((visibility("default")))
#else
#define RW_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Session and messages ------------------------------------------------------------- */

/* Opens a session (closing any open one). The four sizes are the initial capacities and
 * growth steps of the work tables; they are hints, never limits. Returns 0. */
RW_API int32_t rw_start(int32_t linsize, int32_t arcsize, int32_t polsize, int32_t pxysize);

/* Frees every session table. Safe with no session open. Returns 0. */
RW_API int32_t rw_end(void);

/* Direction flag for ring orientation: rdir 0 sets it to 1, anything else to 0.
 * Library-wide; rw_start and rw_end leave it alone. Returns 0. */
RW_API int32_t rw_set_rdir(int32_t rdir);

/* *out_text receives the static CP932 text of an error number and the call returns 0;
 * for an unknown number (including 0) it receives "" and the call returns 1. */
RW_API int32_t rw_get_errormsg(int32_t code, const char **out_text);

/* ---- Lines and minilines -------------------------------------------------------------- */

/* Lines are straight segments with integer coordinates, tagged with the caller's ent, lin
 * (16-bit values, passed widened) and key. A line is stored with its lower endpoint first
 * (smaller y, or on equal y the smaller x); a line whose endpoints are equal is ignored. */

/* Empties the line and staging tables; the session stays open. Returns 0. */
RW_API int32_t rw_init_line(void);

/* Appends a line to the line table. Returns 0. */
RW_API int32_t rw_put_line(int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           int32_t key);

/* Appends a line to the staging table, for rw_put_line_ext_cpy. Returns 0. */
RW_API int32_t rw_put_line_ext(int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                               int32_t key);

/* Moves the staging table into the line table, dropping equal lines in pairs (a shared
 * edge entered once from each side vanishes), and empties the staging table. Returns 0;
 * *out_count receives the number of lines moved. */
RW_API int32_t rw_put_line_ext_cpy(int32_t *out_count);

/* Replaces the line table by its minilines: lines sorted, one line kept per geometry (the
 * one with the greatest lin), and every line cut wherever another meets it, so that no two
 * minilines cross or overlap except at shared endpoints. Returns 0; *out_count receives the
 * number of minilines. */
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

#ifdef __cplusplus
}
#endif

#endif /* RINGWELD_H */

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

#ifdef __cplusplus
}
#endif

#endif /* RINGWELD_H */

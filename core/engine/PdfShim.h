/* SPDX-License-Identifier: AGPL-3.0-or-later */
/*
 * The only code that runs MuPDF under fz_try (PdfShim.c, PdfOutput.c, PdfAnnotations.c,
 * PdfOutline.c), in C so that no C++ object can ever sit between a setjmp and its longjmp. Every
 * function returns 0 on success, or 1 with *err filled in; nothing here throws or longjmps out.
 */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct fz_context fz_context;
typedef struct fz_pixmap fz_pixmap;
typedef struct pdf_document pdf_document;
typedef struct lf_output lf_output;

typedef struct lf_error
{
    int code; /* MuPDF's FZ_ERROR_* */
    char message[160];
} lf_error;

/* Asked between the steps of a walk over a whole document; a non-zero answer ends the walk, and
   the function that made it fails with LF_ERROR_CANCELLED. */
typedef struct lf_cancel
{
    int (*requested)(void* user);
    void* user;
} lf_cancel;

#define LF_ERROR_CANCELLED 6 /* MuPDF's FZ_ERROR_ABORT */

void lf_silence(fz_context* ctx);
int lf_register_handlers(fz_context* ctx);

int lf_open_file(fz_context* ctx, const char* path, pdf_document** doc, lf_error* err);
int lf_open_memory(fz_context* ctx, const unsigned char* data, size_t len, pdf_document** doc, lf_error* err);
void lf_drop_document(fz_context* ctx, pdf_document* doc);
int lf_is_locked(fz_context* ctx, pdf_document* doc, int* locked, lf_error* err);
int lf_count_pages(fz_context* ctx, pdf_document* doc, const lf_cancel* cancel, int* count, lf_error* err);
/* Width and height of every page into sizes[2 * index] and sizes[2 * index + 1]; 0 by 0 for a
   page that cannot be found. Without as_shown, its (possibly inherited) media box before
   rotation; with it, the size the page is drawn at (its visible box, turned by its /Rotate),
   found without loading any page. */
int lf_page_sizes(fz_context* ctx, pdf_document* doc, int count, int as_shown, float* sizes, lf_error* err);
/* The /Info title as UTF-8 in a malloc'd string, or NULL when there is none or it is not text. */
int lf_title(fz_context* ctx, pdf_document* doc, char** title, lf_error* err);

/* Renders page `index` turned by its own /Rotate plus `extra_rotation`, scaled so that the
   longer side is at most max_side pixels (never enlarged), as opaque RGB on white. */
int lf_render_page(fz_context* ctx, pdf_document* doc, int index, int extra_rotation, float max_side,
                   fz_pixmap** pixmap, lf_error* err);
/* The same, turned only by its own /Rotate and drawn at `scale` pixels per point. */
int lf_render_page_scaled(fz_context* ctx, pdf_document* doc, int index, float scale, fz_pixmap** pixmap,
                          lf_error* err);
void lf_pixmap_samples(fz_context* ctx, fz_pixmap* pixmap, int* width, int* height, int* stride,
                       unsigned char** samples);
void lf_drop_pixmap(fz_context* ctx, fz_pixmap* pixmap);

/* Assembling a new document from pages of registered sources. */
int lf_output_new(fz_context* ctx, lf_output** out, lf_error* err);
void lf_output_drop(fz_context* ctx, lf_output* out);
/* Registers an open source document (owned by the caller, kept open until it is completed or the
   output is dropped); *page_count is what lf_count_pages would say, found in the same single walk
   over its page tree that collects the pages. */
int lf_output_add_source(fz_context* ctx, lf_output* out, pdf_document* src, const lf_cancel* cancel, int* slot,
                         int* page_count, lf_error* err);
int lf_output_append_page(fz_context* ctx, lf_output* out, int slot, int index, int extra_rotation, lf_error* err);
/* A white page; `rotation` is its turn, as a blank page has none of its own. */
int lf_output_append_blank(fz_context* ctx, lf_output* out, float width, float height, int rotation, lf_error* err);
/* Once every page of source `slot` has been placed: copies its pages' annotations, form fields
   and bookmarks, and its /Info when `take_info`, then lets go of it, so that it may be closed. No page
   of it can be added afterwards. Lets go of it on failure too. */
int lf_output_complete_source(fz_context* ctx, lf_output* out, int slot, int take_info, lf_error* err);
/* Completes any source still held, then builds the page tree, the form and the outline. */
int lf_output_finish(fz_context* ctx, lf_output* out, lf_error* err);
/* Serialises into a buffer the caller releases with lf_free. */
int lf_output_save(fz_context* ctx, lf_output* out, unsigned char** data, size_t* len, lf_error* err);
void lf_free(fz_context* ctx, void* data);
/* Serialises straight into an open file, so the document is never held twice in memory. When the
   file refuses the bytes, *write_error is the errno of the failed write (0 for other failures). */
int lf_output_save_to_fd(fz_context* ctx, lf_output* out, int fd, int* write_error, lf_error* err);

#ifdef __cplusplus
}
#endif

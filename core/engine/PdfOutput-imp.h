/* SPDX-License-Identifier: AGPL-3.0-or-later */
/* What the assembling half of the shim shares between its files. */
#pragma once

#include "core/engine/PdfShim.h"

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

typedef struct
{
    pdf_document* doc;
    pdf_graft_map* map;
    int page_count;
    int* first_output;   /* source page index -> first output page made from it, or -1 */
    int* field_copy;     /* source object number -> output object number of its copy, or 0 */
    pdf_obj** pages;     /* the source's page objects, borrowed */
    int* page_of_object; /* source object number -> index of the page it is, or -1 */
    int xref_len;
} lf_source;

typedef struct
{
    int slot;          /* -1 for a blank page */
    pdf_obj* src_page; /* borrowed from the source document */
    pdf_obj* dst_page; /* indirect reference, owned */
} lf_out_page;

struct lf_output
{
    pdf_document* dst;
    lf_source* sources;
    int source_count, source_cap;
    lf_out_page* pages;
    int page_count, page_cap;
    pdf_obj* fields; /* top-level form fields of the output, owned */
    int form_slot;   /* source whose form defaults (/DA, /DR) the output takes, or -1 */
};

/* The number of pages, not trusting a /Count larger than the document could hold. Throws, also
   for a page tree that reaches an object twice, and FZ_ERROR_ABORT when `cancel` (may be NULL) asks. */
int lf_page_count(fz_context* ctx, pdf_document* doc, const lf_cancel* cancel);

/* The page objects of a document in page order, in one pass over its page tree rather than a
   lookup per page; an entry is NULL for a page that cannot be found. Free with fz_free. Throws
   as lf_page_count. */
pdf_obj** lf_collect_pages(fz_context* ctx, pdf_document* doc, int count, const lf_cancel* cancel);

/* A page's own (possibly inherited) turn as the renderer shows it: 0, 90, 180 or 270. */
int lf_page_rotation(fz_context* ctx, pdf_obj* page);

/* Fills *err from the error just caught. */
void lf_catch_into(fz_context* ctx, lf_error* err);

/* Copies the annotations of every output page and builds the form from the widgets that came
   along (PdfAnnotations.c). */
void lf_copy_annotations(fz_context* ctx, lf_output* out);

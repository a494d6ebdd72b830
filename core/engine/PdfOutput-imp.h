/* SPDX-License-Identifier: AGPL-3.0-or-later */
/* What the assembling half of the shim shares between its files. */
#pragma once

#include "core/engine/PdfShim.h"

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

/* A registered source. Released once its last page is placed and its annotations copied: then
   doc is NULL and nothing else is left. */
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
    int first_placed, last_placed; /* output pages made from it, linked by next_of_source; -1 if none */
    fz_hash_table* mapped_names;   /* named destination -> its output copy, owned */
    fz_hash_table* mapped_actions; /* output destination -> plain go-to action leading there, owned */
} lf_source;

typedef struct
{
    int slot;          /* -1 for a blank page */
    pdf_obj* src_page; /* borrowed from the source document */
    pdf_obj* dst_page; /* indirect reference, owned */
    int next_of_source; /* the next output page made from the same source, or -1 */
} lf_out_page;

typedef struct
{
    int page; /* the output page whose annotations brought the field along */
    int order;
    pdf_obj* ref; /* owned */
} lf_field;

typedef struct
{
    pdf_obj* ref; /* an output outline entry, owned */
    int open;
    int shown; /* entries shown below it while it is open */
} lf_outline_entry;

typedef struct
{
    int first_page; /* the first output page of the entry's source */
    int order;
    lf_outline_entry entry;
} lf_outline_top;

struct lf_output
{
    pdf_document* dst;
    lf_source* sources;
    int source_count, source_cap;
    lf_out_page* pages;
    int page_count, page_cap;
    /* Top-level form fields of the output. Sources finish in any order, so each field records
       its page, and /Fields is put in page order at the end. */
    lf_field* fields;
    int field_count, field_cap;
    int copying_page; /* output page whose annotations are being copied */
    pdf_obj* form;    /* form defaults (/DA, /DR) of the source of the first field in page order, owned */
    int form_page;    /* that field's page, or INT_MAX */
    pdf_obj* shared[16]; /* number arrays shared by annotation copies, owned */
    int shared_count;
    /* Top-level bookmarks. Sources finish in any order; they are put in order of their first
       page at the end. */
    lf_outline_top* outline;
    int outline_count, outline_cap;
};

/* The page objects of a document in page order, and their number in *count, walking its page
   tree at most once: the count is the one lf_count_pages gives (not trusting a /Count larger than
   the document could hold, nor a tree that reaches a page twice to make it up), and an entry is
   NULL for a page that cannot be found. Free with fz_free. Throws, FZ_ERROR_ABORT when `cancel`
   (may be NULL) asks. */
pdf_obj** lf_page_list(fz_context* ctx, pdf_document* doc, const lf_cancel* cancel, int* count);

/* A page's own (possibly inherited) turn as the renderer shows it: 0, 90, 180 or 270. */
int lf_page_rotation(fz_context* ctx, pdf_obj* page);

/* Fills *err from the error just caught. */
void lf_catch_into(fz_context* ctx, lf_error* err);

/* Copies the annotations of the output pages made from source `slot`, and the form fields that
   come along; all of that source's pages must have been placed, since links lead to the first
   copy of their target page (PdfAnnotations.c). */
void lf_copy_annotations(fz_context* ctx, lf_output* out, int slot);

/* A destination of source `s` pointed at its output page, or NULL when the target page is not
   part of the output. */
pdf_obj* lf_remap_dest(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* dest);

int lf_is_goto(fz_context* ctx, pdf_obj* action);

/* Copies the bookmarks of source `slot` that lead to its output pages, or hold some that do;
   all of its pages must have been placed (PdfOutline.c). */
void lf_copy_outline(fz_context* ctx, lf_output* out, int slot);

/* Gathers the sources' bookmarks under the output's /Outlines. */
void lf_finish_outline(fz_context* ctx, lf_output* out);

void lf_drop_outline_state(fz_context* ctx, lf_output* out);

/* Puts the collected form fields into the output's /AcroForm. */
void lf_finish_form(fz_context* ctx, lf_output* out);

/* Drops the fields and the shared values the output holds for annotation copies. */
void lf_drop_annotation_state(fz_context* ctx, lf_output* out);

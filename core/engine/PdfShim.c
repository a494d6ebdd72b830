/* SPDX-License-Identifier: AGPL-3.0-or-later */
#include "core/engine/PdfShim.h"
#include "core/engine/PdfOutput-imp.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

_Static_assert(LF_ERROR_CANCELLED == FZ_ERROR_ABORT, "the shim's cancellation code is MuPDF's");

void lf_catch_into(fz_context* ctx, lf_error* err)
{
    if (!err)
        return;
    err->code = fz_caught(ctx);
    strncpy(err->message, fz_caught_message(ctx), sizeof err->message - 1);
    err->message[sizeof err->message - 1] = 0;
}

static void quiet(void* user, const char* message)
{
    (void)user;
    (void)message;
}

void lf_silence(fz_context* ctx)
{
    fz_set_warning_callback(ctx, quiet, NULL);
    fz_set_error_callback(ctx, quiet, NULL);
}

int lf_register_handlers(fz_context* ctx)
{
    int failed = 0;
    fz_try(ctx)
    {
        fz_register_document_handlers(ctx);
    }
    fz_catch(ctx)
    {
        failed = 1;
    }
    return failed;
}

int lf_open_file(fz_context* ctx, const char* path, pdf_document** doc, lf_error* err)
{
    *doc = NULL;
    fz_try(ctx)
    {
        *doc = pdf_open_document(ctx, path);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        return 1;
    }
    return 0;
}

int lf_open_memory(fz_context* ctx, const unsigned char* data, size_t len, pdf_document** doc, lf_error* err)
{
    fz_stream* stream = NULL;
    int failed = 0;
    *doc = NULL;
    fz_var(stream);
    fz_try(ctx)
    {
        stream = fz_open_memory(ctx, data, len);
        *doc = pdf_open_document_with_stream(ctx, stream);
    }
    fz_always(ctx)
    {
        fz_drop_stream(ctx, stream);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

void lf_drop_document(fz_context* ctx, pdf_document* doc)
{
    pdf_drop_document(ctx, doc);
}

int lf_is_locked(fz_context* ctx, pdf_document* doc, int* locked, lf_error* err)
{
    fz_try(ctx)
    {
        /* Opening already tried the empty password, so owner-password-only files pass. */
        *locked = pdf_needs_password(ctx, doc);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        return 1;
    }
    return 0;
}

/* Turns of 90 degrees as MuPDF draws a page: its /Rotate read as an integer, then snapped to the
   nearest quarter turn, halves upwards. Kept here so that the output page carries the turn its
   picture shows. */
int lf_page_rotation(fz_context* ctx, pdf_obj* page)
{
    long long rotate = pdf_to_int(ctx, pdf_dict_get_inheritable(ctx, page, PDF_NAME(Rotate)));
    rotate %= 360;
    if (rotate < 0)
        rotate += 360;
    rotate = 90 * ((rotate + 45) / 90);
    return rotate >= 360 ? 0 : (int)rotate;
}

static void check_cancel(fz_context* ctx, const lf_cancel* cancel)
{
    if (cancel && cancel->requested && cancel->requested(cancel->user))
        fz_throw(ctx, FZ_ERROR_ABORT, "cancelled");
}

typedef struct
{
    pdf_obj* kids;
    int next;
} walk_level;

typedef struct
{
    pdf_obj** pages; /* the first `count` pages found go here; may be NULL */
    int count;
    int found;
    int xref_len;
    unsigned char* reached; /* by object number */
    walk_level* stack;
    int depth, cap;
    int reached_twice;
    int grow; /* `pages` grows to hold every page found */
    const lf_cancel* cancel;
} page_walk;

static int is_tree_node(fz_context* ctx, pdf_obj* node)
{
    pdf_obj* type = pdf_dict_get(ctx, node, PDF_NAME(Type));
    return pdf_name_eq(ctx, type, PDF_NAME(Pages)) ||
           (!type && pdf_is_array(ctx, pdf_dict_get(ctx, node, PDF_NAME(Kids))));
}

static void visit(fz_context* ctx, page_walk* w, pdf_obj* node)
{
    int num = pdf_to_num(ctx, node);
    check_cancel(ctx, w->cancel);
    if (num > 0 && num < w->xref_len)
    {
        if (w->reached[num])
        {
            w->reached_twice = 1;
            fz_throw(ctx, FZ_ERROR_GENERIC, "object %d is reached twice in the page tree", num);
        }
        w->reached[num] = 1;
    }
    if (is_tree_node(ctx, node))
    {
        if (w->depth == w->cap)
        {
            int cap = w->cap ? w->cap * 2 : 16;
            w->stack = fz_realloc_array(ctx, w->stack, cap, walk_level);
            w->cap = cap;
        }
        w->stack[w->depth].kids = pdf_dict_get(ctx, node, PDF_NAME(Kids));
        w->stack[w->depth].next = 0;
        w->depth++;
        return;
    }
    if (w->found == INT_MAX)
        fz_throw(ctx, FZ_ERROR_GENERIC, "too many pages");
    if (w->grow && w->found == w->count)
    {
        int cap = w->count < 16 ? 16 : w->count > INT_MAX / 2 ? INT_MAX : w->count * 2;
        w->pages = fz_realloc_array(ctx, w->pages, cap, pdf_obj*);
        w->count = cap;
    }
    if (w->pages && w->found < w->count)
        w->pages[w->found] = node;
    w->found++;
}

static void walk_from(fz_context* ctx, page_walk* w, pdf_obj* root)
{
    if (!root)
        return;
    visit(ctx, w, root);
    while (w->depth > 0)
    {
        walk_level* level = &w->stack[w->depth - 1];
        if (level->next < pdf_array_len(ctx, level->kids))
            visit(ctx, w, pdf_array_get(ctx, level->kids, level->next++));
        else
            w->depth--;
    }
}

/* Every object is reached at most once, so the walk is bounded by the size of the file. An object
   reached twice, through a cycle or because two parents list it, would have its pages counted over
   and over (a few hundred bytes can describe billions of pages): the walk fails there, with
   reached_twice set. Pages are taken in order, without trusting any /Count. */
static void walk_page_tree(fz_context* ctx, pdf_document* doc, page_walk* w)
{
    w->found = 0;
    w->reached_twice = 0;
    w->depth = w->cap = 0;
    w->stack = NULL;
    w->xref_len = pdf_xref_len(ctx, doc);
    w->reached = fz_calloc(ctx, w->xref_len > 0 ? w->xref_len : 1, 1);
    fz_try(ctx)
    {
        walk_from(ctx, w, pdf_dict_getp(ctx, pdf_trailer(ctx, doc), "Root/Pages"));
    }
    fz_always(ctx)
    {
        fz_free(ctx, w->stack);
        fz_free(ctx, w->reached);
        w->stack = NULL;
        w->reached = NULL;
    }
    fz_catch(ctx)
    {
        fz_rethrow(ctx);
    }
}

/* Every page is an object of its own, so a /Count beyond the number of objects is a lie that
   would have us allocate for billions of pages; then the pages that exist are counted instead. */
static int count_is_believable(fz_context* ctx, pdf_document* doc, int claimed)
{
    return claimed <= pdf_xref_len(ctx, doc);
}

/* A file that had to be pieced together and came out without pages has lost them (a file cut
   short loses its catalog first): it is damaged, not empty. */
static int not_emptied_by_repair(fz_context* ctx, pdf_document* doc, int count)
{
    if (count < 1 && pdf_was_repaired(ctx, doc))
        fz_throw(ctx, FZ_ERROR_GENERIC, "repaired, and no pages left");
    return count;
}

/* A tree that reaches a page twice to make up an unbelievable count is refused. */
static int page_count(fz_context* ctx, pdf_document* doc, const lf_cancel* cancel)
{
    int claimed = pdf_count_pages(ctx, doc);
    if (!count_is_believable(ctx, doc, claimed))
    {
        page_walk w = {0};
        w.cancel = cancel;
        walk_page_tree(ctx, doc, &w);
        claimed = w.found;
    }
    return not_emptied_by_repair(ctx, doc, claimed);
}

int lf_count_pages(fz_context* ctx, pdf_document* doc, const lf_cancel* cancel, int* count, lf_error* err)
{
    fz_try(ctx)
    {
        *count = page_count(ctx, doc, cancel);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        return 1;
    }
    return 0;
}

static void lookup_each_page(fz_context* ctx, pdf_document* doc, pdf_obj** pages, int count, const lf_cancel* cancel)
{
    int i;
    fz_var(i);
    for (i = 0; i < count; i++)
    {
        check_cancel(ctx, cancel);
        fz_try(ctx)
        {
            pages[i] = pdf_lookup_page_obj(ctx, doc, i);
        }
        fz_catch(ctx)
        {
            fz_rethrow_if(ctx, FZ_ERROR_MEMORY);
            pages[i] = NULL;
        }
    }
}

/* The page objects in page order, in one pass over the page tree rather than a lookup per page;
   an entry is NULL for a page that cannot be found. */
static pdf_obj** collect_pages(fz_context* ctx, pdf_document* doc, int count, const lf_cancel* cancel)
{
    pdf_obj** pages = fz_calloc(ctx, count > 0 ? count : 1, sizeof(pdf_obj*));
    page_walk w = {0};
    int walked = 0;
    fz_var(w);
    fz_var(walked);
    w.pages = pages;
    w.count = count;
    w.cancel = cancel;
    fz_try(ctx)
    {
        walk_page_tree(ctx, doc, &w);
        walked = 1;
    }
    fz_catch(ctx)
    {
        /* A tree that reaches a page twice is read by its counts below, as the renderer reads
           it; only so much as the (bounded) page count is looked up. */
        if (!w.reached_twice)
        {
            fz_free(ctx, pages);
            fz_rethrow(ctx);
        }
    }
    if (!walked || w.found != count)
    {
        /* MuPDF finds pages by the counts of the nodes on the way; where those disagree with the
           tree, ask it page by page, so that every page is the one its picture shows. */
        fz_try(ctx)
        {
            memset(pages, 0, (size_t)(count > 0 ? count : 1) * sizeof(pdf_obj*));
            lookup_each_page(ctx, doc, pages, count, cancel);
        }
        fz_catch(ctx)
        {
            fz_free(ctx, pages);
            fz_rethrow(ctx);
        }
    }
    return pages;
}

pdf_obj** lf_page_list(fz_context* ctx, pdf_document* doc, const lf_cancel* cancel, int* count)
{
    int claimed = pdf_count_pages(ctx, doc);
    page_walk w = {0};
    if (count_is_believable(ctx, doc, claimed))
    {
        *count = not_emptied_by_repair(ctx, doc, claimed);
        return collect_pages(ctx, doc, *count, cancel);
    }
    /* Counted and collected in the same walk, as lf_count_pages counts them. */
    fz_var(w);
    w.grow = 1;
    w.cancel = cancel;
    fz_try(ctx)
    {
        walk_page_tree(ctx, doc, &w);
        *count = not_emptied_by_repair(ctx, doc, w.found);
        if (!w.pages)
            w.pages = fz_calloc(ctx, 1, sizeof(pdf_obj*));
    }
    fz_catch(ctx)
    {
        fz_free(ctx, w.pages);
        fz_rethrow(ctx);
    }
    return w.pages;
}

int lf_page_sizes(fz_context* ctx, pdf_document* doc, int count, int as_shown, float* sizes, lf_error* err)
{
    pdf_obj** pages = NULL;
    int failed = 0;
    fz_var(pages);
    fz_try(ctx)
    {
        int i;
        pages = collect_pages(ctx, doc, count, NULL);
        for (i = 0; i < count; i++)
        {
            fz_rect box = fz_empty_rect;
            if (pages[i] && as_shown)
            {
                /* As MuPDF bounds a page when it draws it, without loading the page. */
                fz_matrix ctm;
                pdf_page_obj_transform(ctx, pages[i], &box, &ctm);
                box = fz_transform_rect(box, ctm);
            }
            else if (pages[i])
                box = pdf_to_rect(ctx, pdf_dict_get_inheritable(ctx, pages[i], PDF_NAME(MediaBox)));
            sizes[2 * i] = pages[i] ? box.x1 - box.x0 : 0;
            sizes[2 * i + 1] = pages[i] ? box.y1 - box.y0 : 0;
        }
    }
    fz_always(ctx)
    {
        fz_free(ctx, pages);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

int lf_title(fz_context* ctx, pdf_document* doc, char** title, lf_error* err)
{
    *title = NULL;
    fz_try(ctx)
    {
        pdf_obj* info = pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(Info));
        pdf_obj* value = pdf_dict_get(ctx, info, PDF_NAME(Title));
        if (pdf_is_string(ctx, value))
        {
            const char* text = pdf_to_text_string(ctx, value);
            size_t size = strlen(text ? text : "") + 1;
            *title = malloc(size);
            if (!*title)
                fz_throw(ctx, FZ_ERROR_MEMORY, "out of memory");
            memcpy(*title, text ? text : "", size);
        }
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        return 1;
    }
    return 0;
}

static int is_link(fz_context* ctx, pdf_obj* annot)
{
    return pdf_name_eq(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Subtype)), PDF_NAME(Link));
}

/* Links are never drawn, yet loading a page resolves every link target, which on a table of
   contents parses most of the file. The document is our own in-memory copy, so the page simply
   loses its links before it is loaded; the file is untouched. */
static void hide_links(fz_context* ctx, pdf_document* doc, int index)
{
    pdf_obj* page = pdf_lookup_page_obj(ctx, doc, index);
    pdf_obj* annots = pdf_dict_get(ctx, page, PDF_NAME(Annots));
    pdf_obj* kept;
    int i, links = 0, n = pdf_array_len(ctx, annots);
    for (i = 0; i < n; i++)
        links += is_link(ctx, pdf_array_get(ctx, annots, i));
    if (links == 0)
        return;
    kept = pdf_new_array(ctx, doc, n - links);
    fz_try(ctx)
    {
        for (i = 0; i < n; i++)
            if (!is_link(ctx, pdf_array_get(ctx, annots, i)))
                pdf_array_push(ctx, kept, pdf_array_get(ctx, annots, i));
        pdf_dict_put(ctx, page, PDF_NAME(Annots), kept);
    }
    fz_always(ctx)
    {
        pdf_drop_obj(ctx, kept);
    }
    fz_catch(ctx)
    {
        fz_rethrow(ctx);
    }
}

/* Draws at `scale` when it is positive, otherwise with the longer side fitted into max_side. */
static int render_page(fz_context* ctx, pdf_document* doc, int index, int extra_rotation, float max_side, float scale,
                       fz_pixmap** pixmap, lf_error* err)
{
    fz_page* page = NULL;
    int failed = 0;
    *pixmap = NULL;
    fz_var(page);
    fz_try(ctx)
    {
        fz_rect bounds;
        float longest, zoom;
        hide_links(ctx, doc, index);
        page = fz_load_page(ctx, (fz_document*)doc, index);
        bounds = fz_bound_page(ctx, page);
        longest = fz_max(bounds.x1 - bounds.x0, bounds.y1 - bounds.y0);
        if (longest <= 0)
            fz_throw(ctx, FZ_ERROR_GENERIC, "empty page");
        zoom = scale > 0 ? scale : fz_min(max_side / longest, 1.0f);
        if (zoom * longest < 1)
            zoom = 1 / longest; /* each side at least one pixel */
        *pixmap = fz_new_pixmap_from_page(ctx, page, fz_pre_rotate(fz_scale(zoom, zoom), (float)extra_rotation),
                                          fz_device_rgb(ctx), 0);
    }
    fz_always(ctx)
    {
        fz_drop_page(ctx, page);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

int lf_render_page(fz_context* ctx, pdf_document* doc, int index, int extra_rotation, float max_side,
                   fz_pixmap** pixmap, lf_error* err)
{
    return render_page(ctx, doc, index, extra_rotation, max_side, 0, pixmap, err);
}

int lf_render_page_scaled(fz_context* ctx, pdf_document* doc, int index, float scale, fz_pixmap** pixmap, lf_error* err)
{
    return render_page(ctx, doc, index, 0, 0, scale > 0 ? scale : 1, pixmap, err);
}

void lf_pixmap_samples(fz_context* ctx, fz_pixmap* pixmap, int* width, int* height, int* stride,
                       unsigned char** samples)
{
    *width = fz_pixmap_width(ctx, pixmap);
    *height = fz_pixmap_height(ctx, pixmap);
    *stride = (int)fz_pixmap_stride(ctx, pixmap);
    *samples = fz_pixmap_samples(ctx, pixmap);
}

void lf_drop_pixmap(fz_context* ctx, fz_pixmap* pixmap)
{
    fz_drop_pixmap(ctx, pixmap);
}

void lf_free(fz_context* ctx, void* data)
{
    fz_free(ctx, data);
}

/* SPDX-License-Identifier: AGPL-3.0-or-later */
#include "core/engine/PdfShim.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

static void catch_into(fz_context* ctx, lf_error* err)
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
        catch_into(ctx, err);
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
        catch_into(ctx, err);
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
        catch_into(ctx, err);
        return 1;
    }
    return 0;
}

int lf_count_pages(fz_context* ctx, pdf_document* doc, int* count, lf_error* err)
{
    fz_try(ctx)
    {
        *count = pdf_count_pages(ctx, doc);
    }
    fz_catch(ctx)
    {
        catch_into(ctx, err);
        return 1;
    }
    return 0;
}

int lf_media_size(fz_context* ctx, pdf_document* doc, int index, float* width, float* height, lf_error* err)
{
    fz_try(ctx)
    {
        pdf_obj* page = pdf_lookup_page_obj(ctx, doc, index);
        fz_rect box = pdf_to_rect(ctx, pdf_dict_get_inheritable(ctx, page, PDF_NAME(MediaBox)));
        *width = box.x1 - box.x0;
        *height = box.y1 - box.y0;
    }
    fz_catch(ctx)
    {
        catch_into(ctx, err);
        return 1;
    }
    return 0;
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
        catch_into(ctx, err);
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

int lf_render_page(fz_context* ctx, pdf_document* doc, int index, int extra_rotation, float max_side,
                   fz_pixmap** pixmap, lf_error* err)
{
    fz_page* page = NULL;
    int failed = 0;
    *pixmap = NULL;
    fz_var(page);
    fz_try(ctx)
    {
        fz_rect bounds;
        float longest, scale;
        hide_links(ctx, doc, index);
        page = fz_load_page(ctx, (fz_document*)doc, index);
        bounds = fz_bound_page(ctx, page);
        longest = fz_max(bounds.x1 - bounds.x0, bounds.y1 - bounds.y0);
        if (longest <= 0)
            fz_throw(ctx, FZ_ERROR_GENERIC, "empty page");
        scale = fz_min(max_side / longest, 1.0f);
        if (scale * longest < 1)
            scale = 1 / longest; /* each side at least one pixel */
        *pixmap = fz_new_pixmap_from_page(ctx, page, fz_pre_rotate(fz_scale(scale, scale), (float)extra_rotation),
                                          fz_device_rgb(ctx), 0);
    }
    fz_always(ctx)
    {
        fz_drop_page(ctx, page);
    }
    fz_catch(ctx)
    {
        catch_into(ctx, err);
        failed = 1;
    }
    return failed;
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

/* ---- Assembly ---------------------------------------------------------------------- */

typedef struct
{
    pdf_document* doc;
    pdf_graft_map* map;
    int page_count;
    int* first_output;   /* source page index -> first output page made from it, or -1 */
    int* field_copy;     /* source object number -> output object number of its copy, or 0 */
    int* page_of_object; /* source object number -> index of the page it is, or -1 */
    int xref_len;
} lf_source;

typedef struct
{
    int slot; /* -1 for a blank page */
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
    pdf_obj* fields;  /* top-level form fields of the output, owned */
    int form_slot;    /* source whose form defaults (/DA, /DR) the output takes, or -1 */
};

int lf_output_new(fz_context* ctx, lf_output** out, lf_error* err)
{
    lf_output* o = NULL;
    fz_var(o);
    *out = NULL;
    fz_try(ctx)
    {
        o = fz_malloc_struct(ctx, lf_output);
        o->form_slot = -1;
        o->dst = pdf_create_document(ctx);
    }
    fz_catch(ctx)
    {
        if (o)
            fz_free(ctx, o);
        catch_into(ctx, err);
        return 1;
    }
    *out = o;
    return 0;
}

void lf_output_release_sources(fz_context* ctx, lf_output* out)
{
    int i;
    for (i = 0; i < out->source_count; i++)
    {
        lf_source* s = &out->sources[i];
        pdf_drop_graft_map(ctx, s->map);
        fz_free(ctx, s->page_of_object);
        fz_free(ctx, s->first_output);
        fz_free(ctx, s->field_copy);
    }
    fz_free(ctx, out->sources);
    out->sources = NULL;
    out->source_count = out->source_cap = 0;
}

void lf_output_drop(fz_context* ctx, lf_output* out)
{
    int i;
    if (!out)
        return;
    lf_output_release_sources(ctx, out);
    for (i = 0; i < out->page_count; i++)
        pdf_drop_obj(ctx, out->pages[i].dst_page);
    pdf_drop_obj(ctx, out->fields);
    fz_free(ctx, out->pages);
    pdf_drop_document(ctx, out->dst);
    fz_free(ctx, out);
}

/* Link targets name pages by object; one pass over the pages answers every later lookup.
   (MuPDF's own page tree cache leaks objects in this version once pages are copied.) */
static void index_pages(fz_context* ctx, lf_source* s)
{
    int i;
    s->page_of_object = fz_malloc_array(ctx, s->xref_len > 0 ? s->xref_len : 1, int);
    for (i = 0; i < s->xref_len; i++)
        s->page_of_object[i] = -1;
    for (i = 0; i < s->page_count; i++)
    {
        int num = pdf_to_num(ctx, pdf_lookup_page_obj(ctx, s->doc, i));
        if (num > 0 && num < s->xref_len && s->page_of_object[num] < 0)
            s->page_of_object[num] = i;
    }
}

int lf_output_add_source(fz_context* ctx, lf_output* out, pdf_document* src, int* slot, lf_error* err)
{
    fz_try(ctx)
    {
        lf_source* s;
        int i;
        if (out->source_count == out->source_cap)
        {
            int cap = out->source_cap ? out->source_cap * 2 : 4;
            out->sources = fz_realloc_array(ctx, out->sources, cap, lf_source);
            out->source_cap = cap;
        }
        s = &out->sources[out->source_count];
        memset(s, 0, sizeof *s);
        s->doc = src;
        out->source_count++; /* counted now so that drop releases whatever follows */
        s->map = pdf_new_graft_map(ctx, out->dst);
        s->page_count = pdf_count_pages(ctx, src);
        s->first_output = fz_malloc_array(ctx, s->page_count > 0 ? s->page_count : 1, int);
        for (i = 0; i < s->page_count; i++)
            s->first_output[i] = -1;
        s->xref_len = pdf_xref_len(ctx, src);
        index_pages(ctx, s);
        *slot = out->source_count - 1;
    }
    fz_catch(ctx)
    {
        catch_into(ctx, err);
        return 1;
    }
    return 0;
}

static void push_page(fz_context* ctx, lf_output* out, int slot, pdf_obj* src_page, pdf_obj* dst_page)
{
    if (out->page_count == out->page_cap)
    {
        int cap = out->page_cap ? out->page_cap * 2 : 64;
        out->pages = fz_realloc_array(ctx, out->pages, cap, lf_out_page);
        out->page_cap = cap;
    }
    out->pages[out->page_count].slot = slot;
    out->pages[out->page_count].src_page = src_page;
    out->pages[out->page_count].dst_page = dst_page;
    out->page_count++;
}

static int normalized(int angle)
{
    int r = angle % 360;
    return r < 0 ? r + 360 : r;
}

int lf_output_append_page(fz_context* ctx, lf_output* out, int slot, int index, int extra_rotation, lf_error* err)
{
    /* Only keys that cannot pull other pages in: annotations are copied separately. */
    static pdf_obj* const copied_keys[] = {PDF_NAME(Contents), PDF_NAME(Resources), PDF_NAME(MediaBox),
                                          PDF_NAME(CropBox),  PDF_NAME(BleedBox),  PDF_NAME(TrimBox),
                                          PDF_NAME(ArtBox),   PDF_NAME(UserUnit)};
    pdf_obj* page_dict = NULL;
    pdf_obj* ref = NULL;
    fz_var(page_dict);
    fz_var(ref);
    fz_try(ctx)
    {
        lf_source* s = &out->sources[slot];
        pdf_obj* src_page = pdf_lookup_page_obj(ctx, s->doc, index);
        int rotation;
        size_t i;
        page_dict = pdf_new_dict(ctx, out->dst, 10);
        pdf_dict_put(ctx, page_dict, PDF_NAME(Type), PDF_NAME(Page));
        for (i = 0; i < nelem(copied_keys); i++)
        {
            pdf_obj* value = pdf_dict_get_inheritable(ctx, src_page, copied_keys[i]);
            if (value)
                pdf_dict_put_drop(ctx, page_dict, copied_keys[i], pdf_graft_mapped_object(ctx, s->map, value));
        }
        rotation = normalized(pdf_to_int(ctx, pdf_dict_get_inheritable(ctx, src_page, PDF_NAME(Rotate))) +
                              extra_rotation);
        if (rotation)
            pdf_dict_put_int(ctx, page_dict, PDF_NAME(Rotate), rotation);
        ref = pdf_add_object(ctx, out->dst, page_dict);
        push_page(ctx, out, slot, src_page, ref);
        ref = NULL;
        if (index >= 0 && index < s->page_count && s->first_output[index] < 0)
            s->first_output[index] = out->page_count - 1;
    }
    fz_always(ctx)
    {
        pdf_drop_obj(ctx, page_dict);
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, ref);
        catch_into(ctx, err);
        return 1;
    }
    return 0;
}

int lf_output_append_blank(fz_context* ctx, lf_output* out, float width, float height, lf_error* err)
{
    fz_buffer* contents = NULL;
    pdf_obj* resources = NULL;
    pdf_obj* ref = NULL;
    int failed = 0;
    fz_var(contents);
    fz_var(resources);
    fz_var(ref);
    fz_try(ctx)
    {
        if (!(width > 0) || !(height > 0))
            fz_throw(ctx, FZ_ERROR_GENERIC, "blank page without area");
        contents = fz_new_buffer(ctx, 64);
        fz_append_printf(ctx, contents, "1 g 0 0 %g %g re f\n", width, height);
        resources = pdf_new_dict(ctx, out->dst, 1);
        ref = pdf_add_page(ctx, out->dst, fz_make_rect(0, 0, width, height), 0, resources, contents);
        push_page(ctx, out, -1, NULL, ref);
        ref = NULL;
    }
    fz_always(ctx)
    {
        fz_drop_buffer(ctx, contents);
        pdf_drop_obj(ctx, resources);
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, ref);
        catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

/* ---- Annotations, links and form fields -------------------------------------------- */

/* The explicit destination array behind a link destination of source `s`, or NULL. */
static pdf_obj* dest_array(fz_context* ctx, lf_source* s, pdf_obj* dest)
{
    if (pdf_is_name(ctx, dest) || pdf_is_string(ctx, dest))
        dest = pdf_lookup_dest(ctx, s->doc, dest);
    if (pdf_is_dict(ctx, dest))
        dest = pdf_dict_get(ctx, dest, PDF_NAME(D));
    return pdf_array_len(ctx, dest) > 0 ? dest : NULL;
}

/* The output page index a destination array points at, or -1 when that page is not part of the output. */
static int dest_output_page(fz_context* ctx, lf_source* s, pdf_obj* array)
{
    pdf_obj* target = pdf_array_get(ctx, array, 0);
    int index;
    if (pdf_is_int(ctx, target))
        index = pdf_to_int(ctx, target);
    else if (pdf_is_indirect(ctx, target) && pdf_to_num(ctx, target) < s->xref_len)
        index = s->page_of_object[pdf_to_num(ctx, target)];
    else
        return -1;
    if (index < 0 || index >= s->page_count)
        return -1;
    return s->first_output[index];
}

/* [output page, view parameters of `array`...] as a new array. */
static pdf_obj* copy_dest_array(fz_context* ctx, lf_output* out, pdf_obj* array, pdf_obj* page)
{
    int i, n = pdf_array_len(ctx, array);
    pdf_obj* copy = pdf_new_array(ctx, out->dst, n);
    fz_try(ctx)
    {
        pdf_array_push(ctx, copy, page);
        /* The view parameters are plain numbers and names. */
        for (i = 1; i < n; i++)
        {
            pdf_obj* item = pdf_array_get(ctx, array, i);
            if (pdf_is_number(ctx, item) || pdf_is_name(ctx, item) || pdf_is_null(ctx, item))
                pdf_array_push(ctx, copy, item);
            else
                pdf_array_push(ctx, copy, PDF_NULL);
        }
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, copy);
        fz_rethrow(ctx);
    }
    return copy;
}

/* A destination of source `s` pointed at its output page, as a new array, or NULL when the
   target page is not part of the output. */
static pdf_obj* remap_dest(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* dest)
{
    pdf_obj* array = dest_array(ctx, s, dest);
    int page = array ? dest_output_page(ctx, s, array) : -1;
    return page < 0 ? NULL : copy_dest_array(ctx, out, array, out->pages[page].dst_page);
}

static int is_goto(fz_context* ctx, pdf_obj* action)
{
    return pdf_name_eq(ctx, pdf_dict_get(ctx, action, PDF_NAME(S)), PDF_NAME(GoTo));
}

/* Whether an annotation is copied. A link whose internal target is not in the output is left
   out; for one that stays, *mapped_dest receives its remapped destination. */
static int keeps_annot(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* annot, pdf_obj** mapped_dest)
{
    pdf_obj *dest, *action;
    *mapped_dest = NULL;
    if (!pdf_is_dict(ctx, annot))
        return 0;
    if (!pdf_name_eq(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Subtype)), PDF_NAME(Link)))
        return 1;
    dest = pdf_dict_get(ctx, annot, PDF_NAME(Dest));
    action = pdf_dict_get(ctx, annot, PDF_NAME(A));
    if (!dest && is_goto(ctx, action))
        dest = pdf_dict_get(ctx, action, PDF_NAME(D));
    else if (!dest)
        return 1;
    *mapped_dest = remap_dest(ctx, out, s, dest);
    return *mapped_dest != NULL;
}

static pdf_obj* copy_action(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* action, pdf_obj* mapped_dest)
{
    pdf_obj* copy = pdf_new_dict(ctx, out->dst, 4);
    int i, n = pdf_dict_len(ctx, action);
    fz_try(ctx)
    {
        for (i = 0; i < n; i++)
        {
            pdf_obj* key = pdf_dict_get_key(ctx, action, i);
            pdf_obj* val = pdf_dict_get_val(ctx, action, i);
            /* Chained actions may name other pages; they are not worth that risk. */
            if (pdf_name_eq(ctx, key, PDF_NAME(Next)))
                continue;
            if (pdf_name_eq(ctx, key, PDF_NAME(D)) && is_goto(ctx, action))
                pdf_dict_put(ctx, copy, key, mapped_dest);
            else
                pdf_dict_put_drop(ctx, copy, key, pdf_graft_mapped_object(ctx, s->map, val));
        }
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, copy);
        fz_rethrow(ctx);
    }
    return copy;
}

static void add_field_to_output(fz_context* ctx, lf_output* out, int slot, pdf_obj* field_ref)
{
    if (!out->fields)
        out->fields = pdf_new_array(ctx, out->dst, 8);
    pdf_array_push(ctx, out->fields, field_ref);
    if (out->form_slot < 0)
        out->form_slot = slot;
}

static void append_kid(fz_context* ctx, lf_output* out, pdf_obj* parent, pdf_obj* kid)
{
    pdf_obj* kids = pdf_dict_get(ctx, parent, PDF_NAME(Kids));
    if (!kids)
        kids = pdf_dict_put_array(ctx, parent, PDF_NAME(Kids), 4);
    (void)out;
    pdf_array_push(ctx, kids, kid);
}

static pdf_obj* copy_field(fz_context* ctx, lf_output* out, int slot, pdf_obj* field, int depth);

/* Makes `child` a kid of the output copy of `parent_field`; false when there is no such copy. */
static int attach_to_field(fz_context* ctx, lf_output* out, int slot, pdf_obj* child, pdf_obj* parent_field,
                           int depth)
{
    pdf_obj* parent = copy_field(ctx, out, slot, parent_field, depth);
    if (!parent)
        return 0;
    fz_try(ctx)
    {
        pdf_dict_put(ctx, child, PDF_NAME(Parent), parent);
        append_kid(ctx, out, parent, child);
    }
    fz_always(ctx)
    {
        pdf_drop_obj(ctx, parent);
    }
    fz_catch(ctx)
    {
        fz_rethrow(ctx);
    }
    return 1;
}

static void fill_field(fz_context* ctx, lf_output* out, int slot, pdf_obj* field, pdf_obj* copy, int depth)
{
    lf_source* s = &out->sources[slot];
    int i, n = pdf_dict_len(ctx, field);
    for (i = 0; i < n; i++)
    {
        pdf_obj* key = pdf_dict_get_key(ctx, field, i);
        if (pdf_name_eq(ctx, key, PDF_NAME(Kids)) || pdf_name_eq(ctx, key, PDF_NAME(Parent)) ||
            pdf_name_eq(ctx, key, PDF_NAME(P)))
            continue;
        pdf_dict_put_drop(ctx, copy, key, pdf_graft_mapped_object(ctx, s->map, pdf_dict_get_val(ctx, field, i)));
    }
    if (!attach_to_field(ctx, out, slot, copy, pdf_dict_get(ctx, field, PDF_NAME(Parent)), depth + 1))
        add_field_to_output(ctx, out, slot, copy);
}

/* The output copy of a (non-terminal) form field and its ancestors, shared by every widget
   below it. Only the widgets that are copied become its kids. */
static pdf_obj* copy_field(fz_context* ctx, lf_output* out, int slot, pdf_obj* field, int depth)
{
    lf_source* s = &out->sources[slot];
    int num = pdf_to_num(ctx, field);
    pdf_obj* copy;
    if (!pdf_is_dict(ctx, field) || depth > 32)
        return NULL;
    if (num > 0 && num < s->xref_len && s->field_copy && s->field_copy[num])
        return pdf_new_indirect(ctx, out->dst, s->field_copy[num], 0);
    if (!s->field_copy)
        s->field_copy = fz_calloc(ctx, s->xref_len > 0 ? s->xref_len : 1, sizeof(int));
    copy = pdf_add_new_dict(ctx, out->dst, 8);
    fz_try(ctx)
    {
        if (num > 0 && num < s->xref_len)
            s->field_copy[num] = pdf_to_num(ctx, copy);
        fill_field(ctx, out, slot, field, copy, depth);
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, copy);
        fz_rethrow(ctx);
    }
    return copy;
}

static pdf_obj* local_copy(fz_context* ctx, pdf_obj* value, pdf_obj** src_annots, pdf_obj** dst_annots, int n)
{
    int i, num = pdf_to_num(ctx, value);
    for (i = 0; i < n && num > 0; i++)
        if (dst_annots[i] && pdf_to_num(ctx, src_annots[i]) == num)
            return dst_annots[i];
    return NULL;
}

static void fill_annot(fz_context* ctx, lf_output* out, int slot, pdf_obj* dst_page, pdf_obj* annot,
                       pdf_obj* copy, pdf_obj* mapped_dest, pdf_obj** src_annots, pdf_obj** dst_annots, int count)
{
    lf_source* s = &out->sources[slot];
    int is_widget = pdf_name_eq(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Subtype)), PDF_NAME(Widget));
    int i, n = pdf_dict_len(ctx, annot);
    for (i = 0; i < n; i++)
    {
        pdf_obj* key = pdf_dict_get_key(ctx, annot, i);
        pdf_obj* val = pdf_dict_get_val(ctx, annot, i);
        if (pdf_name_eq(ctx, key, PDF_NAME(P)))
            pdf_dict_put(ctx, copy, key, dst_page);
        else if (pdf_name_eq(ctx, key, PDF_NAME(Parent)) && is_widget)
            attach_to_field(ctx, out, slot, copy, val, 0);
        else if (pdf_name_eq(ctx, key, PDF_NAME(Popup)) || pdf_name_eq(ctx, key, PDF_NAME(Parent)) ||
                 pdf_name_eq(ctx, key, PDF_NAME(IRT)))
        {
            pdf_obj* mapped = local_copy(ctx, val, src_annots, dst_annots, count);
            if (mapped)
                pdf_dict_put(ctx, copy, key, mapped);
        }
        else if (pdf_name_eq(ctx, key, PDF_NAME(Dest)))
        {
            if (mapped_dest)
                pdf_dict_put(ctx, copy, key, mapped_dest);
        }
        else if (pdf_name_eq(ctx, key, PDF_NAME(A)) && pdf_is_dict(ctx, val))
            pdf_dict_put_drop(ctx, copy, key, copy_action(ctx, out, s, val, mapped_dest));
        else if (pdf_name_eq(ctx, key, PDF_NAME(StructParent)))
            continue; /* the structure tree is not carried over */
        else
            pdf_dict_put_drop(ctx, copy, key, pdf_graft_mapped_object(ctx, s->map, val));
    }
    if (is_widget && !pdf_dict_get(ctx, annot, PDF_NAME(Parent)) && pdf_dict_get(ctx, annot, PDF_NAME(FT)))
        add_field_to_output(ctx, out, slot, copy);
}

static void copy_page_annots(fz_context* ctx, lf_output* out, lf_out_page* page)
{
    lf_source* s = &out->sources[page->slot];
    pdf_obj* annots = pdf_dict_get(ctx, page->src_page, PDF_NAME(Annots));
    int i, n = pdf_array_len(ctx, annots);
    pdf_obj** src_annots = NULL;
    pdf_obj** dst_annots = NULL;
    pdf_obj** mapped_dests = NULL;
    pdf_obj* list = NULL;
    if (n <= 0)
        return;
    fz_var(src_annots);
    fz_var(dst_annots);
    fz_var(mapped_dests);
    fz_var(list);
    fz_try(ctx)
    {
        src_annots = fz_calloc(ctx, n, sizeof(pdf_obj*));
        dst_annots = fz_calloc(ctx, n, sizeof(pdf_obj*));
        mapped_dests = fz_calloc(ctx, n, sizeof(pdf_obj*));
        list = pdf_new_array(ctx, out->dst, n);
        for (i = 0; i < n; i++)
        {
            src_annots[i] = pdf_array_get(ctx, annots, i);
            if (keeps_annot(ctx, out, s, src_annots[i], &mapped_dests[i]))
            {
                dst_annots[i] = pdf_add_new_dict(ctx, out->dst, 8);
                pdf_array_push(ctx, list, dst_annots[i]);
            }
        }
        for (i = 0; i < n; i++)
            if (dst_annots[i])
                fill_annot(ctx, out, page->slot, page->dst_page, pdf_resolve_indirect(ctx, src_annots[i]),
                           dst_annots[i], mapped_dests[i], src_annots, dst_annots, n);
        if (pdf_array_len(ctx, list) > 0)
            pdf_dict_put(ctx, page->dst_page, PDF_NAME(Annots), list);
    }
    fz_always(ctx)
    {
        for (i = 0; dst_annots && i < n; i++)
            pdf_drop_obj(ctx, dst_annots[i]);
        for (i = 0; mapped_dests && i < n; i++)
            pdf_drop_obj(ctx, mapped_dests[i]);
        fz_free(ctx, mapped_dests);
        fz_free(ctx, src_annots);
        fz_free(ctx, dst_annots);
        pdf_drop_obj(ctx, list);
    }
    fz_catch(ctx)
    {
        fz_rethrow(ctx);
    }
}

static void finish_form(fz_context* ctx, lf_output* out)
{
    static pdf_obj* const defaults[] = {PDF_NAME(DA), PDF_NAME(DR), PDF_NAME(Q)};
    pdf_obj *form, *src_form;
    lf_source* s;
    size_t i;
    if (!out->fields)
        return;
    s = &out->sources[out->form_slot];
    src_form = pdf_dict_get(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, s->doc), PDF_NAME(Root)), PDF_NAME(AcroForm));
    form = pdf_dict_put_dict(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, out->dst), PDF_NAME(Root)), PDF_NAME(AcroForm), 4);
    pdf_dict_put(ctx, form, PDF_NAME(Fields), out->fields);
    for (i = 0; i < nelem(defaults); i++)
    {
        pdf_obj* value = pdf_dict_get(ctx, src_form, defaults[i]);
        if (value)
            pdf_dict_put_drop(ctx, form, defaults[i], pdf_graft_mapped_object(ctx, s->map, value));
    }
    if (pdf_to_bool(ctx, pdf_dict_gets(ctx, src_form, "NeedAppearances")))
        pdf_dict_puts(ctx, form, "NeedAppearances", PDF_TRUE);
}

/* Appending one page at a time makes MuPDF walk the whole page list for every page; inserting
   at the front, last page first, finds its place at once. */
static void insert_pages(fz_context* ctx, lf_output* out)
{
    int i;
    for (i = out->page_count - 1; i >= 0; i--)
        pdf_insert_page(ctx, out->dst, 0, out->pages[i].dst_page);
}

static void copy_all_annots(fz_context* ctx, lf_output* out)
{
    int i;
    fz_var(i);
    for (i = 0; i < out->page_count; i++)
    {
        if (out->pages[i].slot < 0)
            continue;
        /* A malformed annotation list costs that page its annotations, not the whole result. */
        fz_try(ctx)
        {
            copy_page_annots(ctx, out, &out->pages[i]);
        }
        fz_catch(ctx)
        {
            fz_rethrow_if(ctx, FZ_ERROR_MEMORY);
        }
    }
}

int lf_output_finish(fz_context* ctx, lf_output* out, int info_slot, lf_error* err)
{
    fz_try(ctx)
    {
        pdf_obj* trailer = pdf_trailer(ctx, out->dst);
        insert_pages(ctx, out);
        copy_all_annots(ctx, out);
        finish_form(ctx, out);
        pdf_dict_del(ctx, trailer, PDF_NAME(Info));
        if (info_slot >= 0 && info_slot < out->source_count)
        {
            lf_source* s = &out->sources[info_slot];
            pdf_obj* info = pdf_dict_get(ctx, pdf_trailer(ctx, s->doc), PDF_NAME(Info));
            if (pdf_is_dict(ctx, info))
                pdf_dict_put_drop(ctx, trailer, PDF_NAME(Info), pdf_graft_mapped_object(ctx, s->map, info));
        }
    }
    fz_catch(ctx)
    {
        catch_into(ctx, err);
        return 1;
    }
    return 0;
}

int lf_output_save(fz_context* ctx, lf_output* out, unsigned char** data, size_t* len, lf_error* err)
{
    fz_buffer* buffer = NULL;
    fz_output* stream = NULL;
    int failed = 0;
    *data = NULL;
    *len = 0;
    fz_var(buffer);
    fz_var(stream);
    fz_try(ctx)
    {
        pdf_write_options options = pdf_default_write_options;
        buffer = fz_new_buffer(ctx, 1 << 16);
        stream = fz_new_output_with_buffer(ctx, buffer);
        pdf_write_document(ctx, out->dst, stream, &options);
        fz_close_output(ctx, stream);
        *len = fz_buffer_extract(ctx, buffer, data);
    }
    fz_always(ctx)
    {
        fz_drop_output(ctx, stream);
        fz_drop_buffer(ctx, buffer);
    }
    fz_catch(ctx)
    {
        catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

void lf_free(fz_context* ctx, void* data)
{
    fz_free(ctx, data);
}

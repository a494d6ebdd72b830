/* SPDX-License-Identifier: AGPL-3.0-or-later */
/* A new document put together from pages of open sources. */
#include "core/engine/PdfOutput-imp.h"

#include <errno.h>
#include <limits.h>
#include <string.h>
#include <unistd.h>

int lf_output_new(fz_context* ctx, lf_output** out, lf_error* err)
{
    lf_output* o = NULL;
    fz_var(o);
    *out = NULL;
    fz_try(ctx)
    {
        o = fz_malloc_struct(ctx, lf_output);
        o->form_page = INT_MAX;
        o->dst = pdf_create_document(ctx);
    }
    fz_catch(ctx)
    {
        if (o)
            fz_free(ctx, o);
        lf_catch_into(ctx, err);
        return 1;
    }
    *out = o;
    return 0;
}

/* Lets go of a source: its graft map holds the source document open. */
static void release_source(fz_context* ctx, lf_source* s)
{
    pdf_drop_graft_map(ctx, s->map);
    fz_free(ctx, s->page_of_object);
    fz_free(ctx, s->pages);
    fz_free(ctx, s->first_output);
    fz_free(ctx, s->field_copy);
    fz_drop_hash_table(ctx, s->mapped_names);
    fz_drop_hash_table(ctx, s->mapped_actions);
    memset(s, 0, sizeof *s);
    s->first_placed = s->last_placed = -1;
}

void lf_output_drop(fz_context* ctx, lf_output* out)
{
    int i;
    if (!out)
        return;
    for (i = 0; i < out->source_count; i++)
        release_source(ctx, &out->sources[i]);
    fz_free(ctx, out->sources);
    for (i = 0; i < out->page_count; i++)
        pdf_drop_obj(ctx, out->pages[i].dst_page);
    lf_drop_annotation_state(ctx, out);
    lf_drop_outline_state(ctx, out);
    fz_free(ctx, out->pages);
    pdf_drop_document(ctx, out->dst);
    fz_free(ctx, out);
}

/* Link targets name pages by object; one pass over the pages answers every later lookup.
   (MuPDF's own page tree cache leaks objects in this version once pages are copied.) */
static void index_pages(fz_context* ctx, lf_source* s, const lf_cancel* cancel)
{
    int i;
    s->page_of_object = fz_malloc_array(ctx, s->xref_len > 0 ? s->xref_len : 1, int);
    for (i = 0; i < s->xref_len; i++)
        s->page_of_object[i] = -1;
    s->pages = lf_page_list(ctx, s->doc, cancel, &s->page_count);
    for (i = 0; i < s->page_count; i++)
    {
        int num = pdf_to_num(ctx, s->pages[i]);
        if (num > 0 && num < s->xref_len && s->page_of_object[num] < 0)
            s->page_of_object[num] = i;
    }
}

int lf_output_add_source(fz_context* ctx, lf_output* out, pdf_document* src, const lf_cancel* cancel, int* slot,
                         int* page_count, lf_error* err)
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
        s->first_placed = s->last_placed = -1;
        s->doc = src;
        out->source_count++; /* counted now so that drop releases whatever follows */
        s->map = pdf_new_graft_map(ctx, out->dst);
        s->xref_len = pdf_xref_len(ctx, src);
        index_pages(ctx, s, cancel);
        s->first_output = fz_malloc_array(ctx, s->page_count > 0 ? s->page_count : 1, int);
        for (i = 0; i < s->page_count; i++)
            s->first_output[i] = -1;
        *slot = out->source_count - 1;
        *page_count = s->page_count;
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
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
    out->pages[out->page_count].next_of_source = -1;
    if (slot >= 0)
    {
        lf_source* s = &out->sources[slot];
        if (s->last_placed >= 0)
            out->pages[s->last_placed].next_of_source = out->page_count;
        else
            s->first_placed = out->page_count;
        s->last_placed = out->page_count;
    }
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
        pdf_obj* src_page = index >= 0 && index < s->page_count ? s->pages[index] : NULL;
        int rotation;
        size_t i;
        if (!src_page)
            fz_throw(ctx, FZ_ERROR_GENERIC, "no page %d", index);
        page_dict = pdf_new_dict(ctx, out->dst, 10);
        pdf_dict_put(ctx, page_dict, PDF_NAME(Type), PDF_NAME(Page));
        for (i = 0; i < nelem(copied_keys); i++)
        {
            pdf_obj* value = pdf_dict_get_inheritable(ctx, src_page, copied_keys[i]);
            if (value)
                pdf_dict_put_drop(ctx, page_dict, copied_keys[i], pdf_graft_mapped_object(ctx, s->map, value));
        }
        rotation = normalized(lf_page_rotation(ctx, src_page) + extra_rotation);
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
        lf_catch_into(ctx, err);
        return 1;
    }
    return 0;
}

int lf_output_append_blank(fz_context* ctx, lf_output* out, float width, float height, int rotation, lf_error* err)
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
        ref = pdf_add_page(ctx, out->dst, fz_make_rect(0, 0, width, height), normalized(rotation), resources, contents);
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
        lf_catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

/* Appending one page at a time makes MuPDF walk the whole page list for every page; inserting
   at the front, last page first, finds its place at once. */
static void insert_pages(fz_context* ctx, lf_output* out)
{
    int i;
    for (i = out->page_count - 1; i >= 0; i--)
        pdf_insert_page(ctx, out->dst, 0, out->pages[i].dst_page);
}

int lf_output_complete_source(fz_context* ctx, lf_output* out, int slot, int take_info, lf_error* err)
{
    int failed = 0;
    if (slot < 0 || slot >= out->source_count || !out->sources[slot].doc)
        return 0;
    fz_try(ctx)
    {
        lf_source* s = &out->sources[slot];
        lf_copy_annotations(ctx, out, slot);
        lf_copy_outline(ctx, out, slot);
        if (take_info)
        {
            pdf_obj* info = pdf_dict_get(ctx, pdf_trailer(ctx, s->doc), PDF_NAME(Info));
            if (pdf_is_dict(ctx, info))
                pdf_dict_put_drop(ctx, pdf_trailer(ctx, out->dst), PDF_NAME(Info),
                                  pdf_graft_mapped_object(ctx, s->map, info));
        }
    }
    fz_always(ctx)
    {
        release_source(ctx, &out->sources[slot]);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

int lf_output_finish(fz_context* ctx, lf_output* out, lf_error* err)
{
    int i;
    for (i = 0; i < out->source_count; i++)
        if (lf_output_complete_source(ctx, out, i, 0, err))
            return 1;
    fz_try(ctx)
    {
        insert_pages(ctx, out);
        lf_finish_form(ctx, out);
        lf_finish_outline(ctx, out);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
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
        lf_catch_into(ctx, err);
        failed = 1;
    }
    return failed;
}

typedef struct
{
    int fd;
    int64_t written;
    int error; /* errno of the write that failed */
} fd_sink;

static void write_to_fd(fz_context* ctx, void* state, const void* data, size_t size)
{
    fd_sink* sink = state;
    const char* bytes = data;
    while (size > 0)
    {
        ssize_t written = write(sink->fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
        {
            sink->error = written < 0 ? errno : EIO;
            fz_throw(ctx, FZ_ERROR_GENERIC, "cannot write: %s", strerror(sink->error));
        }
        bytes += written;
        size -= (size_t)written;
        sink->written += written;
    }
}

/* The writer records object offsets as it goes. */
static int64_t tell_fd(fz_context* ctx, void* state)
{
    (void)ctx;
    return ((fd_sink*)state)->written;
}

int lf_output_save_to_fd(fz_context* ctx, lf_output* out, int fd, int* write_error, lf_error* err)
{
    fz_output* stream = NULL;
    fd_sink sink = {fd, 0, 0};
    int failed = 0;
    fz_var(stream);
    fz_try(ctx)
    {
        pdf_write_options options = pdf_default_write_options;
        stream = fz_new_output(ctx, 1 << 16, &sink, write_to_fd, NULL, NULL);
        stream->tell = tell_fd;
        pdf_write_document(ctx, out->dst, stream, &options);
        fz_close_output(ctx, stream);
    }
    fz_always(ctx)
    {
        fz_drop_output(ctx, stream);
    }
    fz_catch(ctx)
    {
        lf_catch_into(ctx, err);
        *write_error = sink.error;
        failed = 1;
    }
    return failed;
}

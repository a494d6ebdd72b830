/* SPDX-License-Identifier: AGPL-3.0-or-later */
/* Annotations travel with their pages: links follow their target page or are dropped, form
   fields are rebuilt from the widgets that came along, notes keep their pop-ups. */
#include "core/engine/PdfOutput-imp.h"

#include <stdlib.h>
#include <string.h>

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

static void drop_shared(fz_context* ctx, void* obj)
{
    pdf_drop_obj(ctx, obj);
}

/* Keeps `value` in `*table` under `key` (of `keylen` bytes). */
static void share(fz_context* ctx, fz_hash_table** table, int keylen, const void* key, pdf_obj* value)
{
    if (!*table)
        *table = fz_new_hash_table(ctx, 256, keylen, -1, drop_shared);
    pdf_keep_obj(ctx, value);
    fz_try(ctx)
    {
        fz_hash_insert(ctx, *table, key, value);
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, value);
        fz_rethrow(ctx);
    }
}

/* A named destination as a hash key, its kind and bytes, when it is short enough to be one. */
static int name_key(fz_context* ctx, pdf_obj* dest, unsigned char key[FZ_HASH_TABLE_KEY_LENGTH])
{
    const char* text;
    size_t len;
    memset(key, 0, FZ_HASH_TABLE_KEY_LENGTH);
    if (pdf_is_name(ctx, dest))
    {
        text = pdf_to_name(ctx, dest);
        len = strlen(text);
        key[0] = 1;
    }
    else if (pdf_is_string(ctx, dest))
    {
        text = pdf_to_string(ctx, dest, &len);
        key[0] = 2;
    }
    else
        return 0;
    if (len > FZ_HASH_TABLE_KEY_LENGTH - 2)
        return 0;
    key[1] = (unsigned char)len;
    memcpy(key + 2, text, len);
    return 1;
}

/* Manuals send thousands of links to the same few hundred names: each name is looked up and
   copied once. */
pdf_obj* lf_remap_dest(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* dest)
{
    unsigned char key[FZ_HASH_TABLE_KEY_LENGTH];
    int named = name_key(ctx, dest, key);
    pdf_obj* mapped = named && s->mapped_names ? fz_hash_find(ctx, s->mapped_names, key) : NULL;
    pdf_obj* array;
    int page;
    if (mapped)
        return pdf_keep_obj(ctx, mapped);
    array = dest_array(ctx, s, dest);
    page = array ? dest_output_page(ctx, s, array) : -1;
    if (page < 0)
        return NULL;
    mapped = copy_dest_array(ctx, out, array, out->pages[page].dst_page);
    if (named)
    {
        fz_try(ctx)
        {
            share(ctx, &s->mapped_names, sizeof key, key, mapped);
        }
        fz_catch(ctx)
        {
            pdf_drop_obj(ctx, mapped);
            fz_rethrow(ctx);
        }
    }
    return mapped;
}

int lf_is_goto(fz_context* ctx, pdf_obj* action)
{
    return pdf_name_eq(ctx, pdf_dict_get(ctx, action, PDF_NAME(S)), PDF_NAME(GoTo));
}

/* Whether an object named in /Annots is an annotation: a damaged or hostile file may name its
   pages, a page tree node or the catalog there, which must be neither copied nor forgotten. */
static int is_annotation(fz_context* ctx, lf_source* s, pdf_obj* obj)
{
    pdf_obj* type;
    int num = pdf_to_num(ctx, obj);
    if (!pdf_is_dict(ctx, obj) || !pdf_is_name(ctx, pdf_dict_get(ctx, obj, PDF_NAME(Subtype))))
        return 0;
    if (num > 0 && num < s->xref_len && s->page_of_object[num] >= 0)
        return 0;
    type = pdf_dict_get(ctx, obj, PDF_NAME(Type));
    return !pdf_name_eq(ctx, type, PDF_NAME(Page)) && !pdf_name_eq(ctx, type, PDF_NAME(Pages)) &&
           !pdf_name_eq(ctx, type, PDF_NAME(Catalog)) && !pdf_dict_get(ctx, obj, PDF_NAME(Kids));
}

/* Whether an annotation is copied. A link whose internal target is not in the output is left
   out; for one that stays, *mapped_dest receives its remapped destination. */
static int keeps_annot(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* annot, pdf_obj** mapped_dest)
{
    pdf_obj *dest, *action;
    *mapped_dest = NULL;
    if (!is_annotation(ctx, s, annot))
        return 0;
    if (!pdf_name_eq(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Subtype)), PDF_NAME(Link)))
        return 1;
    dest = pdf_dict_get(ctx, annot, PDF_NAME(Dest));
    action = pdf_dict_get(ctx, annot, PDF_NAME(A));
    if (!dest && lf_is_goto(ctx, action))
        dest = pdf_dict_get(ctx, action, PDF_NAME(D));
    else if (!dest)
        return 1;
    *mapped_dest = lf_remap_dest(ctx, out, s, dest);
    return *mapped_dest != NULL;
}

/* A plain go-to action, /S and /D alone, is the same for every link to its destination: the
   copy is shared by them (keyed by the mapped destination, which the shared copy keeps alive). */
static pdf_obj* copy_action(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* action, pdf_obj* mapped_dest)
{
    int i, n = pdf_dict_len(ctx, action);
    int plain = mapped_dest && n == 2 && lf_is_goto(ctx, action) && pdf_dict_get(ctx, action, PDF_NAME(D));
    pdf_obj* copy = plain && s->mapped_actions ? fz_hash_find(ctx, s->mapped_actions, &mapped_dest) : NULL;
    if (copy)
        return pdf_keep_obj(ctx, copy);
    copy = pdf_new_dict(ctx, out->dst, n);
    fz_try(ctx)
    {
        for (i = 0; i < n; i++)
        {
            pdf_obj* key = pdf_dict_get_key(ctx, action, i);
            pdf_obj* val = pdf_dict_get_val(ctx, action, i);
            /* Chained actions may name other pages; they are not worth that risk. */
            if (pdf_name_eq(ctx, key, PDF_NAME(Next)))
                continue;
            if (pdf_name_eq(ctx, key, PDF_NAME(D)) && lf_is_goto(ctx, action))
                pdf_dict_put(ctx, copy, key, mapped_dest);
            else
                pdf_dict_put_drop(ctx, copy, key, pdf_graft_mapped_object(ctx, s->map, val));
        }
        if (plain)
            share(ctx, &s->mapped_actions, sizeof mapped_dest, &mapped_dest, copy);
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, copy);
        fz_rethrow(ctx);
    }
    return copy;
}

/* The form takes /DA, /DR and /Q from the source of its first field, copied while it is open. */
static void take_form_defaults(fz_context* ctx, lf_output* out, lf_source* s)
{
    static pdf_obj* const defaults[] = {PDF_NAME(DA), PDF_NAME(DR), PDF_NAME(Q)};
    pdf_obj* src_form =
        pdf_dict_get(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, s->doc), PDF_NAME(Root)), PDF_NAME(AcroForm));
    pdf_obj* form = pdf_new_dict(ctx, out->dst, 4);
    size_t i;
    fz_try(ctx)
    {
        for (i = 0; i < nelem(defaults); i++)
        {
            pdf_obj* value = pdf_dict_get(ctx, src_form, defaults[i]);
            if (value)
                pdf_dict_put_drop(ctx, form, defaults[i], pdf_graft_mapped_object(ctx, s->map, value));
        }
        if (pdf_to_bool(ctx, pdf_dict_gets(ctx, src_form, "NeedAppearances")))
            pdf_dict_puts(ctx, form, "NeedAppearances", PDF_TRUE);
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, form);
        fz_rethrow(ctx);
    }
    pdf_drop_obj(ctx, out->form);
    out->form = form;
}

static void add_field_to_output(fz_context* ctx, lf_output* out, int slot, pdf_obj* field_ref)
{
    lf_field* field;
    if (out->copying_page < out->form_page)
    {
        take_form_defaults(ctx, out, &out->sources[slot]);
        out->form_page = out->copying_page;
    }
    if (out->field_count == out->field_cap)
    {
        int cap = out->field_cap ? out->field_cap * 2 : 8;
        out->fields = fz_realloc_array(ctx, out->fields, cap, lf_field);
        out->field_cap = cap;
    }
    field = &out->fields[out->field_count];
    field->page = out->copying_page;
    field->order = out->field_count;
    field->ref = pdf_keep_obj(ctx, field_ref);
    out->field_count++;
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

static int* field_copies(fz_context* ctx, lf_source* s)
{
    if (!s->field_copy)
        s->field_copy = fz_calloc(ctx, s->xref_len > 0 ? s->xref_len : 1, sizeof(int));
    return s->field_copy;
}

/* The output copy of a (non-terminal) form field and its ancestors, shared by every widget
   below it. Only the widgets that are copied become its kids. While a field's ancestors are
   being copied it is marked -1: meeting it again there means its /Parent chain loops, and the
   chain is cut (NULL) so that the field just copied becomes a top-level one. */
static pdf_obj* copy_field(fz_context* ctx, lf_output* out, int slot, pdf_obj* field, int depth)
{
    lf_source* s = &out->sources[slot];
    int num = pdf_to_num(ctx, field);
    int numbered = num > 0 && num < s->xref_len;
    int* copies;
    pdf_obj* copy;
    if (!pdf_is_dict(ctx, field) || depth > 32)
        return NULL;
    copies = field_copies(ctx, s);
    if (numbered && copies[num])
        return copies[num] < 0 ? NULL : pdf_new_indirect(ctx, out->dst, copies[num], 0);
    copy = pdf_add_new_dict(ctx, out->dst, 8);
    fz_try(ctx)
    {
        if (numbered)
            copies[num] = -1;
        fill_field(ctx, out, slot, field, copy, depth);
        if (numbered)
            copies[num] = pdf_to_num(ctx, copy);
    }
    fz_catch(ctx)
    {
        if (numbered)
            copies[num] = 0;
        pdf_drop_obj(ctx, copy);
        fz_rethrow(ctx);
    }
    return copy;
}

/* Makes the copy of widget `num` a kid of the copy of its field; false when there is none.
   Meanwhile the widget counts as a field being copied, for a /Parent chain leading back to it. */
static int attach_widget(fz_context* ctx, lf_output* out, int slot, int num, pdf_obj* copy, pdf_obj* parent)
{
    lf_source* s = &out->sources[slot];
    int* copies = field_copies(ctx, s);
    int marked = num > 0 && num < s->xref_len && copies[num] == 0;
    int attached = 0;
    fz_var(attached);
    if (marked)
        copies[num] = -1;
    fz_try(ctx)
    {
        attached = attach_to_field(ctx, out, slot, copy, parent, 0);
    }
    fz_always(ctx)
    {
        if (marked)
            copies[num] = 0;
    }
    fz_catch(ctx)
    {
        fz_rethrow(ctx);
    }
    return attached;
}

static pdf_obj* local_copy(fz_context* ctx, pdf_obj* value, pdf_obj** src_annots, pdf_obj** dst_annots, int n)
{
    int i, num = pdf_to_num(ctx, value);
    for (i = 0; i < n && num > 0; i++)
        if (dst_annots[i] && pdf_to_num(ctx, src_annots[i]) == num)
            return dst_annots[i];
    return NULL;
}

/* A copy of a short array of numbers, such as /Border [0 0 0] or a colour: thousands of links
   repeat the same few, so they are held once and written out in full wherever they are used. */
static pdf_obj* shared_copy(fz_context* ctx, lf_output* out, lf_source* s, pdf_obj* value)
{
    pdf_obj* copy;
    int i, n = pdf_array_len(ctx, value);
    if (pdf_is_indirect(ctx, value) || !pdf_is_array(ctx, value) || n > 4)
        return pdf_graft_mapped_object(ctx, s->map, value);
    for (i = 0; i < n; i++)
        if (!pdf_is_number(ctx, pdf_array_get(ctx, value, i)))
            return pdf_graft_mapped_object(ctx, s->map, value);
    for (i = 0; i < out->shared_count; i++)
        if (!pdf_objcmp(ctx, out->shared[i], value))
            return pdf_keep_obj(ctx, out->shared[i]);
    copy = pdf_graft_mapped_object(ctx, s->map, value);
    if (out->shared_count < (int)nelem(out->shared))
        out->shared[out->shared_count++] = pdf_keep_obj(ctx, copy);
    return copy;
}

static void fill_annot(fz_context* ctx, lf_output* out, int slot, pdf_obj* dst_page, pdf_obj* src_ref, pdf_obj* copy,
                       pdf_obj* mapped_dest, pdf_obj** src_annots, pdf_obj** dst_annots, int count)
{
    lf_source* s = &out->sources[slot];
    pdf_obj* annot = pdf_resolve_indirect(ctx, src_ref);
    int is_widget = pdf_name_eq(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Subtype)), PDF_NAME(Widget));
    int attached = 0;
    int i, n = pdf_dict_len(ctx, annot);
    for (i = 0; i < n; i++)
    {
        pdf_obj* key = pdf_dict_get_key(ctx, annot, i);
        pdf_obj* val = pdf_dict_get_val(ctx, annot, i);
        if (pdf_name_eq(ctx, key, PDF_NAME(P)))
            pdf_dict_put(ctx, copy, key, dst_page);
        else if (pdf_name_eq(ctx, key, PDF_NAME(Parent)) && is_widget)
            attached = attach_widget(ctx, out, slot, pdf_to_num(ctx, src_ref), copy, val);
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
        else if (pdf_name_eq(ctx, key, PDF_NAME(Border)) || pdf_name_eq(ctx, key, PDF_NAME(C)))
            pdf_dict_put_drop(ctx, copy, key, shared_copy(ctx, out, s, val));
        else
            pdf_dict_put_drop(ctx, copy, key, pdf_graft_mapped_object(ctx, s->map, val));
    }
    if (is_widget && !attached && pdf_dict_get(ctx, annot, PDF_NAME(FT)))
        add_field_to_output(ctx, out, slot, copy);
}

/* Lets the source forget a parsed annotation once it has been copied, as MuPDF's own
   pdf_clear_xref would; if it is needed again it is parsed again. A long manual's links would
   otherwise all stay in memory twice, once parsed and once copied. Only an annotation that
   nothing else holds goes: pages and the page tree are borrowed by pointer, uncounted. */
static void forget_parsed(fz_context* ctx, lf_source* s, pdf_obj* ref)
{
    pdf_xref_entry* entry;
    int num = pdf_to_num(ctx, ref);
    if (!pdf_is_indirect(ctx, ref) || num <= 0 || num >= pdf_xref_len(ctx, s->doc))
        return;
    entry = pdf_get_xref_entry(ctx, s->doc, num);
    if (entry && entry->obj && !entry->stm_buf && pdf_obj_refs(ctx, entry->obj) == 1 &&
        is_annotation(ctx, s, ref))
    {
        pdf_drop_obj(ctx, entry->obj);
        entry->obj = NULL;
    }
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
                dst_annots[i] = pdf_add_new_dict(ctx, out->dst, pdf_dict_len(ctx, src_annots[i]));
                pdf_array_push(ctx, list, dst_annots[i]);
            }
        }
        for (i = 0; i < n; i++)
            if (dst_annots[i])
                fill_annot(ctx, out, page->slot, page->dst_page, src_annots[i], dst_annots[i], mapped_dests[i],
                           src_annots, dst_annots, n);
        if (pdf_array_len(ctx, list) > 0)
            pdf_dict_put(ctx, page->dst_page, PDF_NAME(Annots), list);
        for (i = 0; i < n; i++)
            forget_parsed(ctx, s, src_annots[i]);
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

static int by_page(const void* a, const void* b)
{
    const lf_field* x = a;
    const lf_field* y = b;
    if (x->page != y->page)
        return x->page < y->page ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

void lf_finish_form(fz_context* ctx, lf_output* out)
{
    pdf_obj* fields;
    int i;
    if (out->field_count == 0)
        return;
    qsort(out->fields, out->field_count, sizeof *out->fields, by_page);
    if (!out->form)
        out->form = pdf_new_dict(ctx, out->dst, 1);
    fields = pdf_dict_put_array(ctx, out->form, PDF_NAME(Fields), out->field_count);
    for (i = 0; i < out->field_count; i++)
        pdf_array_push(ctx, fields, out->fields[i].ref);
    pdf_dict_put(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, out->dst), PDF_NAME(Root)), PDF_NAME(AcroForm), out->form);
}

void lf_drop_annotation_state(fz_context* ctx, lf_output* out)
{
    int i;
    for (i = 0; i < out->shared_count; i++)
        pdf_drop_obj(ctx, out->shared[i]);
    out->shared_count = 0;
    for (i = 0; i < out->field_count; i++)
        pdf_drop_obj(ctx, out->fields[i].ref);
    fz_free(ctx, out->fields);
    pdf_drop_obj(ctx, out->form);
    out->fields = NULL;
    out->form = NULL;
    out->field_count = out->field_cap = 0;
}

void lf_copy_annotations(fz_context* ctx, lf_output* out, int slot)
{
    int i;
    fz_var(i);
    for (i = out->sources[slot].first_placed; i >= 0; i = out->pages[i].next_of_source)
    {
        out->copying_page = i;
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

/* SPDX-License-Identifier: AGPL-3.0-or-later */
/* Bookmarks travel with their pages: an entry follows the first copy of its target page, gives
   way to its children when that page is left out, and a heading stays while anything below it
   does. Each source's entries come together under the output's /Outlines at the end. */
#include "core/engine/PdfOutput-imp.h"

#include <stdlib.h>
#include <string.h>

/* No reader shows more levels; a hostile file must not run the stack out. */
#define OUTLINE_DEPTH 48
/* Values copied into actions that leave the document are short: a file name, a web address. */
#define PLAIN_DEPTH 4

typedef struct
{
    lf_output* out;
    lf_source* s;
    unsigned char* seen;     /* source object number -> visited, so that no loop is followed twice */
    lf_outline_entry* stack; /* the kept entries of every level still being walked, owned */
    int count, cap;
    pdf_obj* pending; /* a target made but not yet stored in its entry, owned */
} outline_walk;

static pdf_obj* plain_copy(fz_context* ctx, pdf_document* dst, pdf_obj* obj, int depth);

static pdf_obj* plain_container(fz_context* ctx, pdf_document* dst, pdf_obj* obj, int array, int depth)
{
    int i, n = array ? pdf_array_len(ctx, obj) : pdf_dict_len(ctx, obj);
    pdf_obj* copy = array ? pdf_new_array(ctx, dst, n) : pdf_new_dict(ctx, dst, n);
    fz_var(copy);
    fz_try(ctx)
    {
        for (i = 0; i < n && copy; i++)
        {
            pdf_obj* item =
                plain_copy(ctx, dst, array ? pdf_array_get(ctx, obj, i) : pdf_dict_get_val(ctx, obj, i), depth + 1);
            if (item && array)
                pdf_array_push_drop(ctx, copy, item);
            else if (item)
                pdf_dict_put_drop(ctx, copy, pdf_dict_get_key(ctx, obj, i), item);
            else if (array)
            {
                /* A position left out would shift the rest. */
                pdf_drop_obj(ctx, copy);
                copy = NULL;
            }
        }
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, copy);
        fz_rethrow(ctx);
    }
    return copy;
}

/* `obj` copied into the output when it holds only numbers, names, strings and containers of
   them: nothing that could pull objects of the source along. NULL otherwise; a dictionary
   leaves out the values that are not plain. */
static pdf_obj* plain_copy(fz_context* ctx, pdf_document* dst, pdf_obj* obj, int depth)
{
    pdf_obj* value = pdf_resolve_indirect(ctx, obj);
    if (pdf_is_number(ctx, value) || pdf_is_name(ctx, value) || pdf_is_string(ctx, value) || pdf_is_bool(ctx, value))
        return pdf_keep_obj(ctx, value);
    if (depth >= PLAIN_DEPTH || !(pdf_is_array(ctx, value) || pdf_is_dict(ctx, value)))
        return NULL;
    return plain_container(ctx, dst, value, pdf_is_array(ctx, value), depth);
}

/* Actions that do not depend on the source's pages: a web address, another file, a reader
   command. Launch, JavaScript and form actions are not carried: they act on the source
   document or run programs, which a bookmark in a new document has no business doing. */
static pdf_obj* outside_action(fz_context* ctx, lf_output* out, pdf_obj* action)
{
    pdf_obj* const kinds[][2] = {
        {PDF_NAME(URI), PDF_NAME(URI)}, {PDF_NAME(GoToR), PDF_NAME(F)}, {PDF_NAME(Named), PDF_NAME(N)}};
    pdf_obj* kind = pdf_dict_get(ctx, action, PDF_NAME(S));
    pdf_obj* copy;
    size_t k;
    int i, n = pdf_dict_len(ctx, action);
    for (k = 0; k < nelem(kinds) && !pdf_name_eq(ctx, kind, kinds[k][0]); k++)
        ;
    if (k == nelem(kinds))
        return NULL;
    copy = pdf_new_dict(ctx, out->dst, n);
    fz_try(ctx)
    {
        for (i = 0; i < n; i++)
        {
            pdf_obj* key = pdf_dict_get_key(ctx, action, i);
            /* A chained action may lead anywhere. */
            pdf_obj* value = pdf_name_eq(ctx, key, PDF_NAME(Next))
                                 ? NULL
                                 : plain_copy(ctx, out->dst, pdf_dict_get_val(ctx, action, i), 0);
            if (value)
                pdf_dict_put_drop(ctx, copy, key, value);
        }
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, copy);
        fz_rethrow(ctx);
    }
    if (!pdf_dict_get(ctx, copy, kinds[k][1]))
    {
        pdf_drop_obj(ctx, copy);
        return NULL;
    }
    return copy;
}

/* /S /GoTo /D `mapped`, which it takes. */
static pdf_obj* goto_action(fz_context* ctx, lf_output* out, pdf_obj* mapped)
{
    pdf_obj* action = NULL;
    fz_var(action);
    fz_try(ctx)
    {
        action = pdf_new_dict(ctx, out->dst, 2);
        pdf_dict_put(ctx, action, PDF_NAME(S), PDF_NAME(GoTo));
        pdf_dict_put(ctx, action, PDF_NAME(D), mapped);
    }
    fz_always(ctx)
    {
        pdf_drop_obj(ctx, mapped);
    }
    fz_catch(ctx)
    {
        pdf_drop_obj(ctx, action);
        fz_rethrow(ctx);
    }
    return action;
}

enum
{
    NO_TARGET,
    TARGET_LEFT_OUT,
    TARGET_KEPT
};

/* Where a source entry leads in the output. For a kept target, *key and walk->pending receive
   the entry's /Dest or /A. */
static int entry_target(fz_context* ctx, outline_walk* w, pdf_obj* item, pdf_obj** key)
{
    pdf_obj* dest = pdf_dict_get(ctx, item, PDF_NAME(Dest));
    pdf_obj* action = pdf_dict_get(ctx, item, PDF_NAME(A));
    *key = dest ? PDF_NAME(Dest) : PDF_NAME(A);
    if (dest)
        w->pending = lf_remap_dest(ctx, w->out, w->s, dest);
    else if (lf_is_goto(ctx, action))
    {
        pdf_obj* mapped = lf_remap_dest(ctx, w->out, w->s, pdf_dict_get(ctx, action, PDF_NAME(D)));
        w->pending = mapped ? goto_action(ctx, w->out, mapped) : NULL;
    }
    else
        return (w->pending = outside_action(ctx, w->out, action)) ? TARGET_KEPT : NO_TARGET;
    return w->pending ? TARGET_KEPT : TARGET_LEFT_OUT;
}

static void reserve(fz_context* ctx, outline_walk* w)
{
    if (w->count == w->cap)
    {
        int cap = w->cap ? w->cap * 2 : 32;
        w->stack = fz_realloc_array(ctx, w->stack, cap, lf_outline_entry);
        w->cap = cap;
    }
}

/* Makes `kids` the children of `parent`, in order; returns how many entries show below an open
   `parent`. */
static int link_kids(fz_context* ctx, pdf_obj* parent, lf_outline_entry* kids, int n)
{
    int i, shown = 0;
    for (i = 0; i < n; i++)
    {
        pdf_dict_put(ctx, kids[i].ref, PDF_NAME(Parent), parent);
        if (i > 0)
            pdf_dict_put(ctx, kids[i].ref, PDF_NAME(Prev), kids[i - 1].ref);
        if (i + 1 < n)
            pdf_dict_put(ctx, kids[i].ref, PDF_NAME(Next), kids[i + 1].ref);
        shown += 1 + (kids[i].open ? kids[i].shown : 0);
    }
    if (n > 0)
    {
        pdf_dict_put(ctx, parent, PDF_NAME(First), kids[0].ref);
        pdf_dict_put(ctx, parent, PDF_NAME(Last), kids[n - 1].ref);
    }
    return shown;
}

/* Title (its bytes as they are, whatever their encoding), colour and style. */
static void copy_looks(fz_context* ctx, lf_output* out, pdf_obj* item, pdf_obj* copy)
{
    pdf_obj* title = pdf_resolve_indirect(ctx, pdf_dict_get(ctx, item, PDF_NAME(Title)));
    pdf_obj* colour = pdf_dict_get(ctx, item, PDF_NAME(C));
    pdf_obj* flags = pdf_dict_get(ctx, item, PDF_NAME(F));
    pdf_obj* rgb;
    if (pdf_is_string(ctx, title))
        pdf_dict_put(ctx, copy, PDF_NAME(Title), title);
    else
        pdf_dict_put_string(ctx, copy, PDF_NAME(Title), "", 0);
    rgb = pdf_array_len(ctx, colour) == 3 ? plain_copy(ctx, out->dst, colour, PLAIN_DEPTH - 1) : NULL;
    if (rgb)
        pdf_dict_put_drop(ctx, copy, PDF_NAME(C), rgb);
    if (pdf_is_int(ctx, flags))
        pdf_dict_put_int(ctx, copy, PDF_NAME(F), pdf_to_int(ctx, flags));
}

/* The entries above `mark` on the stack are what stays of `item`'s children. Replaces them by a
   copy of `item` holding them, by nothing, or leaves them to `item`'s parent. */
static void settle(fz_context* ctx, outline_walk* w, pdf_obj* item, int mark)
{
    pdf_obj* key;
    pdf_obj* copy;
    lf_outline_entry* entry;
    int i, kind = entry_target(ctx, w, item, &key);
    if (kind == TARGET_LEFT_OUT || (kind == NO_TARGET && w->count == mark))
        return;
    reserve(ctx, w);
    copy = pdf_add_new_dict(ctx, w->out->dst, 8);
    entry = &w->stack[w->count++];
    entry->ref = copy;
    entry->open = pdf_dict_get_int(ctx, item, PDF_NAME(Count)) > 0;
    copy_looks(ctx, w->out, item, copy);
    if (w->pending)
    {
        pdf_obj* target = w->pending;
        w->pending = NULL;
        pdf_dict_put_drop(ctx, copy, key, target);
    }
    entry->shown = link_kids(ctx, copy, w->stack + mark, w->count - 1 - mark);
    if (entry->shown > 0)
        pdf_dict_put_int(ctx, copy, PDF_NAME(Count), entry->open ? entry->shown : -entry->shown);
    for (i = mark; i < w->count - 1; i++)
        pdf_drop_obj(ctx, w->stack[i].ref);
    w->stack[mark] = *entry;
    w->count = mark + 1;
}

/* Marks an entry as visited; false when it was already. */
static int first_visit(fz_context* ctx, outline_walk* w, pdf_obj* item)
{
    int num = pdf_is_indirect(ctx, item) ? pdf_to_num(ctx, item) : 0;
    if (num <= 0 || num >= w->s->xref_len)
        return !pdf_is_indirect(ctx, item);
    if (w->seen[num])
        return 0;
    w->seen[num] = 1;
    return 1;
}

/* Siblings in a loop; their children by recursion, which the depth bounds. */
static void collect(fz_context* ctx, outline_walk* w, pdf_obj* item, int depth)
{
    for (; pdf_is_dict(ctx, item) && first_visit(ctx, w, item); item = pdf_dict_get(ctx, item, PDF_NAME(Next)))
    {
        int mark = w->count;
        if (depth < OUTLINE_DEPTH)
            collect(ctx, w, pdf_dict_get(ctx, item, PDF_NAME(First)), depth + 1);
        settle(ctx, w, item, mark);
    }
}

/* The walk's top-level entries become the output's, placed by the source's first page. */
static void hand_over(fz_context* ctx, lf_output* out, outline_walk* w)
{
    int i;
    if (out->outline_count + w->count > out->outline_cap)
    {
        int cap = (out->outline_count + w->count) * 2;
        out->outline = fz_realloc_array(ctx, out->outline, cap, lf_outline_top);
        out->outline_cap = cap;
    }
    for (i = 0; i < w->count; i++)
    {
        lf_outline_top* top = &out->outline[out->outline_count];
        top->first_page = w->s->first_placed;
        top->order = out->outline_count++;
        top->entry = w->stack[i];
    }
    w->count = 0;
}

void lf_copy_outline(fz_context* ctx, lf_output* out, int slot)
{
    lf_source* s = &out->sources[slot];
    pdf_obj* catalog = pdf_dict_get(ctx, pdf_trailer(ctx, s->doc), PDF_NAME(Root));
    pdf_obj* outlines = pdf_dict_get(ctx, catalog, PDF_NAME(Outlines));
    outline_walk w;
    int i;
    if (s->first_placed < 0 || !pdf_is_dict(ctx, outlines))
        return;
    memset(&w, 0, sizeof w);
    w.out = out;
    w.s = s;
    fz_try(ctx)
    {
        w.seen = fz_calloc(ctx, s->xref_len > 0 ? s->xref_len : 1, 1);
        first_visit(ctx, &w, catalog);
        first_visit(ctx, &w, outlines);
        collect(ctx, &w, pdf_dict_get(ctx, outlines, PDF_NAME(First)), 0);
        hand_over(ctx, out, &w);
    }
    fz_always(ctx)
    {
        for (i = 0; i < w.count; i++)
            pdf_drop_obj(ctx, w.stack[i].ref);
        pdf_drop_obj(ctx, w.pending);
        fz_free(ctx, w.stack);
        fz_free(ctx, w.seen);
    }
    fz_catch(ctx)
    {
        /* A damaged outline costs its bookmarks, not the pages. */
        fz_rethrow_if(ctx, FZ_ERROR_MEMORY);
    }
}

static int by_first_page(const void* a, const void* b)
{
    const lf_outline_top* x = a;
    const lf_outline_top* y = b;
    if (x->first_page != y->first_page)
        return x->first_page < y->first_page ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

void lf_finish_outline(fz_context* ctx, lf_output* out)
{
    lf_outline_entry* entries;
    pdf_obj* root = NULL;
    int i, shown;
    if (out->outline_count == 0)
        return;
    qsort(out->outline, out->outline_count, sizeof *out->outline, by_first_page);
    entries = fz_malloc_array(ctx, out->outline_count, lf_outline_entry);
    fz_var(root);
    fz_try(ctx)
    {
        for (i = 0; i < out->outline_count; i++)
            entries[i] = out->outline[i].entry;
        root = pdf_add_new_dict(ctx, out->dst, 4);
        pdf_dict_put(ctx, root, PDF_NAME(Type), PDF_NAME(Outlines));
        shown = link_kids(ctx, root, entries, out->outline_count);
        pdf_dict_put_int(ctx, root, PDF_NAME(Count), shown);
        pdf_dict_put(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, out->dst), PDF_NAME(Root)), PDF_NAME(Outlines), root);
    }
    fz_always(ctx)
    {
        fz_free(ctx, entries);
        pdf_drop_obj(ctx, root);
    }
    fz_catch(ctx)
    {
        fz_rethrow(ctx);
    }
}

void lf_drop_outline_state(fz_context* ctx, lf_output* out)
{
    int i;
    for (i = 0; i < out->outline_count; i++)
        pdf_drop_obj(ctx, out->outline[i].entry.ref);
    fz_free(ctx, out->outline);
    out->outline = NULL;
    out->outline_count = out->outline_cap = 0;
}

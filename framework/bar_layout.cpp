// Bay rows, row layout, and the item layouts of docked and floating bars.
#include "bar_layout.h"

#include <string.h>

#include "commands.h"

void ComputeBayRows(BayBar* bars, int count, int rows[kBayRows]) {
    for (int r = 0; r < kBayRows; r++)
        rows[r] = 0;
    bool splitter[kBayRows] = {};
    for (int i = 0; i < count; i++) {
        BayBar& b = bars[i];
        if (b.row < 0 || b.row >= kBayRows)
            b.row = kBayRows - 1;  // a row index from outside is kept in range
        if (!(b.flags & kBarOn))
            continue;
        if (b.thickness > rows[b.row])
            rows[b.row] = b.thickness;
        if (b.flags & kBarResizable)
            splitter[b.row] = true;
    }
    for (int r = 0; r < kBayRows; r++)
        if (splitter[r] && rows[r] > 0)
            rows[r] = -(rows[r] + kSplitter);
    // Remove empty rows; the same position is looked at again after a removal,
    // so that two empty rows in a row both go.
    int used = kBayRows;
    for (int r = 0; r < used;) {
        if (rows[r] != 0) {
            r++;
            continue;
        }
        bool later = false;
        for (int k = r + 1; k < used; k++)
            later = later || rows[k] != 0;
        if (!later)
            break;
        memmove(&rows[r], &rows[r + 1], sizeof(int) * (size_t)(kBayRows - r - 1));
        rows[kBayRows - 1] = 0;
        used--;
        for (int i = 0; i < count; i++)
            if (bars[i].row > r)
                bars[i].row--;
    }
}

// Working starts, lengths and gaps of the bars of one row.
struct RowWork {
    BayBar** row;
    int n;
    int start[kBayRows * 4], len[kBayRows * 4], gap[kBayRows * 4];
};

// Step 1: no bar starts before the previous bar's minimum ends, and a bar
// is cut where the next one starts.
static void ClampRowOverlaps(RowWork* w) {
    for (int i = 1; i < w->n; i++) {
        int least = w->start[i - 1] + w->row[i - 1]->minLength;
        if (w->start[i] < least)
            w->start[i] = least;
        if (w->start[i - 1] + w->len[i - 1] > w->start[i])
            w->len[i - 1] = w->start[i] - w->start[i - 1];
    }
}

// Step 2: bars that follow their predecessor directly.
static void PlaceFollowingBars(RowWork* w) {
    for (int i = 0; i < w->n; i++) {
        if (!(w->row[i]->flags & kBarFollows))
            continue;
        if (i == 0) {
            w->start[0] = 0;
        } else {
            w->start[i] = w->start[i - 1] + w->row[i - 1]->naturalLength;
            w->len[i - 1] = w->row[i - 1]->naturalLength;
        }
    }
}

// Step 3: bars that move to the end, as far as the previous bar allows.
static void MoveBarsToEnd(RowWork* w, int available) {
    for (int i = w->n - 1; i >= 0; i--) {
        if (!(w->row[i]->flags & kBarToEnd))
            continue;
        int end = i + 1 < w->n ? w->start[i + 1] : available;
        int s = end - w->len[i];
        int prevEnd = i > 0 ? w->start[i - 1] + w->len[i - 1] : 0;
        if (s < prevEnd)
            s = prevEnd;
        if (s < 0)
            s = 0;
        w->start[i] = s;
    }
}

// Step 4: bars that grow up to the next one.
static void GrowBars(RowWork* w, int available) {
    for (int i = 0; i < w->n; i++) {
        if (!(w->row[i]->flags & kBarGrow))
            continue;
        int end = i + 1 < w->n ? w->start[i + 1] : available;
        if (end - w->start[i] > w->len[i])
            w->len[i] = end - w->start[i];
    }
}

// Steps 5 and 6: the gaps; a row too long gives back gaps, then growers,
// then everyone, from the end.
static void ShrinkRowToFit(RowWork* w, int available) {
    const int n = w->n;
    for (int i = 0; i < n; i++) {
        int prevEnd = i > 0 ? w->start[i - 1] + w->len[i - 1] : 0;
        w->gap[i] = w->start[i] - prevEnd;
        if (w->gap[i] < 0)
            w->gap[i] = 0;
    }
    int total = 0;
    for (int i = 0; i < n; i++)
        total += w->gap[i] + w->len[i];
    int excess = total - available;
    for (int i = n - 1; i >= 0 && excess > 0; i--) {
        int take = w->gap[i] < excess ? w->gap[i] : excess;
        w->gap[i] -= take;
        excess -= take;
    }
    for (int pass = 0; pass < 2 && excess > 0; pass++)
        for (int i = n - 1; i >= 0 && excess > 0; i--) {
            if (pass == 0 && !(w->row[i]->flags & kBarGrow))
                continue;
            int spare = w->len[i] - w->row[i]->minLength;
            if (spare <= 0)
                continue;
            int take = spare < excess ? spare : excess;
            w->len[i] -= take;
            excess -= take;
        }
}

// Step 7: the placed positions; following bars keep theirs.
static void PlaceRowBars(const RowWork& w) {
    int pos = 0;
    for (int i = 0; i < w.n; i++) {
        pos += w.gap[i];
        w.row[i]->placedX = pos;
        w.row[i]->placedLength = w.len[i];
        if (w.row[i]->flags & kBarFollows)
            w.row[i]->x = pos;
        pos += w.len[i];
    }
}

void LayoutBayRow(BayBar** row, int n, int available) {
    if (n <= 0)
        return;
    RowWork w;
    w.row = row;
    w.n = n > kBayRows * 4 ? kBayRows * 4 : n;
    for (int i = 0; i < w.n; i++) {
        w.start[i] = row[i]->x;
        w.len[i] = row[i]->length;
    }
    ClampRowOverlaps(&w);
    PlaceFollowingBars(&w);
    MoveBarsToEnd(&w, available);
    GrowBars(&w, available);
    ShrinkRowToFit(&w, available);
    PlaceRowBars(w);
}

DockedLayout LayoutDockedItems(BarItemBox* items, int n, bool vertical, int nearEdge, int length, int thickness,
                               int spacing, WORD* overflow, int overflowCap) {
    DockedLayout out = {0, 0};
    if (n <= 0)
        return out;
    auto along = [vertical](const BarItemBox& it) { return vertical ? it.size.cy : it.size.cx; };
    auto across = [vertical](const BarItemBox& it) { return vertical ? it.size.cx : it.size.cy; };
    BarItemBox& more = items[n - 1];
    int natural = nearEdge + 2, minimum = nearEdge + 2;
    bool dropped[256] = {};
    int m = n - 1 < 256 ? n - 1 : 256;
    for (int i = 0; i < m; i++) {
        if (items[i].flags & kItemHidden)
            continue;
        natural += along(items[i]) + spacing;
        if (!(items[i].flags & kItemDroppable))
            minimum += along(items[i]);
    }
    bool showMore = natural > length;
    if (showMore) {
        natural += along(more);
        minimum += along(more);
        int sum = natural;
        for (int i = m - 1; i >= 0 && sum > length; i--) {
            if ((items[i].flags & kItemHidden) || !(items[i].flags & kItemDroppable))
                continue;
            dropped[i] = true;
            sum -= along(items[i]) + spacing;
        }
    }
    out.naturalLength = natural;
    out.minimumLength = minimum;
    int used = nearEdge + 2, stretch = 0;
    for (int i = 0; i < m; i++)
        if (!(items[i].flags & kItemHidden) && !dropped[i]) {
            used += along(items[i]) + spacing;
            stretch += (items[i].flags & kItemStretch) ? 1 : 0;
        }
    if (showMore)
        used += along(more);
    int share = stretch > 0 ? (length - used) / stretch : 0;  // no stretch item: nothing to share
    if (share < 0)
        share = 0;
    int nOverflow = 0;
    int pos = nearEdge;
    for (int i = 0; i < n; i++) {
        BarItemBox& it = items[i];
        bool isMore = i == n - 1;
        if ((isMore && !showMore) || (!isMore && ((it.flags & kItemHidden) || dropped[i]))) {
            it.visible = false;
            if (!isMore && dropped[i] && !(nOverflow == 0 && it.separator) && nOverflow < overflowCap - 1)
                overflow[nOverflow++] = it.command;
            continue;
        }
        int l = along(it) + ((it.flags & kItemStretch) ? share : 0);
        int t = (it.flags & kItemFullThickness) ? thickness : across(it);
        int off = (it.flags & kItemFullThickness) ? 0 : (thickness - t) / 2;
        it.visible = true;
        if (vertical)
            it.placed = {off, pos, off + t, pos + l};
        else
            it.placed = {pos, off, pos + l, off + t};
        pos += l + spacing;
    }
    if (overflowCap > 0)
        overflow[nOverflow] = kIdListEnd;
    return out;
}

SIZE LayoutFloatingItems(BarItemBox* items, int n, int a, int b, int spacing) {
    struct Row {
        int first, last, width, height, stretch;
        bool fullRow;
    };
    Row rows[256];
    int nRows = 0;
    int widest = 0;
    for (int i = 0; i < n; i++) {
        BarItemBox& it = items[i];
        it.visible = false;
        if (it.flags & kItemHidden)
            continue;
        if (!(it.flags & kItemFullRow) && it.size.cx > widest)
            widest = it.size.cx;
        bool newRow = false;
        if (nRows > 0) {
            Row& cur = rows[nRows - 1];
            int next = -1;
            for (int k = i + 1; k < n && next < 0; k++)
                if (!(items[k].flags & kItemHidden))
                    next = k;
            newRow = (it.flags & kItemFullRow) || cur.fullRow || cur.width + it.size.cx > a;
            if (it.separator)
                newRow = newRow || next < 0 || cur.width + it.size.cx + spacing + items[next].size.cx > a;
        }
        if (nRows == 0 || (newRow && nRows < 256)) {
            rows[nRows++] = {i, i, 0, 0, 0, false};
        }
        Row& cur = rows[nRows - 1];
        cur.last = i;
        cur.width += it.size.cx + spacing;
        if (it.size.cy > cur.height)
            cur.height = it.size.cy;
        cur.stretch += (it.flags & kItemStretch) ? 1 : 0;
        cur.fullRow = cur.fullRow || (it.flags & kItemFullRow);
    }
    int w = a > widest ? a : widest;
    int fixed = 0, fullRows = 0, widestRow = 0;
    for (int r = 0; r < nRows; r++) {
        if (rows[r].fullRow)
            fullRows++;
        else
            fixed += rows[r].height;
        if (rows[r].width > widestRow)
            widestRow = rows[r].width;
    }
    int fullShare = fullRows > 0 ? (b - fixed) / fullRows : 0;  // no full-row row: nothing to share
    int y = 0;
    for (int r = 0; r < nRows; r++) {
        Row& row = rows[r];
        int h = row.fullRow ? (fullShare > row.height ? fullShare : row.height) : row.height;
        int x = 0;
        for (int i = row.first; i <= row.last; i++) {
            BarItemBox& it = items[i];
            if (it.flags & kItemHidden)
                continue;
            int iw = it.size.cx, ih = h;
            if (it.flags & kItemFullRow) {
                iw = w > iw ? w : iw;
            } else if (it.flags & kItemStretch) {
                iw += row.stretch > 0 ? (w - row.width) / row.stretch : 0;
            } else if (it.separator && i == row.first) {
                iw = widestRow;
                ih = it.size.cy;
            }
            it.placed = {x, y, x + iw, y + ih};
            it.visible = true;
            x += iw + spacing;
        }
        y += h + spacing;
    }
    SIZE s = {widestRow + 2, y + 3};
    return s;
}

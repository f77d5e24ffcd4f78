// The list view: items with text, image, state and item data (and subitem texts), image
// lists, selection and focus with LVN_ITEMCHANGED, sorting through the program's comparison,
// searching, a simple layout for hit testing, and the mouse's NM_CLICK and NM_DBLCLK.
#include "user_internal.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace emu {
namespace user {

namespace {

// Layout: one item per row (the small-icon view arranged in one column).
constexpr int kItemHeight = 18;
constexpr int kItemWidth = 160;

struct Item {
    std::string text;
    int image = 0;
    UINT state = 0;
    LPARAM param = 0;
    int indent = 0;
    std::vector<std::string> subItems; // index 0 is subitem 1
};

struct Column {
    std::string text;
    int width = 0;
    int format = LVCFMT_LEFT;
};

struct ListViewData : ControlData {
    std::vector<Item> items;
    std::vector<Column> columns;
    HIMAGELIST images[3] = {NULL, NULL, NULL};
    bool redraw = true;
    DWORD extendedStyle = 0;
    COLORREF background = 0xFFFFFF;
    COLORREF textColour = 0;
    COLORREF textBackground = 0xFFFFFF;
    bool pressed = false;
};

// A state change of one item, told to the parent after the lock is left.
struct StateChange {
    int index;
    UINT oldState;
    UINT newState;
    LPARAM param;
};

DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
}

bool ValidIndex(const ListViewData& data, int index) {
    return index >= 0 && static_cast<size_t>(index) < data.items.size();
}

// Changes the state bits `mask` of item `index` (-1: every item) to `state`; keeps at most
// one focused item, and one selected item in a single-selection list. Under the lock.
void SetStateLocked(ListViewData& data, DWORD style, int index, UINT state, UINT mask,
                    std::vector<StateChange>* changes) {
    auto apply = [&](int i, UINT newBits, UINT bitMask) {
        Item& item = data.items[static_cast<size_t>(i)];
        UINT old = item.state;
        UINT now = (old & ~bitMask) | (newBits & bitMask);
        if (now == old)
            return;
        item.state = now;
        changes->push_back(StateChange{i, old, now, item.param});
    };
    int count = static_cast<int>(data.items.size());
    if (index == -1) {
        for (int i = 0; i < count; ++i)
            apply(i, state, mask & ~LVIS_FOCUSED); // "every item" never focuses them all
        if ((mask & LVIS_FOCUSED) && !(state & LVIS_FOCUSED))
            for (int i = 0; i < count; ++i)
                apply(i, 0, LVIS_FOCUSED);
        return;
    }
    if ((mask & state & LVIS_FOCUSED) != 0)
        for (int i = 0; i < count; ++i)
            if (i != index)
                apply(i, 0, LVIS_FOCUSED);
    if ((mask & state & LVIS_SELECTED) != 0 && (style & LVS_SINGLESEL))
        for (int i = 0; i < count; ++i)
            if (i != index)
                apply(i, 0, LVIS_SELECTED);
    apply(index, state, mask);
}

void SendStateChanges(HWND hwnd, const std::vector<StateChange>& changes) {
    for (const StateChange& change : changes) {
        NMLISTVIEW notify{};
        notify.iItem = change.index;
        notify.uOldState = change.oldState;
        notify.uNewState = change.newState;
        notify.uChanged = LVIF_STATE;
        notify.lParam = change.param;
        NotifyParent(hwnd, &notify.hdr, LVN_ITEMCHANGED);
    }
}

// Runs `change` on the list under the lock, then tells the parent the state changes it made.
template <class Change> LRESULT ChangeList(HWND hwnd, Change change) {
    std::vector<StateChange> changes;
    LRESULT result = 0;
    {
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        Window* window = FindLocked(hwnd);
        if (data == nullptr || window == nullptr)
            return 0;
        result = change(*data, window->style, &changes);
    }
    SendStateChanges(hwnd, changes);
    return result;
}

void CopyText(const std::string& text, LPSTR buffer, int size) {
    if (buffer == nullptr || buffer == LPSTR_TEXTCALLBACKA || size <= 0)
        return;
    size_t length = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

std::string TextFrom(LPCSTR text) {
    if (text == nullptr || text == LPSTR_TEXTCALLBACKA)
        return std::string();
    return text;
}

std::string& SubItemText(Item& item, int subItem) {
    if (subItem == 0)
        return item.text;
    if (item.subItems.size() < static_cast<size_t>(subItem))
        item.subItems.resize(static_cast<size_t>(subItem));
    return item.subItems[static_cast<size_t>(subItem) - 1];
}

int HitTestLocked(const ListViewData& data, POINT point) {
    if (point.x < 0 || point.x >= kItemWidth || point.y < 0)
        return -1;
    int index = point.y / kItemHeight;
    return ValidIndex(data, index) ? index : -1;
}

// Merge sort by the program's comparison: stable, and safe whatever the comparison answers.
template <class Less> void MergeSort(std::vector<size_t>& order, Less less) {
    std::vector<size_t> buffer(order.size());
    for (size_t width = 1; width < order.size(); width *= 2) {
        for (size_t start = 0; start < order.size(); start += 2 * width) {
            size_t middle = std::min(start + width, order.size());
            size_t end = std::min(start + 2 * width, order.size());
            size_t left = start, right = middle, out = start;
            while (left < middle && right < end)
                buffer[out++] = less(order[right], order[left]) ? order[right++] : order[left++];
            while (left < middle)
                buffer[out++] = order[left++];
            while (right < end)
                buffer[out++] = order[right++];
        }
        order.swap(buffer);
    }
}

LRESULT SortItems(HWND hwnd, LPARAM sortParam, PFNLVCOMPARE compare, bool byIndex) {
    if (compare == nullptr)
        return FALSE;
    std::vector<LPARAM> keys;
    {
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr)
            return FALSE;
        for (size_t i = 0; i < data->items.size(); ++i)
            keys.push_back(byIndex ? static_cast<LPARAM>(i) : data->items[i].param);
    }
    // The comparison runs without the lock: it may read the list (LVM_SORTITEMSEX gives it
    // the items' indexes, which stay valid because the list changes only afterwards).
    std::vector<size_t> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    MergeSort(order, [&](size_t a, size_t b) { return compare(keys[a], keys[b], sortParam) < 0; });
    Guard lock(DesktopMutex());
    ListViewData* data = ControlLocked<ListViewData>(hwnd);
    if (data == nullptr || data->items.size() != order.size())
        return FALSE; // the list changed during the sort
    std::vector<Item> sorted;
    sorted.reserve(order.size());
    for (size_t index : order)
        sorted.push_back(std::move(data->items[index]));
    data->items.swap(sorted);
    return TRUE;
}

void SendItemNotify(HWND hwnd, UINT code, int index, LPARAM param) {
    NMLISTVIEW notify{};
    notify.iItem = index;
    notify.lParam = param;
    NotifyParent(hwnd, &notify.hdr, code);
}

void SendActivate(HWND hwnd, UINT code, int index, POINT point) {
    NMITEMACTIVATE notify{};
    notify.iItem = index;
    notify.ptAction = point;
    {
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data != nullptr && ValidIndex(*data, index)) {
            notify.lParam = data->items[static_cast<size_t>(index)].param;
            notify.uNewState = data->items[static_cast<size_t>(index)].state;
        }
    }
    NotifyParent(hwnd, &notify.hdr, code);
}

POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

int HitTest(HWND hwnd, POINT point) {
    Guard lock(DesktopMutex());
    ListViewData* data = ControlLocked<ListViewData>(hwnd);
    return data ? HitTestLocked(*data, point) : -1;
}

} // namespace

std::shared_ptr<ControlData> NewListViewData() {
    return std::make_shared<ListViewData>();
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LVM_GETITEMCOUNT:
        return ChangeList(hwnd, [](ListViewData& data, DWORD, std::vector<StateChange>*) {
            return static_cast<LRESULT>(data.items.size());
        });
    case LVM_INSERTITEMA: {
        const LVITEMA* lvi = reinterpret_cast<const LVITEMA*>(lParam);
        if (lvi == nullptr || lvi->iSubItem != 0)
            return -1;
        LRESULT index = ChangeList(
            hwnd,
            [&](ListViewData& data, DWORD style, std::vector<StateChange>* changes) -> LRESULT {
                Item item;
                if (lvi->mask & LVIF_TEXT)
                    item.text = TextFrom(lvi->pszText);
                if (lvi->mask & LVIF_IMAGE)
                    item.image = lvi->iImage;
                if (lvi->mask & LVIF_PARAM)
                    item.param = lvi->lParam;
                if (lvi->mask & LVIF_INDENT)
                    item.indent = lvi->iIndent;
                int at = std::clamp(lvi->iItem, 0, static_cast<int>(data.items.size()));
                if (style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
                    bool ascending = (style & LVS_SORTASCENDING) != 0;
                    at = 0;
                    while (static_cast<size_t>(at) < data.items.size()) {
                        int order = strcasecmp(item.text.c_str(), data.items[at].text.c_str());
                        if (ascending ? order < 0 : order > 0)
                            break;
                        ++at;
                    }
                }
                data.items.insert(data.items.begin() + at, item);
                if (lvi->mask & LVIF_STATE) {
                    std::vector<StateChange> ignored; // a new item announces no state change
                    SetStateLocked(data, style, at, lvi->state, lvi->stateMask, &ignored);
                    for (const StateChange& change : ignored)
                        if (change.index != at)
                            changes->push_back(change);
                }
                return at;
            });
        if (index >= 0)
            SendItemNotify(hwnd, LVN_INSERTITEM, static_cast<int>(index), 0);
        return index;
    }
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTA: {
        const LVITEMA* lvi = reinterpret_cast<const LVITEMA*>(lParam);
        if (lvi == nullptr)
            return FALSE;
        int index = message == LVM_SETITEMA ? lvi->iItem : static_cast<int>(wParam);
        UINT mask = message == LVM_SETITEMA ? lvi->mask : LVIF_TEXT;
        return ChangeList(
            hwnd,
            [&](ListViewData& data, DWORD style, std::vector<StateChange>* changes) -> LRESULT {
                if (!ValidIndex(data, index) || lvi->iSubItem < 0 || lvi->iSubItem > 255)
                    return FALSE;
                Item& item = data.items[static_cast<size_t>(index)];
                if (mask & LVIF_TEXT)
                    SubItemText(item, lvi->iSubItem) = TextFrom(lvi->pszText);
                if (lvi->iSubItem != 0)
                    return TRUE;
                if (mask & LVIF_IMAGE)
                    item.image = lvi->iImage;
                if (mask & LVIF_PARAM)
                    item.param = lvi->lParam;
                if (mask & LVIF_INDENT)
                    item.indent = lvi->iIndent;
                if (mask & LVIF_STATE)
                    SetStateLocked(data, style, index, lvi->state, lvi->stateMask, changes);
                return TRUE;
            });
    }
    case LVM_GETITEMA:
    case LVM_GETITEMTEXTA: {
        LVITEMA* lvi = reinterpret_cast<LVITEMA*>(lParam);
        if (lvi == nullptr)
            return message == LVM_GETITEMA ? FALSE : 0;
        int index = message == LVM_GETITEMA ? lvi->iItem : static_cast<int>(wParam);
        UINT mask = message == LVM_GETITEMA ? lvi->mask : LVIF_TEXT;
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr || !ValidIndex(*data, index) || lvi->iSubItem < 0) {
            if (message == LVM_GETITEMTEXTA)
                CopyText(std::string(), lvi->pszText, lvi->cchTextMax);
            return message == LVM_GETITEMA ? FALSE : 0;
        }
        Item& item = data->items[static_cast<size_t>(index)];
        std::string text;
        if (lvi->iSubItem == 0)
            text = item.text;
        else if (static_cast<size_t>(lvi->iSubItem) <= item.subItems.size())
            text = item.subItems[static_cast<size_t>(lvi->iSubItem) - 1];
        if (mask & LVIF_TEXT)
            CopyText(text, lvi->pszText, lvi->cchTextMax);
        if (message == LVM_GETITEMTEXTA)
            return static_cast<LRESULT>(
                std::min(text.size(), static_cast<size_t>(std::max(lvi->cchTextMax, 1) - 1)));
        if (mask & LVIF_IMAGE)
            lvi->iImage = item.image;
        if (mask & LVIF_PARAM)
            lvi->lParam = item.param;
        if (mask & LVIF_STATE)
            lvi->state = item.state & lvi->stateMask;
        if (mask & LVIF_INDENT)
            lvi->iIndent = item.indent;
        return TRUE;
    }
    case LVM_DELETEITEM: {
        int index = static_cast<int>(wParam);
        LPARAM param = 0;
        {
            Guard lock(DesktopMutex());
            ListViewData* data = ControlLocked<ListViewData>(hwnd);
            if (data == nullptr || !ValidIndex(*data, index))
                return FALSE;
            param = data->items[static_cast<size_t>(index)].param;
        }
        SendItemNotify(hwnd, LVN_DELETEITEM, index, param);
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr || !ValidIndex(*data, index))
            return FALSE;
        data->items.erase(data->items.begin() + index);
        return TRUE;
    }
    case LVM_DELETEALLITEMS: {
        std::vector<LPARAM> params;
        {
            Guard lock(DesktopMutex());
            ListViewData* data = ControlLocked<ListViewData>(hwnd);
            if (data == nullptr)
                return FALSE;
            for (const Item& item : data->items)
                params.push_back(item.param);
        }
        if (!params.empty()) {
            NMLISTVIEW all{};
            all.iItem = -1;
            // A parent that answers TRUE wants no LVN_DELETEITEM for each item.
            if (!NotifyParent(hwnd, &all.hdr, LVN_DELETEALLITEMS))
                for (size_t i = 0; i < params.size(); ++i)
                    SendItemNotify(hwnd, LVN_DELETEITEM, static_cast<int>(i), params[i]);
        }
        Guard lock(DesktopMutex());
        if (ListViewData* data = ControlLocked<ListViewData>(hwnd))
            data->items.clear();
        return TRUE;
    }
    case LVM_GETNEXTITEM: {
        int start = static_cast<int>(wParam);
        UINT flags = LOWORD(lParam);
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr)
            return -1;
        UINT wanted = flags & (LVNI_FOCUSED | LVNI_SELECTED | LVNI_CUT | LVNI_DROPHILITED);
        bool backwards = (flags & (LVNI_ABOVE | LVNI_TOLEFT)) != 0;
        int count = static_cast<int>(data->items.size());
        int step = backwards ? -1 : 1;
        int i = start < 0 ? (backwards ? count - 1 : 0) : start + step;
        for (; i >= 0 && i < count; i += step)
            if ((data->items[static_cast<size_t>(i)].state & wanted) == wanted)
                return i;
        return -1;
    }
    case LVM_SETITEMSTATE: {
        const LVITEMA* lvi = reinterpret_cast<const LVITEMA*>(lParam);
        int index = static_cast<int>(wParam);
        if (lvi == nullptr)
            return FALSE;
        return ChangeList(
            hwnd,
            [&](ListViewData& data, DWORD style, std::vector<StateChange>* changes) -> LRESULT {
                if (index != -1 && !ValidIndex(data, index))
                    return FALSE;
                SetStateLocked(data, style, index, lvi->state, lvi->stateMask, changes);
                return TRUE;
            });
    }
    case LVM_GETITEMSTATE:
        return WithControl<ListViewData>(hwnd, [&](ListViewData& data) -> UINT {
            int index = static_cast<int>(wParam);
            if (!ValidIndex(data, index))
                return 0;
            return data.items[static_cast<size_t>(index)].state & static_cast<UINT>(lParam);
        });
    case LVM_GETSELECTEDCOUNT:
        return WithControl<ListViewData>(hwnd, [](ListViewData& data) {
            return std::count_if(data.items.begin(), data.items.end(),
                                 [](const Item& item) { return item.state & LVIS_SELECTED; });
        });
    case LVM_SORTITEMS:
        return SortItems(hwnd, static_cast<LPARAM>(wParam), reinterpret_cast<PFNLVCOMPARE>(lParam),
                         false);
    case LVM_SORTITEMSEX:
        return SortItems(hwnd, static_cast<LPARAM>(wParam), reinterpret_cast<PFNLVCOMPARE>(lParam),
                         true);
    case LVM_FINDITEMA: {
        const LVFINDINFOA* find = reinterpret_cast<const LVFINDINFOA*>(lParam);
        if (find == nullptr)
            return -1;
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr)
            return -1;
        int count = static_cast<int>(data->items.size());
        int start = static_cast<int>(wParam) + 1;
        for (int n = 0; n < count; ++n) {
            int i = start + n;
            if (i >= count) {
                if (!(find->flags & LVFI_WRAP))
                    break;
                i -= count;
            }
            const Item& item = data->items[static_cast<size_t>(i)];
            if ((find->flags & LVFI_PARAM) && item.param == find->lParam)
                return i;
            if ((find->flags & (LVFI_STRING | LVFI_PARTIAL)) && find->psz != nullptr) {
                size_t length = std::strlen(find->psz);
                bool partial = (find->flags & LVFI_PARTIAL) != 0;
                if (partial ? strncasecmp(item.text.c_str(), find->psz, length) == 0
                            : strcasecmp(item.text.c_str(), find->psz) == 0)
                    return i;
            }
        }
        return -1;
    }
    case LVM_SETIMAGELIST:
    case LVM_GETIMAGELIST: {
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr || wParam > LVSIL_STATE)
            return 0;
        HIMAGELIST previous = data->images[wParam];
        if (message == LVM_SETIMAGELIST)
            data->images[wParam] = reinterpret_cast<HIMAGELIST>(lParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case LVM_GETITEMRECT: {
        RECT* rect = reinterpret_cast<RECT*>(lParam);
        int index = static_cast<int>(wParam);
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr || rect == nullptr || !ValidIndex(*data, index))
            return FALSE;
        *rect = RECT{0, index * kItemHeight, kItemWidth, (index + 1) * kItemHeight};
        return TRUE;
    }
    case LVM_HITTEST: {
        LVHITTESTINFO* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
        if (info == nullptr)
            return -1;
        int index = HitTest(hwnd, info->pt);
        info->iItem = index;
        info->iSubItem = 0;
        info->flags = index >= 0 ? LVHT_ONITEM : LVHT_NOWHERE;
        return index;
    }
    case LVM_INSERTCOLUMNA:
    case LVM_SETCOLUMNA: {
        const LVCOLUMNA* column = reinterpret_cast<const LVCOLUMNA*>(lParam);
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        int index = static_cast<int>(wParam);
        if (data == nullptr || column == nullptr || index < 0)
            return message == LVM_INSERTCOLUMNA ? -1 : FALSE;
        if (message == LVM_INSERTCOLUMNA) {
            index = std::min(index, static_cast<int>(data->columns.size()));
            data->columns.insert(data->columns.begin() + index, Column());
        } else if (static_cast<size_t>(index) >= data->columns.size()) {
            return FALSE;
        }
        Column& target = data->columns[static_cast<size_t>(index)];
        if (column->mask & LVCF_TEXT)
            target.text = TextFrom(column->pszText);
        if (column->mask & LVCF_WIDTH)
            target.width = column->cx;
        if (column->mask & LVCF_FMT)
            target.format = column->fmt;
        return message == LVM_INSERTCOLUMNA ? index : TRUE;
    }
    case LVM_GETCOLUMNA: {
        LVCOLUMNA* column = reinterpret_cast<LVCOLUMNA*>(lParam);
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr || column == nullptr || wParam >= data->columns.size())
            return FALSE;
        const Column& source = data->columns[wParam];
        if (column->mask & LVCF_TEXT)
            CopyText(source.text, column->pszText, column->cchTextMax);
        if (column->mask & LVCF_WIDTH)
            column->cx = source.width;
        if (column->mask & LVCF_FMT)
            column->fmt = source.format;
        return TRUE;
    }
    case LVM_DELETECOLUMN:
    case LVM_GETCOLUMNWIDTH:
    case LVM_SETCOLUMNWIDTH: {
        Guard lock(DesktopMutex());
        ListViewData* data = ControlLocked<ListViewData>(hwnd);
        if (data == nullptr || wParam >= data->columns.size())
            return 0;
        if (message == LVM_DELETECOLUMN)
            data->columns.erase(data->columns.begin() + static_cast<long>(wParam));
        else if (message == LVM_SETCOLUMNWIDTH)
            data->columns[wParam].width = static_cast<SHORT>(LOWORD(lParam));
        else
            return data->columns[wParam].width;
        return TRUE;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return WithControl<ListViewData>(hwnd, [&](ListViewData& data) {
            DWORD previous = data.extendedStyle;
            if (message == LVM_SETEXTENDEDLISTVIEWSTYLE) {
                DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFF;
                data.extendedStyle = (previous & ~mask) | (static_cast<DWORD>(lParam) & mask);
            }
            return previous;
        });
    case LVM_SETBKCOLOR:
    case LVM_GETBKCOLOR:
    case LVM_SETTEXTCOLOR:
    case LVM_SETTEXTBKCOLOR:
        return WithControl<ListViewData>(hwnd, [&](ListViewData& data) -> LRESULT {
            if (message == LVM_GETBKCOLOR)
                return data.background;
            COLORREF& colour = message == LVM_SETBKCOLOR     ? data.background
                               : message == LVM_SETTEXTCOLOR ? data.textColour
                                                             : data.textBackground;
            colour = static_cast<COLORREF>(lParam);
            return TRUE;
        });
    case WM_SETREDRAW:
        WithControl<ListViewData>(hwnd, [&](ListViewData& data) { return data.redraw = wParam; });
        return 0;
    case LVM_ENSUREVISIBLE:
    case LVM_REDRAWITEMS:
    case LVM_UPDATE:
    case LVM_ARRANGE:
    case LVM_SETITEMCOUNT:
        return TRUE;
    case LVM_GETTOPINDEX:
        return 0;
    case LVM_GETCOUNTPERPAGE: {
        RECT client{};
        GetClientRect(hwnd, &client);
        return std::max<LONG>(1, (client.bottom - client.top) / kItemHeight);
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        // A click selects and focuses the item under the pointer alone; a click beside
        // the items clears the selection.
        int index = HitTest(hwnd, PointOf(lParam));
        ChangeList(hwnd, [&](ListViewData& data, DWORD style, std::vector<StateChange>* changes) {
            data.pressed = true;
            SetStateLocked(data, style, -1, 0, LVIS_SELECTED, changes);
            if (index >= 0)
                SetStateLocked(data, style, index, LVIS_SELECTED | LVIS_FOCUSED,
                               LVIS_SELECTED | LVIS_FOCUSED, changes);
            return 0;
        });
        SetFocus(hwnd);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        bool pressed = ChangeList(hwnd, [](ListViewData& data, DWORD, std::vector<StateChange>*) {
            bool was = data.pressed;
            data.pressed = false;
            return static_cast<LRESULT>(was);
        });
        if (pressed) {
            POINT point = PointOf(lParam);
            SendActivate(hwnd, message == WM_LBUTTONUP ? NM_CLICK : NM_RCLICK, HitTest(hwnd, point),
                         point);
        }
        return 0;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK: {
        POINT point = PointOf(lParam);
        int index = HitTest(hwnd, point);
        if (message == WM_LBUTTONDBLCLK) {
            SendActivate(hwnd, NM_DBLCLK, index, point);
            if (index >= 0)
                SendActivate(hwnd, LVN_ITEMACTIVATE, index, point);
        } else {
            SendActivate(hwnd, NM_RDBLCLK, index, point);
        }
        return 0;
    }
    case WM_KEYDOWN: {
        NMLVKEYDOWN key{};
        key.wVKey = static_cast<WORD>(wParam);
        NotifyParent(hwnd, &key.hdr, LVN_KEYDOWN);
        if (wParam == VK_RETURN) {
            NMHDR header{};
            NotifyParent(hwnd, &header, NM_RETURN);
        }
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        NMHDR header{};
        NotifyParent(hwnd, &header, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
        return 0;
    }
    case WM_NCDESTROY: {
        // The list owns its image lists unless they are shared.
        HIMAGELIST owned[3] = {NULL, NULL, NULL};
        if (!(StyleOf(hwnd) & LVS_SHAREIMAGELISTS)) {
            Guard lock(DesktopMutex());
            if (ListViewData* data = ControlLocked<ListViewData>(hwnd))
                for (int i = 0; i < 3; ++i) {
                    owned[i] = data->images[i];
                    data->images[i] = NULL;
                }
        }
        for (HIMAGELIST list : owned)
            if (list != NULL)
                ImageList_Destroy(list);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace user
} // namespace emu

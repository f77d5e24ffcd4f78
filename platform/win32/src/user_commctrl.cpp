// Common controls: the progress bar and image lists (the list view has its own source).
#include "user_internal.h"

#include <algorithm>
#include <set>

namespace emu {
namespace user {

namespace {

struct ProgressData : ControlData {
    int low = 0;
    int high = 100;
    int position = 0;
    int step = 10;
    COLORREF bar = CLR_DEFAULT;
    COLORREF background = CLR_DEFAULT;
};

struct ProgressState {
    int position, low, high;
};

// Runs `change` on the bar's data and tells the observers when position or range moved.
template <class Change> LRESULT ChangeProgress(HWND hwnd, Change change) {
    ProgressState before{}, after{};
    LRESULT result = 0;
    {
        Guard lock(DesktopMutex());
        ProgressData* data = ControlLocked<ProgressData>(hwnd);
        if (data == nullptr)
            return 0;
        before = ProgressState{data->position, data->low, data->high};
        result = change(*data);
        // The position always lies within the range.
        if (data->high > data->low)
            data->position = std::clamp(data->position, data->low, data->high);
        else
            data->position = data->low;
        after = ProgressState{data->position, data->low, data->high};
    }
    if (before.position != after.position || before.low != after.low || before.high != after.high)
        ForEachObserver([&](emu::DesktopObserver& observer) {
            observer.OnProgressChanged(hwnd, after.position, after.low, after.high);
        });
    return result;
}

} // namespace

std::shared_ptr<ControlData> NewListViewData();

std::shared_ptr<ControlData> NewCommonControlData(ClassKind kind) {
    switch (kind) {
    case ClassKind::Progress:
        return std::make_shared<ProgressData>();
    case ClassKind::ListView:
        return NewListViewData();
    default:
        return nullptr;
    }
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case PBM_SETRANGE:
        return ChangeProgress(hwnd, [&](ProgressData& data) {
            LRESULT previous = MAKELONG(data.low, data.high);
            data.low = LOWORD(lParam);
            data.high = HIWORD(lParam);
            return previous;
        });
    case PBM_SETRANGE32:
        return ChangeProgress(hwnd, [&](ProgressData& data) {
            LRESULT previous = MAKELONG(data.low, data.high);
            data.low = static_cast<int>(wParam);
            data.high = static_cast<int>(lParam);
            return previous;
        });
    case PBM_GETRANGE:
        return WithControl<ProgressData>(hwnd, [&](ProgressData& data) {
            if (PBRANGE* range = reinterpret_cast<PBRANGE*>(lParam)) {
                range->iLow = data.low;
                range->iHigh = data.high;
            }
            return wParam ? data.low : data.high;
        });
    case PBM_SETPOS:
        return ChangeProgress(hwnd, [&](ProgressData& data) {
            LRESULT previous = data.position;
            data.position = static_cast<int>(wParam);
            return previous;
        });
    case PBM_DELTAPOS:
        return ChangeProgress(hwnd, [&](ProgressData& data) {
            LRESULT previous = data.position;
            data.position += static_cast<int>(wParam);
            return previous;
        });
    case PBM_SETSTEP:
        return ChangeProgress(hwnd, [&](ProgressData& data) {
            LRESULT previous = data.step;
            data.step = static_cast<int>(wParam);
            return previous;
        });
    case PBM_STEPIT:
        return ChangeProgress(hwnd, [&](ProgressData& data) {
            LRESULT previous = data.position;
            data.position += data.step;
            // Past the end the bar starts over from the beginning.
            if (data.position > data.high)
                data.position = data.low;
            else if (data.position < data.low)
                data.position = data.high;
            return previous;
        });
    case PBM_GETPOS:
        return WithControl<ProgressData>(hwnd, [](ProgressData& data) { return data.position; });
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR:
        return WithControl<ProgressData>(hwnd, [&](ProgressData& data) {
            COLORREF& color = message == PBM_SETBARCOLOR ? data.bar : data.background;
            COLORREF previous = color;
            color = static_cast<COLORREF>(lParam);
            return previous;
        });
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace user
} // namespace emu

// ---------------------------------------------------------------------------------------
// Image lists

struct _IMAGELIST {
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    COLORREF background = CLR_NONE;
    std::vector<std::vector<COLORREF>> images;
    std::vector<std::vector<bool>> masks; // true: transparent
};

namespace {

std::mutex& ImageListMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::set<HIMAGELIST>& LiveImageLists() {
    static std::set<HIMAGELIST>* lists = new std::set<HIMAGELIST>;
    return *lists;
}

// The list behind `himl` if it is alive; the caller holds ImageListMutex().
_IMAGELIST* LiveLocked(HIMAGELIST himl) {
    return LiveImageLists().count(himl) ? himl : nullptr;
}

// Adds the images cut from `image`, with transparency from `mask` (a bitmap) or `maskColour`.
int AddImages(HIMAGELIST himl, HBITMAP image, HBITMAP mask, COLORREF maskColour, bool byColour) {
    emu::user::BitmapData pixels, maskPixels;
    if (!emu::user::GetBitmapData(image, &pixels))
        return -1;
    bool hasMask = mask != NULL && emu::user::GetBitmapData(mask, &maskPixels);
    std::lock_guard<std::mutex> lock(ImageListMutex());
    _IMAGELIST* list = LiveLocked(himl);
    if (list == nullptr || pixels.width < list->cx)
        return -1;
    int count = pixels.width / list->cx;
    int first = static_cast<int>(list->images.size());
    for (int n = 0; n < count; ++n) {
        std::vector<COLORREF> cut(static_cast<size_t>(list->cx) * list->cy, 0);
        std::vector<bool> transparent(cut.size(), false);
        for (int y = 0; y < list->cy && y < pixels.height; ++y) {
            for (int x = 0; x < list->cx; ++x) {
                size_t from = static_cast<size_t>(y) * pixels.width + n * list->cx + x;
                size_t to = static_cast<size_t>(y) * list->cx + x;
                cut[to] = pixels.pixels[from];
                if (byColour)
                    transparent[to] = (list->flags & ILC_MASK) && cut[to] == maskColour;
                else if (hasMask && y < maskPixels.height && from < maskPixels.pixels.size())
                    transparent[to] = (maskPixels.pixels[from] & 0xFFFFFF) != 0;
            }
        }
        list->images.push_back(std::move(cut));
        list->masks.push_back(std::move(transparent));
    }
    return first;
}

} // namespace

extern "C" {

void WINAPI InitCommonControls(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    if (picce == nullptr || picce->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    return TRUE;
}

HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int cInitial, int cGrow) {
    if (cx <= 0 || cy <= 0 || cx > 4096 || cy > 4096 || cInitial < 0 || cGrow < 0)
        return NULL;
    HIMAGELIST list = new _IMAGELIST;
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    std::lock_guard<std::mutex> lock(ImageListMutex());
    LiveImageLists().insert(list);
    return list;
}

BOOL WINAPI ImageList_Destroy(HIMAGELIST himl) {
    std::lock_guard<std::mutex> lock(ImageListMutex());
    if (LiveLocked(himl) == nullptr)
        return FALSE;
    LiveImageLists().erase(himl);
    delete himl;
    return TRUE;
}

int WINAPI ImageList_Add(HIMAGELIST himl, HBITMAP hbmImage, HBITMAP hbmMask) {
    return AddImages(himl, hbmImage, hbmMask, 0, false);
}

int WINAPI ImageList_AddMasked(HIMAGELIST himl, HBITMAP hbmImage, COLORREF crMask) {
    return AddImages(himl, hbmImage, NULL, crMask, true);
}

BOOL WINAPI ImageList_Remove(HIMAGELIST himl, int i) {
    std::lock_guard<std::mutex> lock(ImageListMutex());
    _IMAGELIST* list = LiveLocked(himl);
    if (list == nullptr)
        return FALSE;
    if (i == -1) {
        list->images.clear();
        list->masks.clear();
        return TRUE;
    }
    if (i < 0 || static_cast<size_t>(i) >= list->images.size())
        return FALSE;
    list->images.erase(list->images.begin() + i);
    list->masks.erase(list->masks.begin() + i);
    return TRUE;
}

int WINAPI ImageList_GetImageCount(HIMAGELIST himl) {
    std::lock_guard<std::mutex> lock(ImageListMutex());
    _IMAGELIST* list = LiveLocked(himl);
    return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL WINAPI ImageList_SetImageCount(HIMAGELIST himl, UINT uNewCount) {
    std::lock_guard<std::mutex> lock(ImageListMutex());
    _IMAGELIST* list = LiveLocked(himl);
    if (list == nullptr || uNewCount > 65536)
        return FALSE;
    size_t pixels = static_cast<size_t>(list->cx) * list->cy;
    list->images.resize(uNewCount, std::vector<COLORREF>(pixels, 0));
    list->masks.resize(uNewCount, std::vector<bool>(pixels, false));
    return TRUE;
}

BOOL WINAPI ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy) {
    std::lock_guard<std::mutex> lock(ImageListMutex());
    _IMAGELIST* list = LiveLocked(himl);
    if (list == nullptr || cx == nullptr || cy == nullptr)
        return FALSE;
    *cx = list->cx;
    *cy = list->cy;
    return TRUE;
}

COLORREF WINAPI ImageList_SetBkColor(HIMAGELIST himl, COLORREF clrBk) {
    std::lock_guard<std::mutex> lock(ImageListMutex());
    _IMAGELIST* list = LiveLocked(himl);
    if (list == nullptr)
        return CLR_NONE;
    COLORREF previous = list->background;
    list->background = clrBk;
    return previous;
}

COLORREF WINAPI ImageList_GetBkColor(HIMAGELIST himl) {
    std::lock_guard<std::mutex> lock(ImageListMutex());
    _IMAGELIST* list = LiveLocked(himl);
    return list ? list->background : CLR_NONE;
}

} // extern "C"

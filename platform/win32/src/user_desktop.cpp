// The desktop around the windows: its observers and the message-box answerer, cursors and
// icons, beeps, the windows' system menus, the modules' resources and the GDI objects
// (bitmaps and fonts) that windows and image lists use.
#include "user_internal.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <strings.h>

namespace emu {
namespace user {

namespace {

// ---------------------------------------------------------------------------------------
// Observers

struct Observers {
    std::mutex lock;
    std::condition_variable idle;
    std::vector<DesktopObserver*> list;
    std::map<DesktopObserver*, int> busy; // calls in progress, all threads
    MessageBoxAnswerer answerer;
};

Observers& TheObservers() {
    static Observers* observers = new Observers;
    return *observers;
}

thread_local std::vector<DesktopObserver*> t_inside; // observers this thread is calling

// ---------------------------------------------------------------------------------------
// Cursors and icons: the standard ones, identified by their resource numbers.

struct StandardImage {
    WORD id;
    const char* name;
};

const StandardImage kCursors[] = {
    {32512, "arrow"},       {32513, "ibeam"},    {32514, "wait"},     {32515, "cross"},
    {32516, "uparrow"},     {32642, "sizenwse"}, {32643, "sizenesw"}, {32644, "sizewe"},
    {32645, "sizens"},      {32646, "sizeall"},  {32648, "no"},       {32649, "hand"},
    {32650, "appstarting"}, {32651, "help"},
};

const StandardImage kIcons[] = {
    {32512, "application"}, {32513, "hand"},     {32514, "question"},
    {32515, "exclamation"}, {32516, "asterisk"}, {32517, "winlogo"},
};

template <size_t N> HICON StandardHandle(const StandardImage (&table)[N], LPCSTR name) {
    if (!IS_INTRESOURCE(name))
        return NULL;
    WORD id = static_cast<WORD>(reinterpret_cast<UINT_PTR>(name));
    for (const StandardImage& image : table)
        if (image.id == id)
            return reinterpret_cast<HICON>(const_cast<StandardImage*>(&image));
    return NULL;
}

std::atomic<HCURSOR>& CurrentCursor() {
    static std::atomic<HCURSOR> cursor{StandardHandle(kCursors, IDC_ARROW)};
    return cursor;
}

// ---------------------------------------------------------------------------------------
// System menus: an HMENU is its window's handle with bit 31 set.

constexpr UINT_PTR kMenuBit = 0x80000000u;

HMENU MenuOf(HWND hwnd) {
    return reinterpret_cast<HMENU>(reinterpret_cast<UINT_PTR>(hwnd) | kMenuBit);
}

Window* MenuWindowLocked(HMENU menu) {
    UINT_PTR value = reinterpret_cast<UINT_PTR>(menu);
    if ((value & kMenuBit) == 0 || value > 0xFFFFFFFFu)
        return nullptr;
    Window* window = FindLocked(reinterpret_cast<HWND>(value & ~kMenuBit));
    return window && !window->systemMenu.empty() ? window : nullptr;
}

MenuItem* MenuItemLocked(Window& window, UINT item, UINT flags) {
    auto& items = window.systemMenu;
    if (flags & MF_BYPOSITION)
        return item < items.size() ? &items[item] : nullptr;
    for (MenuItem& entry : items)
        if (entry.id == item && item != 0)
            return &entry;
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Resources

struct Resource {
    std::vector<BYTE> bytes;
    bool registered = true;
};

struct ResourceKey {
    UINT_PTR module;
    std::string type; // "#5" for an ordinal type
    WORD id;
    bool operator<(const ResourceKey& other) const {
        return std::tie(module, type, id) < std::tie(other.module, other.type, other.id);
    }
};

struct Resources {
    std::mutex lock;
    std::map<ResourceKey, std::shared_ptr<Resource>> table;
    std::vector<std::shared_ptr<Resource>> handedOut; // HRSRC values stay valid
};

Resources& TheResources() {
    static Resources* resources = new Resources;
    return *resources;
}

std::string TypeKey(LPCSTR type) {
    if (IS_INTRESOURCE(type))
        return "#" + std::to_string(reinterpret_cast<UINT_PTR>(type));
    std::string key = type;
    for (char& c : key)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return key;
}

// A resource name as an id: an ordinal or "#123". False for other names.
bool NameId(LPCSTR name, WORD* id) {
    if (IS_INTRESOURCE(name)) {
        *id = static_cast<WORD>(reinterpret_cast<UINT_PTR>(name));
        return true;
    }
    if (name == nullptr || name[0] != '#' || name[1] == '\0')
        return false;
    char* end = nullptr;
    unsigned long value = std::strtoul(name + 1, &end, 10);
    if (*end != '\0' || value > 0xFFFF)
        return false;
    *id = static_cast<WORD>(value);
    return true;
}

std::shared_ptr<Resource> FindResourceEntry(HMODULE module, LPCSTR type, LPCSTR name,
                                            DWORD* error) {
    WORD id = 0;
    if (type == nullptr || !NameId(name, &id)) {
        *error = ERROR_RESOURCE_NAME_NOT_FOUND;
        return nullptr;
    }
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> lock(resources.lock);
    ResourceKey key{reinterpret_cast<UINT_PTR>(module), TypeKey(type), id};
    auto it = resources.table.find(key);
    if (it != resources.table.end())
        return it->second;
    bool typeKnown = std::any_of(resources.table.begin(), resources.table.end(), [&](auto& e) {
        return e.first.module == key.module && e.first.type == key.type;
    });
    *error = typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// GDI objects

struct GdiObject {
    bool isBitmap = true;
    BitmapData bitmap;
    std::string face;
    int points = 0;
};

struct GdiObjects {
    std::mutex lock;
    std::map<UINT_PTR, std::shared_ptr<GdiObject>> table;
    UINT_PTR next = 1;
};

GdiObjects& TheGdiObjects() {
    static GdiObjects* objects = new GdiObjects;
    return *objects;
}

HGDIOBJ AddGdiObject(std::shared_ptr<GdiObject> object) {
    GdiObjects& objects = TheGdiObjects();
    std::lock_guard<std::mutex> lock(objects.lock);
    UINT_PTR value = 0x20000000u + (objects.next++ << 2);
    objects.table[value] = std::move(object);
    return reinterpret_cast<HGDIOBJ>(value);
}

std::shared_ptr<GdiObject> FindGdiObject(HGDIOBJ handle) {
    GdiObjects& objects = TheGdiObjects();
    std::lock_guard<std::mutex> lock(objects.lock);
    auto it = objects.table.find(reinterpret_cast<UINT_PTR>(handle));
    return it == objects.table.end() ? nullptr : it->second;
}

constexpr LONG kMaxBitmapSide = 16384;
constexpr size_t kMaxBitmapPixels = 16u << 20;

// Reads a bitmap resource (BITMAPINFOHEADER, colour table, rows) within its bounds.
bool ParseDib(const std::vector<BYTE>& bytes, BitmapData* out) {
    BITMAPINFOHEADER header{};
    if (bytes.size() < sizeof(header))
        return false;
    std::memcpy(&header, bytes.data(), sizeof(header));
    if (header.biSize < sizeof(header) || header.biSize > bytes.size() || header.biPlanes != 1)
        return false;
    LONG width = header.biWidth;
    LONG height = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        static_cast<size_t>(width) * static_cast<size_t>(height) > kMaxBitmapPixels)
        return false;
    WORD bits = header.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return false;
    if (header.biCompression != BI_RGB)
        return false;
    size_t colours = 0;
    if (bits <= 8) {
        colours = header.biClrUsed ? header.biClrUsed : (1u << bits);
        if (colours > (1u << bits))
            return false;
    }
    size_t offset = header.biSize;
    if (colours * sizeof(RGBQUAD) > bytes.size() - offset)
        return false;
    std::vector<RGBQUAD> palette(colours);
    if (colours > 0)
        std::memcpy(palette.data(), bytes.data() + offset, colours * sizeof(RGBQUAD));
    offset += colours * sizeof(RGBQUAD);
    size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    if (stride * static_cast<size_t>(height) > bytes.size() - offset)
        return false;
    BitmapData data;
    data.width = width;
    data.height = height;
    data.bitsPerPixel = bits;
    data.pixels.resize(static_cast<size_t>(width) * height);
    bool bottomUp = header.biHeight > 0;
    for (LONG y = 0; y < height; ++y) {
        const BYTE* row = bytes.data() + offset + stride * static_cast<size_t>(y);
        LONG target = bottomUp ? height - 1 - y : y;
        for (LONG x = 0; x < width; ++x) {
            COLORREF colour = 0;
            if (bits == 24 || bits == 32) {
                const BYTE* p = row + x * (bits / 8);
                colour = RGB(p[2], p[1], p[0]);
            } else {
                size_t bit = static_cast<size_t>(x) * bits;
                unsigned value = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (value >= colours)
                    return false;
                colour =
                    RGB(palette[value].rgbRed, palette[value].rgbGreen, palette[value].rgbBlue);
            }
            data.pixels[static_cast<size_t>(target) * width + x] = colour;
        }
    }
    *out = std::move(data);
    return true;
}

} // namespace

void ForEachObserver(const std::function<void(DesktopObserver&)>& call) {
    Observers& observers = TheObservers();
    std::vector<DesktopObserver*> snapshot;
    {
        std::lock_guard<std::mutex> lock(observers.lock);
        snapshot = observers.list;
    }
    for (DesktopObserver* observer : snapshot) {
        {
            std::lock_guard<std::mutex> lock(observers.lock);
            auto& list = observers.list;
            if (std::find(list.begin(), list.end(), observer) == list.end())
                continue; // removed meanwhile
            ++observers.busy[observer];
        }
        t_inside.push_back(observer);
        call(*observer);
        t_inside.pop_back();
        {
            std::lock_guard<std::mutex> lock(observers.lock);
            if (--observers.busy[observer] == 0)
                observers.busy.erase(observer);
        }
        observers.idle.notify_all();
    }
}

int AnswerMessageBox(const MessageBoxInfo& box) {
    auto isButton = [&](int id) {
        return std::find(box.buttons.begin(), box.buttons.end(), id) != box.buttons.end();
    };
    int answer = kNoAnswer;
    bool later = false;
    ForEachObserver([&](emu::DesktopObserver& observer) {
        int given = observer.OnMessageBoxOpened(box);
        if (given == kAnswerLater)
            later = true;
        else if (answer == kNoAnswer && isButton(given))
            answer = given;
    });
    if (answer != kNoAnswer)
        return answer;
    if (later)
        return kAnswerLater;
    MessageBoxAnswerer answerer;
    {
        Observers& observers = TheObservers();
        std::lock_guard<std::mutex> lock(observers.lock);
        answerer = observers.answerer;
    }
    if (answerer) {
        int given = answerer(box);
        if (isButton(given))
            return given;
    }
    return box.defaultButton;
}

bool CloseCommandEnabledLocked(const Window& window) {
    if (window.windowClass->style & CS_NOCLOSE)
        return false;
    for (const MenuItem& item : window.systemMenu)
        if (item.id == SC_CLOSE)
            return (item.state & (MF_GRAYED | MF_DISABLED)) == 0;
    return true;
}

bool FindResourceBytes(HMODULE module, LPCSTR type, LPCSTR name, std::vector<BYTE>* bytes) {
    DWORD error = 0;
    std::shared_ptr<Resource> resource = FindResourceEntry(module, type, name, &error);
    if (!resource)
        return internal::Fail(error);
    *bytes = resource->bytes;
    return true;
}

HBITMAP CreateBitmapObject(BitmapData data) {
    auto object = std::make_shared<GdiObject>();
    object->bitmap = std::move(data);
    return static_cast<HBITMAP>(AddGdiObject(std::move(object)));
}

bool GetBitmapData(HBITMAP bitmap, BitmapData* data) {
    std::shared_ptr<GdiObject> object = FindGdiObject(bitmap);
    if (!object || !object->isBitmap)
        return false;
    *data = object->bitmap;
    return true;
}

HFONT CreateFontObject(const std::string& face, int points) {
    auto object = std::make_shared<GdiObject>();
    object->isBitmap = false;
    object->face = face;
    object->points = points;
    return static_cast<HFONT>(AddGdiObject(std::move(object)));
}

} // namespace user

// ---------------------------------------------------------------------------------------
// The emulation's desktop interface

void RegisterResource(HMODULE module, LPCSTR type, WORD id, const void* bytes, size_t size) {
    if (type == nullptr || (bytes == nullptr && size > 0))
        return;
    auto resource = std::make_shared<user::Resource>();
    const BYTE* begin = static_cast<const BYTE*>(bytes);
    resource->bytes.assign(begin, begin + size);
    user::Resources& resources = user::TheResources();
    std::lock_guard<std::mutex> lock(resources.lock);
    user::ResourceKey key{reinterpret_cast<UINT_PTR>(module), user::TypeKey(type), id};
    auto& slot = resources.table[key];
    if (slot)
        slot->registered = false;
    slot = resource;
}

bool UnregisterResource(HMODULE module, LPCSTR type, WORD id) {
    if (type == nullptr)
        return false;
    user::Resources& resources = user::TheResources();
    std::lock_guard<std::mutex> lock(resources.lock);
    auto it = resources.table.find(
        user::ResourceKey{reinterpret_cast<UINT_PTR>(module), user::TypeKey(type), id});
    if (it == resources.table.end())
        return false;
    it->second->registered = false;
    resources.table.erase(it);
    return true;
}

bool UnregisterModuleResources(HMODULE module) {
    user::Resources& resources = user::TheResources();
    std::lock_guard<std::mutex> lock(resources.lock);
    bool any = false;
    for (auto it = resources.table.begin(); it != resources.table.end();) {
        if (it->first.module == reinterpret_cast<UINT_PTR>(module)) {
            it->second->registered = false;
            it = resources.table.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    return any;
}

void AddDesktopObserver(DesktopObserver* observer) {
    if (observer == nullptr)
        return;
    user::Observers& observers = user::TheObservers();
    std::lock_guard<std::mutex> lock(observers.lock);
    if (std::find(observers.list.begin(), observers.list.end(), observer) == observers.list.end())
        observers.list.push_back(observer);
}

void RemoveDesktopObserver(DesktopObserver* observer) {
    user::Observers& observers = user::TheObservers();
    std::unique_lock<std::mutex> lock(observers.lock);
    auto& list = observers.list;
    list.erase(std::remove(list.begin(), list.end(), observer), list.end());
    // Calls made by this very thread (an observer removing itself) do not count.
    int mine = static_cast<int>(std::count(user::t_inside.begin(), user::t_inside.end(), observer));
    observers.idle.wait(lock, [&] {
        auto it = observers.busy.find(observer);
        return (it == observers.busy.end() ? 0 : it->second) <= mine;
    });
}

void SetDefaultMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    user::Observers& observers = user::TheObservers();
    std::lock_guard<std::mutex> lock(observers.lock);
    observers.answerer = std::move(answerer);
}

std::string CursorName(HCURSOR cursor) {
    for (const user::StandardImage& image : user::kCursors)
        if (reinterpret_cast<HCURSOR>(const_cast<user::StandardImage*>(&image)) == cursor)
            return image.name;
    return std::string();
}

} // namespace emu

using namespace emu::user;
using emu::internal::Fail;

extern "C" {

// ---------------------------------------------------------------------------------------
// Cursors, icons, beeps

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    HCURSOR cursor = hInstance == NULL ? StandardHandle(kCursors, lpCursorName) : NULL;
    if (cursor == NULL)
        Fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    return cursor;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
    HCURSOR previous = CurrentCursor().exchange(hCursor);
    if (previous != hCursor)
        ForEachObserver([&](emu::DesktopObserver& observer) { observer.OnCursorChanged(hCursor); });
    return previous;
}

HCURSOR WINAPI GetCursor(void) {
    return CurrentCursor().load();
}

BOOL WINAPI DestroyCursor(HCURSOR) {
    return TRUE;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    HICON icon = hInstance == NULL ? StandardHandle(kIcons, lpIconName) : NULL;
    if (icon == NULL)
        Fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    return icon;
}

BOOL WINAPI DestroyIcon(HICON) {
    return TRUE;
}

BOOL WINAPI MessageBeep(UINT uType) {
    ForEachObserver([&](emu::DesktopObserver& observer) { observer.OnBeep(uType); });
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// System menus

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
    bool closeWasGreyed = false;
    {
        Guard lock(DesktopMutex());
        Window* window = FindOrFailLocked(hWnd);
        if (window == nullptr || !(window->style & WS_SYSMENU))
            return NULL;
        if (bRevert) {
            closeWasGreyed = !window->systemMenu.empty() && !CloseCommandEnabledLocked(*window);
            window->systemMenu.clear();
        } else {
            if (window->systemMenu.empty()) {
                DWORD style = window->style;
                auto& items = window->systemMenu;
                auto enabledIf = [&](DWORD bit) -> UINT {
                    return (style & bit) ? MF_ENABLED : MF_GRAYED;
                };
                if (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) {
                    items.push_back(MenuItem{SC_RESTORE, MF_GRAYED});
                    items.push_back(MenuItem{SC_MOVE, MF_ENABLED});
                    items.push_back(MenuItem{SC_SIZE, enabledIf(WS_THICKFRAME)});
                    items.push_back(MenuItem{SC_MINIMIZE, enabledIf(WS_MINIMIZEBOX)});
                    items.push_back(MenuItem{SC_MAXIMIZE, enabledIf(WS_MAXIMIZEBOX)});
                } else {
                    items.push_back(MenuItem{SC_MOVE, MF_ENABLED});
                }
                items.push_back(MenuItem{0, MF_SEPARATOR});
                items.push_back(MenuItem{SC_CLOSE, MF_ENABLED});
            }
            return MenuOf(hWnd);
        }
    }
    if (closeWasGreyed)
        ForEachObserver(
            [&](emu::DesktopObserver& observer) { observer.OnCloseCommandEnabled(hWnd, true); });
    return NULL;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    HWND hwnd = NULL;
    UINT previous = 0;
    bool closeChanged = false, closeEnabled = false;
    {
        Guard lock(DesktopMutex());
        Window* window = MenuWindowLocked(hMenu);
        if (window == nullptr) {
            Fail(ERROR_INVALID_MENU_HANDLE);
            return -1;
        }
        MenuItem* item = MenuItemLocked(*window, uIDEnableItem, uEnable);
        if (item == nullptr)
            return -1;
        bool wasEnabled = CloseCommandEnabledLocked(*window);
        previous = item->state & (MF_GRAYED | MF_DISABLED);
        item->state =
            (item->state & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
        closeEnabled = CloseCommandEnabledLocked(*window);
        closeChanged = item->id == SC_CLOSE && wasEnabled != closeEnabled;
        hwnd = window->hwnd;
    }
    if (closeChanged)
        ForEachObserver([&](emu::DesktopObserver& observer) {
            observer.OnCloseCommandEnabled(hwnd, closeEnabled);
        });
    return static_cast<BOOL>(previous);
}

UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
    Guard lock(DesktopMutex());
    Window* window = MenuWindowLocked(hMenu);
    if (window == nullptr) {
        Fail(ERROR_INVALID_MENU_HANDLE);
        return static_cast<UINT>(-1);
    }
    MenuItem* item = MenuItemLocked(*window, uId, uFlags);
    return item ? item->state : static_cast<UINT>(-1);
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
    Guard lock(DesktopMutex());
    Window* window = MenuWindowLocked(hMenu);
    if (window == nullptr) {
        Fail(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return static_cast<int>(window->systemMenu.size());
}

BOOL WINAPI DrawMenuBar(HWND hWnd) {
    return IsWindow(hWnd) ? TRUE : Fail(ERROR_INVALID_WINDOW_HANDLE);
}

// ---------------------------------------------------------------------------------------
// Resources

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    DWORD error = 0;
    std::shared_ptr<Resource> resource = FindResourceEntry(hModule, lpType, lpName, &error);
    if (!resource) {
        Fail(error);
        return NULL;
    }
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> lock(resources.lock);
    auto& handed = resources.handedOut;
    if (std::find(handed.begin(), handed.end(), resource) == handed.end())
        handed.push_back(resource);
    return reinterpret_cast<HRSRC>(resource.get());
}

namespace {

Resource* HandedOut(HRSRC handle) {
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> lock(resources.lock);
    for (const auto& resource : resources.handedOut)
        if (reinterpret_cast<HRSRC>(resource.get()) == handle)
            return resource.get();
    return nullptr;
}

} // namespace

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
    Resource* resource = HandedOut(hResInfo);
    if (resource == nullptr) {
        Fail(ERROR_RESOURCE_DATA_NOT_FOUND);
        return NULL;
    }
    return reinterpret_cast<HGLOBAL>(resource);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    Resource* resource = HandedOut(reinterpret_cast<HRSRC>(hResData));
    if (resource == nullptr)
        return nullptr;
    return resource->bytes.data();
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
    Resource* resource = HandedOut(hResInfo);
    if (resource == nullptr) {
        Fail(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(resource->bytes.size());
}

BOOL WINAPI FreeResource(HGLOBAL) {
    return FALSE;
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
    std::vector<BYTE> bytes;
    if (!FindResourceBytes(hInstance, RT_BITMAP, lpBitmapName, &bytes))
        return NULL;
    BitmapData data;
    if (!ParseDib(bytes, &data)) {
        Fail(ERROR_INVALID_DATA);
        return NULL;
    }
    return CreateBitmapObject(std::move(data));
}

// ---------------------------------------------------------------------------------------
// GDI objects

HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount,
                            const void* lpBits) {
    if (nWidth <= 0 || nHeight <= 0 || nWidth > kMaxBitmapSide || nHeight > kMaxBitmapSide ||
        static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight) > kMaxBitmapPixels ||
        nPlanes != 1 || (nBitCount != 1 && nBitCount != 24 && nBitCount != 32)) {
        Fail(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    BitmapData data;
    data.width = nWidth;
    data.height = nHeight;
    data.bitsPerPixel = static_cast<int>(nBitCount);
    data.pixels.assign(static_cast<size_t>(nWidth) * nHeight, 0);
    if (lpBits != nullptr) {
        // Rows of a device-dependent bitmap are aligned on 16 bits, top row first.
        size_t stride = ((static_cast<size_t>(nWidth) * nBitCount + 15) / 16) * 2;
        const BYTE* bits = static_cast<const BYTE*>(lpBits);
        for (int y = 0; y < nHeight; ++y) {
            const BYTE* row = bits + stride * static_cast<size_t>(y);
            for (int x = 0; x < nWidth; ++x) {
                COLORREF colour = 0;
                if (nBitCount == 1)
                    colour = (row[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFF : 0;
                else {
                    const BYTE* p = row + x * (nBitCount / 8);
                    colour = RGB(p[2], p[1], p[0]);
                }
                data.pixels[static_cast<size_t>(y) * nWidth + x] = colour;
            }
        }
    }
    return CreateBitmapObject(std::move(data));
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    GdiObjects& objects = TheGdiObjects();
    std::lock_guard<std::mutex> lock(objects.lock);
    return objects.table.erase(reinterpret_cast<UINT_PTR>(ho)) ? TRUE : FALSE;
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
    std::shared_ptr<GdiObject> object = FindGdiObject(h);
    if (!object || !object->isBitmap)
        return 0;
    if (pv == nullptr)
        return sizeof(BITMAP);
    if (c < static_cast<int>(sizeof(BITMAP)))
        return 0;
    BITMAP bitmap{};
    bitmap.bmWidth = object->bitmap.width;
    bitmap.bmHeight = object->bitmap.height;
    bitmap.bmBitsPixel = static_cast<WORD>(object->bitmap.bitsPerPixel);
    bitmap.bmPlanes = 1;
    bitmap.bmWidthBytes = ((object->bitmap.width * object->bitmap.bitsPerPixel + 15) / 16) * 2;
    std::memcpy(pv, &bitmap, sizeof(bitmap));
    return sizeof(BITMAP);
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
    std::shared_ptr<GdiObject> object = FindGdiObject(h);
    if (!object)
        return 0;
    return object->isBitmap ? OBJ_BITMAP : 6; // OBJ_FONT
}

} // extern "C"

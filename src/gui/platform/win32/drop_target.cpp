// Files and text dragged from other programs: an OLE drop target on the frame
// window turns one drop into one drop event, shortcuts replaced by their targets.
#include "gui/platform/win32/win32.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace gui::win32 {
namespace {

// Dropped file paths travel in buffers of this size.
constexpr std::size_t kPathSize = 1024;
// Resolving a shortcut shows no window, takes any match and gives up after 500 ms.
constexpr DWORD kResolveFlags = DWORD{SLR_NO_UI} | DWORD{SLR_ANY_MATCH} | (500u << 16);
constexpr int kWidePathSize = 2048;

FORMATETC formatOf(CLIPFORMAT format) {
    return {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

bool offers(IDataObject* data, CLIPFORMAT format) {
    FORMATETC wanted = formatOf(format);
    return data != nullptr && data->QueryGetData(&wanted) == S_OK;
}

bool fetch(IDataObject* data, CLIPFORMAT format, STGMEDIUM& medium) {
    FORMATETC wanted = formatOf(format);
    return data->GetData(&wanted, &medium) == S_OK && medium.hGlobal != nullptr;
}

bool endsWithLnk(const char* path) {
    const char* dot = std::strrchr(path, '.');
    return dot != nullptr && lstrcmpiA(dot, ".lnk") == 0;
}

/// The drop target of one frame window.
class FrameDropTarget final : public IDropTarget {
  public:
    explicit FrameDropTarget(FrameWindow& window) : window_(window) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL where,
                                        DWORD* effect) override {
        accepts_ = offers(data, CF_TEXT) || offers(data, CF_HDROP);
        return DragOver(keys, where, effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL /*where*/, DWORD* effect) override {
        if (effect == nullptr) return E_INVALIDARG;
        if (!accepts_) {
            *effect = DROPEFFECT_NONE;
        } else {
            *effect = (keys & MK_CONTROL) != 0 ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        accepts_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD /*keys*/, POINTL /*where*/,
                                   DWORD* /*effect*/) override {
        // The system calls in between window messages: nothing may be thrown back to it.
        try {
            deliver(data);
        } catch (...) {
        }
        return DragLeave();
    }

  private:
    ~FrameDropTarget() = default;

    void deliver(IDataObject* data) {
        if (data == nullptr) return;
        STGMEDIUM medium{};
        if (fetch(data, CF_TEXT, medium)) {
            deliverText(medium.hGlobal);
        } else if (fetch(data, CF_HDROP, medium)) {
            deliverFiles(static_cast<HDROP>(medium.hGlobal));
        } else {
            return;
        }
        ReleaseStgMedium(&medium);
    }

    void deliverText(HGLOBAL memory) {
        void* text = GlobalLock(memory);
        const SIZE_T size = GlobalSize(memory);
        if (text != nullptr && size != 0) window_.drop(&text, static_cast<std::int32_t>(size), 1);
        if (text != nullptr) GlobalUnlock(memory);
    }

    void deliverFiles(HDROP drop) {
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        std::vector<std::unique_ptr<char[]>> paths;
        std::vector<void*> items;
        for (UINT i = 0; i < count; ++i) {
            auto path = std::make_unique<char[]>(kPathSize);
            if (DragQueryFileA(drop, i, path.get(), kPathSize) == 0) continue;
            resolveShortcut(path.get(), kPathSize);
            items.push_back(path.get());
            paths.push_back(std::move(path));
        }
        if (!items.empty()) window_.drop(items.data(), static_cast<std::int32_t>(items.size()), 0);
    }

    FrameWindow& window_;
    ULONG references_ = 1;
    bool accepts_ = false;
};

/// Loads the shortcut `path` into `link` and writes its target's short path back.
bool readLink(IShellLinkA& link, char* path, std::size_t capacity) {
    IPersistFile* file = nullptr;
    if (FAILED(link.QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return false;
    wchar_t wide[kWidePathSize];
    bool resolved = MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kWidePathSize) != 0 &&
                    SUCCEEDED(file->Load(wide, STGM_READ)) &&
                    SUCCEEDED(link.Resolve(nullptr, kResolveFlags));
    if (resolved) {
        char target[kPathSize] = {};
        resolved =
            link.GetPath(target, static_cast<int>(kPathSize), nullptr, SLGP_SHORTPATH) == S_OK;
        if (resolved) lstrcpynA(path, target, static_cast<int>(std::min(capacity, kPathSize)));
    }
    file->Release();
    return resolved;
}

} // namespace

IDropTarget* createDropTarget(FrameWindow& window) {
    return new (std::nothrow) FrameDropTarget(window);
}

bool resolveShortcut(char* path, std::size_t capacity) {
    if (path == nullptr || !endsWithLnk(path)) return false;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return false;
    }
    const bool resolved = readLink(*link, path, capacity);
    link->Release();
    return resolved;
}

} // namespace gui::win32

#include "FileDrop.h"

#include <ole2.h>
#include <shellapi.h>

#include "ComObject.h"
#include "Win32Text.h"

namespace brelka {

class FileDrop::Target final : public ComObject<IDropTarget, IID_IDropTarget> {
  public:
    Target(HWND window, UINT message) : window_(window), message_(message) {}

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL at,
                                        DWORD* effect) override {
        FORMATETC format = FileList();
        hasFiles_ = data && data->QueryGetData(&format) == S_OK;
        over_ = POINT{at.x, at.y};
        *effect = Effect();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL at, DWORD* effect) override {
        over_ = POINT{at.x, at.y};
        *effect = Effect();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        hasFiles_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL at, DWORD* effect) override {
        *effect = DROPEFFECT_NONE;
        if (!accept_ || !data) return S_OK;
        FORMATETC format = FileList();
        STGMEDIUM medium{};
        if (data->GetData(&format, &medium) != S_OK) return S_OK;
        auto* drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
        if (drop) {
            paths_.clear();
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring name(length + 1, L'\0');
                DragQueryFileW(drop, i, name.data(), length + 1);
                name.resize(length);
                paths_.push_back(Utf8(name));
            }
            GlobalUnlock(medium.hGlobal);
            at_ = POINT{at.x, at.y};
            place_ = where_ && *where_ ? (*where_)(at_) : 0;
            *effect = DROPEFFECT_COPY;
            // The import runs after the file manager has its drop back.
            PostMessageW(window_, message_, 0, 0);
        }
        ReleaseStgMedium(&medium);
        return S_OK;
    }

    bool accept_ = true;
    std::vector<std::string> paths_;
    POINT at_{};
    POINT over_{}; // where the drag was last seen over the window
    const std::function<int(POINT)>* where_ = nullptr;
    int place_ = 0;

  private:
    static FORMATETC FileList() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }
    DWORD Effect() const { return accept_ && hasFiles_ ? DROPEFFECT_COPY : DROPEFFECT_NONE; }

    HWND window_;
    UINT message_;
    bool hasFiles_ = false;
};

FileDrop::FileDrop(HWND window, HWND told, UINT message)
    : window_(window), target_(new Target(told, message)) {
    target_->where_ = &where;
    RegisterDragDrop(window_, target_);
}

int FileDrop::Place() const {
    return target_->place_;
}

FileDrop::~FileDrop() {
    RevokeDragDrop(window_);
    target_->Release();
}

void FileDrop::Accept(bool on) {
    target_->accept_ = on;
}

std::vector<std::string> FileDrop::Take(POINT& at, POINT& lastOver) {
    at = target_->at_;
    lastOver = target_->over_;
    std::vector<std::string> paths;
    paths.swap(target_->paths_);
    return paths;
}

} // namespace brelka

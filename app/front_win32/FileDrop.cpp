#include "FileDrop.h"

#include <ole2.h>
#include <shellapi.h>

#include "ComObject.h"
#include "Win32Text.h"

namespace brelka {

class FileDrop::Target final : public ComObject<IDropTarget, IID_IDropTarget> {
  public:
    Target(HWND window, UINT message) : window_(window), message_(message) {}

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        FORMATETC format = FileList();
        hasFiles_ = data && data->QueryGetData(&format) == S_OK;
        *effect = Effect();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
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

  private:
    static FORMATETC FileList() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }
    DWORD Effect() const { return accept_ && hasFiles_ ? DROPEFFECT_COPY : DROPEFFECT_NONE; }

    HWND window_;
    UINT message_;
    bool hasFiles_ = false;
};

FileDrop::FileDrop(HWND window, HWND told, UINT message)
    : window_(window), target_(new Target(told, message)) {
    RegisterDragDrop(window_, target_);
}

FileDrop::~FileDrop() {
    RevokeDragDrop(window_);
    target_->Release();
}

void FileDrop::Accept(bool on) {
    target_->accept_ = on;
}

std::vector<std::string> FileDrop::Take(POINT& at) {
    at = target_->at_;
    std::vector<std::string> paths;
    paths.swap(target_->paths_);
    return paths;
}

} // namespace brelka

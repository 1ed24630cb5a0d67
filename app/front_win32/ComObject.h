// What every COM object of one interface made by this program does alike: it answers for that
// interface and IUnknown, and it is deleted with its last reference (made with new, holding
// one reference).
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace brelka {

template <typename Interface, const IID& kInterfaceId> class ComObject : public Interface {
  public:
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == kInterfaceId) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --refs_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

  private:
    long refs_ = 1;
};

} // namespace brelka

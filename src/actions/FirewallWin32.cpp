// The firewall's class and interface identifiers are not in the import libraries: defined here
// (as selectable data), so initguid.h comes before the first include of netfw.h.
#include <initguid.h>

#include "actions/FirewallWin32.h"

#include "core/WinText.h"

#include <ole2.h>

namespace cs {

namespace {

// A BSTR owned for the length of one call.
class Bstr {
  public:
    explicit Bstr(const String& text) : value_(SysAllocString(W(text))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return value_; }

  private:
    BSTR value_;
};

} // namespace

HRESULT FirewallProfile::Connect() {
    ComRef<INetFwMgr> manager;
    HRESULT hr = CoCreateInstance(CLSID_NetFwMgr, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwMgr,
                                  reinterpret_cast<void**>(&manager));
    if (FAILED(hr)) return hr;
    ComRef<INetFwPolicy> policy;
    if (FAILED(hr = manager->get_LocalPolicy(&policy))) return hr;
    return policy->get_CurrentProfile(&profile_);
}

HRESULT FirewallProfile::OpenPort(uint32_t port, int protocol, const String& name) {
    if (!profile_.Get()) return E_POINTER;
    ComRef<INetFwOpenPorts> ports;
    HRESULT hr = profile_->get_GloballyOpenPorts(&ports);
    if (FAILED(hr)) return hr;
    ComRef<INetFwOpenPort> entry;
    hr = CoCreateInstance(CLSID_NetFwOpenPort, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwOpenPort,
                          reinterpret_cast<void**>(&entry));
    if (FAILED(hr)) return hr;
    Bstr text(name);
    if (!text.Get()) return E_OUTOFMEMORY;
    if (FAILED(hr = entry->put_Port(static_cast<LONG>(port)))) return hr;
    if (FAILED(hr = entry->put_Protocol(static_cast<NET_FW_IP_PROTOCOL>(protocol)))) return hr;
    if (FAILED(hr = entry->put_Name(text.Get()))) return hr;
    if (FAILED(hr = entry->put_Enabled(VARIANT_TRUE))) return hr;
    return ports->Add(entry.Get());
}

HRESULT FirewallProfile::ClosePort(uint32_t port, int protocol) {
    if (!profile_.Get()) return E_POINTER;
    ComRef<INetFwOpenPorts> ports;
    HRESULT hr = profile_->get_GloballyOpenPorts(&ports);
    if (FAILED(hr)) return hr;
    return ports->Remove(static_cast<LONG>(port), static_cast<NET_FW_IP_PROTOCOL>(protocol));
}

HRESULT FirewallProfile::AuthorizeProgram(const String& path, const String& name) {
    if (!profile_.Get()) return E_POINTER;
    ComRef<INetFwAuthorizedApplications> applications;
    HRESULT hr = profile_->get_AuthorizedApplications(&applications);
    if (FAILED(hr)) return hr;
    ComRef<INetFwAuthorizedApplication> application;
    hr = CoCreateInstance(CLSID_NetFwAuthorizedApplication, nullptr, CLSCTX_INPROC_SERVER,
                          IID_INetFwAuthorizedApplication, reinterpret_cast<void**>(&application));
    if (FAILED(hr)) return hr;
    Bstr image(path), text(name);
    if (!image.Get() || !text.Get()) return E_OUTOFMEMORY;
    if (FAILED(hr = application->put_ProcessImageFileName(image.Get()))) return hr;
    if (FAILED(hr = application->put_Name(text.Get()))) return hr;
    if (FAILED(hr = application->put_Enabled(VARIANT_TRUE))) return hr;
    return applications->Add(application.Get());
}

HRESULT FirewallProfile::RemoveProgram(const String& path) {
    if (!profile_.Get()) return E_POINTER;
    ComRef<INetFwAuthorizedApplications> applications;
    HRESULT hr = profile_->get_AuthorizedApplications(&applications);
    if (FAILED(hr)) return hr;
    Bstr image(path);
    if (!image.Get()) return E_OUTOFMEMORY;
    return applications->Remove(image.Get());
}

} // namespace cs

// The firewall's local policy, current profile: open ports and authorised programs, added and
// removed. Every call returns the HRESULT of the step that failed, or S_OK. Needs COM on the
// calling thread.
#pragma once

#include "core/HandleWin32.h"
#include "core/String.h"

#include <windows.h>

#include <netfw.h>

#include <cstdint>

namespace cs {

class FirewallProfile {
  public:
    HRESULT Connect();
    HRESULT OpenPort(uint32_t port, int protocol, const String& name);
    HRESULT ClosePort(uint32_t port, int protocol);
    HRESULT AuthorizeProgram(const String& path, const String& name);
    HRESULT RemoveProgram(const String& path);

  private:
    ComRef<INetFwProfile> profile_;
};

} // namespace cs

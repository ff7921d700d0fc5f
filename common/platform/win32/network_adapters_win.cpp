#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

#include "common/platform/code_page.h"
#include "common/platform/network_adapters.h"

namespace kavrel {

bool ListNetworkAdapters(std::vector<NetworkAdapter>& adapters) {
  adapters.clear();
  // Grow the buffer as the system asks; the list may change between calls.
  ULONG size = sizeof(IP_ADAPTER_INFO);
  std::vector<unsigned char> buffer;
  DWORD result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.assign(size, 0);
    result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  if (result == ERROR_NO_DATA) return true;
  if (result != ERROR_SUCCESS) return false;
  for (const IP_ADAPTER_INFO* a = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); a;
       a = a->Next) {
    NetworkAdapter adapter;
    adapter.description = BytesToText(std::string(a->Description, strnlen(a->Description, sizeof(a->Description))),
                                      kCodePageAnsi);
    const UINT length = a->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? a->AddressLength
                                                                      : MAX_ADAPTER_ADDRESS_LENGTH;
    adapter.address.assign(a->Address, a->Address + length);
    adapters.push_back(std::move(adapter));
  }
  return true;
}

}  // namespace kavrel

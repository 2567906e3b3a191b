#include "platform/linux/systemd/SystemdMachineId.h"

#include <systemd/sd-id128.h>

#include <algorithm>

namespace {

// This program's application id: fixed forever, or every machine's identifier changes.
constexpr sd_id128_t APPLICATION_ID =
    SD_ID128_MAKE(1b, 95, ea, b5, ce, 6f, 4a, 0d, 80, b9, f8, 26, ac, 2f, bc, 87);

}  // namespace

std::optional<MachineId::Bytes> SystemdMachineId::forThisProgram() {
  sd_id128_t id{};
  if (sd_id128_get_machine_app_specific(APPLICATION_ID, &id) < 0) return std::nullopt;
  Bytes bytes{};
  std::copy(std::begin(id.bytes), std::end(id.bytes), bytes.begin());
  return bytes;
}

#include "store/durable_file.h"

#include "platform/os/files.h"

namespace store {

bool WriteFileDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                      std::string* error) {
  return platform::os::ReplaceFileDurably(file, bytes, error);
}

}  // namespace store

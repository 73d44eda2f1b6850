#include "store/durable_file.h"

#include "core/file_io.h"

namespace store {

bool WriteFileDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes,
                      std::string* error) {
  std::string why;
  if (core::WriteFileSafely(file, bytes, why)) return true;
  if (error) *error = why;
  return false;
}

}  // namespace store

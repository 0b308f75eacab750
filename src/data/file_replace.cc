#include "data/file_replace.h"

#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace zlv {

void ReplaceFileContents(const std::filesystem::path& path, const std::filesystem::path& temp,
                         std::string_view bytes) {
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("Não foi possível criar o arquivo " + temp.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw std::runtime_error("Não foi possível gravar o arquivo " + temp.string());
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw std::runtime_error("Não foi possível gravar o arquivo " + path.string() + ": " +
                             ec.message());
  }
}

}  // namespace zlv

#include "print/print_files.h"

#include "bizlib/cp1252.h"
#include "platform/durable_file.h"

namespace zlv {

namespace fs = std::filesystem;

namespace {

// The spooler only takes ".txt" files; a ticket being written carries this extension instead.
constexpr std::string_view kTempExtension = ".tmp";

// A part may not name another folder, a drive or a stream, nor carry bytes a file name must
// not hold; it may hold any other text, accented letters included.
void CheckNamePart(std::string_view part) {
  bool bad = part.find("..") != std::string_view::npos;
  for (unsigned char c : part) {
    if (c == '/' || c == '\\' || c == ':' || c < 0x20 || c == 0x7F) bad = true;
  }
  if (bad) {
    throw TicketNameError("Nome de arquivo de impressão inválido: valor \"" + std::string(part) +
                          "\" fora da pasta de impressão");
  }
}

fs::path Utf8Path(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

fs::path PrintDataFolder(const fs::path& exe_folder) { return exe_folder / "Dados" / "Imp"; }

fs::path TicketFolder(const fs::path& exe_folder) { return PrintDataFolder(exe_folder) / "Files"; }

fs::path TicketPath(const fs::path& exe_folder, std::initializer_list<std::string_view> parts) {
  std::string name;
  for (std::string_view part : parts) {
    CheckNamePart(part);
    name += part;
  }
  name += ".txt";
  // Belt and braces: whatever the parts held, the file must sit directly in the ticket folder.
  fs::path path = TicketFolder(exe_folder) / Utf8Path(name);
  if (path.parent_path() != TicketFolder(exe_folder) || path.filename() != Utf8Path(name)) {
    throw TicketNameError("Nome de arquivo de impressão inválido: \"" + name + "\"");
  }
  return path;
}

std::string TicketFileBytes(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += Utf8ToCp1252(line);
    bytes += "\r\n";
  }
  return bytes;
}

void WriteTicketFile(const fs::path& path, const std::vector<std::string>& lines) {
  const std::string bytes = TicketFileBytes(lines);
  fs::path temp = path;
  temp.replace_extension(kTempExtension);
  // Durable before it returns: the caller deletes the ticket's journal row next, and a power cut
  // must not leave neither the ticket nor the row that owes it.
  platform::WriteFileDurably(path, temp, bytes);
}

}  // namespace zlv

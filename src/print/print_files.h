// Where tickets and printer-routing files go and how a ticket reaches the disk.
//
// The spooler picks up every ".txt" file of the ticket folder, so a ticket is written under a
// temporary ".tmp" name in the same folder and renamed over its final name only when complete:
// the spooler never sees half a ticket. The file and the rename reach the disk before
// WriteTicketFile returns (platform/durable_file.h), so a ticket whose writer returned survives a
// power cut. Text is converted from UTF-8 to Windows-1252 and every line, the last one
// included, ends with CR LF.
//
// Ticket names are built from database values (printer number, order number, store code). A
// value that could reach outside the ticket folder (a path separator, a drive colon, "..") or
// that holds a control character is refused with TicketNameError before anything is written.
//
// Stateless; any thread, though the ticket writers all run on the main thread.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

class TicketNameError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// <exe folder>/Dados/Imp: the printer-routing files.
std::filesystem::path PrintDataFolder(const std::filesystem::path& exe_folder);
// <exe folder>/Dados/Imp/Files: the ticket files. Start-up creates it; the writers do not.
std::filesystem::path TicketFolder(const std::filesystem::path& exe_folder);

// The ticket folder plus the parts joined with nothing between them plus ".txt".
std::filesystem::path TicketPath(const std::filesystem::path& exe_folder,
                                 std::initializer_list<std::string_view> parts);

// The bytes of a ticket file: each line (UTF-8) in Windows-1252 followed by CR LF.
std::string TicketFileBytes(const std::vector<std::string>& lines);

// Writes the lines (UTF-8) as one Windows-1252 file with CR LF line ends, creating or replacing
// it in one piece. Throws std::runtime_error naming the file on any failure; the final name is
// then left as it was.
void WriteTicketFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace zlv

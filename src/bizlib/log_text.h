// LogText: a text from outside the program (a server's or router's reply, a database driver's
// or the network's error message, a downloaded name) made fit for one line of the activity
// log. Such a text is logged inside a line of ours, and unchecked it could break that line,
// write lines that look like ours ("... - FIM -> SincronizaDLV") or fill the disk.
//
// - Line breaks and other control characters are written as escapes: CR as \r, LF as \n,
//   TAB as \t, every other byte below 0x20 and DEL as \xNN (two upper-case hex digits).
//   A backslash is kept as it is, so Windows paths in error texts stay readable; a "\n" in
//   the log may therefore also be the text's own two characters, never a line break.
// - The result holds at most max_bytes bytes of the (escaped) text; a longer text is cut
//   there, never inside a UTF-8 character or an escape, and ends with the marker
//   " …[cortado: N bytes]", N being how many bytes of the original text were left out.
//
// Pure function; thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zlv {

// What one outside text may take of a log line.
inline constexpr std::size_t kLogTextMaxBytes = 2000;
// What a whole log entry may take: the writer's own bound, under which every entry the program
// composes (the router message echo with all its items included) fits.
inline constexpr std::size_t kLogEntryMaxBytes = 64 * 1024;

std::string LogText(std::string_view text, std::size_t max_bytes = kLogTextMaxBytes);

}  // namespace zlv

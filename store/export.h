// The JSON backup file: its default name and the texts around an export.
// Database::export_json (export.cpp) writes the file.
//
// The file is UTF-8 without a byte-order mark, printed as JsonValue prints
// a document: {"format": "quillet-export", "version": 2, "entries": [...],
// "snippets": [...], "snippet_groups": [...]}. Entries are the live text
// entries, then the live image entries, each in list order (effectively
// pinned first, then by sort order); snippets are the live ones by title.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// "Quillet-backup-YYYY-MM-DD_HH-MM.json" for the local time. A month outside
// 1 to 12 and a day outside 1 to 31 are written as 1, an hour above 23 and
// a minute above 59 as 0.
std::wstring default_backup_file_name(const SYSTEMTIME& local_time);

// The folder of a backup path: the text before its last "\" or "/" (a
// drive root keeps its separator); empty when there is none.
std::wstring backup_folder_of(const std::wstring& path);

// After a successful export: "status.exported_to" with the path, a blank
// line, and the question "status.open_folder".
std::wstring export_done_message(const std::wstring& path);

// The length of the Base64 text of size bytes ("=" padded).
std::size_t base64_length(std::size_t size);

// Writes the Base64 text of the bytes (standard alphabet, "=" padding, the
// same text as base64_encode) to out, which has room for
// base64_length(size) characters; returns that length.
std::size_t base64_encode_to(const std::uint8_t* data, std::size_t size, char* out);

// The name of an export's temporary file beside target: target, ".", the
// process id, "-", the tick count, "-", the attempt, ".tmp".
std::wstring backup_temp_name(const std::wstring& target, unsigned long process_id, unsigned long long tick,
                              unsigned attempt);
// True when name (a file name without folder) is one backup_temp_name makes
// for a target named target_name.
bool is_backup_temp_name(const std::wstring& target_name, const std::wstring& name);
// The process id in name when it is one backup_temp_name makes for any
// target; 0 when it is not.
unsigned long backup_temp_process(const std::wstring& name);

// The first bytes of every backup file (and of an export's temporary file
// once anything is written to it).
inline constexpr char kBackupHead[] = "{\n  \"format\": \"quillet-export\"";

// Deletes the temporary files interrupted exports left in target's folder,
// whatever target they were for: files named as backup_temp_name names them
// that hold nothing but the start of a backup, of a process that is no
// longer running (one whose id now belongs to a process started after the
// file was made counts as gone). The file of an export under way stays, and
// so does any file that is not one of this program's. The number deleted.
int remove_backup_leftovers(const std::wstring& target);

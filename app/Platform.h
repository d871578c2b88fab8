#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <string>

// What a platform supplies to the application; one implementation per platform (app/posix/,
// app/win32/).
namespace tolvar {

// The stored description of the main form, embedded in the executable; raises Exception when
// it is missing.
std::string StoredForm1Description();

// The run log's file in the user's own data (UTF-8 path); empty when the system names no folder.
std::string RunLogPath();

// The operating system's name and version, for the run log.
std::string SystemText();

// The calendar time in the user's time zone.
std::tm LocalTime(std::time_t time);

// Runs `work` while this process alone holds the lock file (made when missing); waits at most
// `wait` for another holder. False, without running it, when the lock could not be had.
bool RunLocked(const std::string& lockFile, std::chrono::milliseconds wait,
               const std::function<void()>& work);

// The log's file operations, on UTF-8 paths; none raises. (The standard library's streams and
// file system would more than double the size of the static Windows program.)
enum class TFileRead { Read, Missing, Failed };
TFileRead ReadWholeFile(const std::string& path, std::string& text);
// Writes the whole text, at the end of the file when `append`, else in place of what it held.
bool WriteWholeFile(const std::string& path, const std::string& text, bool append);
// Puts `from` in the place of `to`, replacing it at once.
bool PutFileInPlace(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);
// Makes the folder that holds `path`, and the folders above it where missing.
bool MakeFolderFor(const std::string& path);

} // namespace tolvar

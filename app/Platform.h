#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

// What a platform supplies to the application; one implementation per platform (app/posix/,
// app/win32/).
namespace tolvar {

// The stored description of the main form, embedded in the executable; raises Exception when
// it is missing.
std::string StoredForm1Description();

// The folder of the run log in the user's own data; empty when the system names none.
std::filesystem::path RunLogFolder();

// The operating system's name and version, for the run log.
std::string SystemText();

// The calendar time in the user's time zone.
std::tm LocalTime(std::time_t time);

// Runs `work` while this process alone holds the lock file (made when missing); waits at most
// `wait` for another holder. False, without running it, when the lock could not be had.
bool RunLocked(const std::filesystem::path& lockFile, std::chrono::milliseconds wait,
               const std::function<void()>& work);

} // namespace tolvar

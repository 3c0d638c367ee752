#ifndef DOSEGATE_LOG_H
#define DOSEGATE_LOG_H

#include <cstdarg>
#include <ctime>
#include <string>

// Levelled, time-stamped lines on standard output, and assertion reports
// that end the program.

enum LogLevel {
    LOG_CRITICAL = 0,
    LOG_ALERT = 1,
    LOG_WARNING = 2,
    LOG_NOTICE = 3,
    LOG_DEBUG = 4
};

void LogPrint(int level, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void LogPrintV(int level, const char* fmt, va_list args);
void LogDebug(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

[[noreturn]] void AssertReport(const char* condition, const char* comment,
                               const char* file, int line);

// "[YYYY-MM-DD hh:mm:ss]  " for the given calendar time, in local time.
std::string LogTimeStamp(std::time_t when);

// The level's name as written in a line; unknown levels read as debug.
const char* LogLevelName(int level);

#define LOG_ASSERT(condition, comment)                                   \
    do {                                                                 \
        if (!(condition))                                                \
            AssertReport(#condition, (comment), __FILE__, __LINE__);     \
    } while (0)

#endif

#include "Log.h"

#include <cstdio>
#include <cstdlib>

std::string LogTimeStamp(std::time_t when)
{
    // The decoder thread logs too: each C runtime's reentrant conversion.
    std::tm local {};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "[%04d-%02d-%02d %02d:%02d:%02d]  ",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

const char* LogLevelName(int level)
{
    switch (level) {
    case LOG_CRITICAL: return "[Critial]  ";
    case LOG_ALERT: return "[Alert]  ";
    case LOG_WARNING: return "[Warning]  ";
    case LOG_NOTICE: return "[Notice]  ";
    default: return "[Debug]  ";
    }
}

static void WriteLinePrefix(int level)
{
    std::fputs(LogTimeStamp(std::time(nullptr)).c_str(), stdout);
    std::fputs(LogLevelName(level), stdout);
}

void LogPrint(int level, const char* fmt, ...)
{
    WriteLinePrefix(level);
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
}

void LogPrintV(int level, const char* fmt, va_list args)
{
    WriteLinePrefix(level);
    std::vprintf(fmt, args);
}

void LogDebug(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    LogPrintV(LOG_DEBUG, fmt, args);
    va_end(args);
}

void AssertReport(const char* condition, const char* comment, const char* file, int line)
{
    LogPrint(LOG_CRITICAL, "FileName: %s  Line: %d  Condition: %s  Comment: %s\n",
             file, line, condition, comment);
    // abort() skips stdio's clean-up: without this the report is lost
    // whenever standard output is a pipe or a file.
    std::fflush(stdout);
    std::abort();
}

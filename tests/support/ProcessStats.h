// SPDX-License-Identifier: MIT
#pragma once

// What this process uses, read from the kernel: CPU time, memory, open descriptors.

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstring>
#include <sys/resource.h>

// AddressSanitizer holds freed memory in quarantine, so resident size tells nothing under it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryIsMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kResidentMemoryIsMeaningful = false;
#else
inline constexpr bool kResidentMemoryIsMeaningful = true;
#endif
#else
inline constexpr bool kResidentMemoryIsMeaningful = true;
#endif

inline double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A field of /proc/self/status such as "VmRSS:" or "VmHWM:", in KiB.
inline qint64 memoryKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field)) + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Starts VmHWM afresh, so that it shows the peak from now on.
inline void resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

inline qsizetype openFileDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

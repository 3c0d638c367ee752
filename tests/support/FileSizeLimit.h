#ifndef DOSEGATE_FILESIZELIMIT_H
#define DOSEGATE_FILESIZELIMIT_H

#include <sys/resource.h>

#include <csignal>

// Holds the size limit for files this process writes, as a full disk would;
// a write past it fails instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t nBytes)
    {
        m_bSet = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit limit = m_old;
        limit.rlim_cur = nBytes;
        m_bSet = m_bSet && setrlimit(RLIMIT_FSIZE, &limit) == 0;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        if (m_bSet)
            setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool IsSet() const { return m_bSet; }

private:
    rlimit m_old;
    bool m_bSet;
    void (*m_oldHandler)(int);
};

#endif

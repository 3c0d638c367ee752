#include "StdoutCapture.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    m_file.open();
    std::fflush(stdout);
    m_nSavedFd = ::dup(STDOUT_FILENO);
    ::dup2(m_file.handle(), STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    Finish();
}

QByteArray StdoutCapture::Peek() const
{
    if (m_nSavedFd < 0)
        return m_text;
    std::fflush(stdout);
    // A file of its own: standard output shares the capture's file offset.
    QFile file(m_file.fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray StdoutCapture::Finish()
{
    if (m_nSavedFd < 0)
        return m_text;
    std::fflush(stdout);
    ::dup2(m_nSavedFd, STDOUT_FILENO);
    ::close(m_nSavedFd);
    m_nSavedFd = -1;
    m_file.seek(0);
    m_text = m_file.readAll();
    return m_text;
}

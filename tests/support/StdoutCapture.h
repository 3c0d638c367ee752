#ifndef DOSEGATE_STDOUTCAPTURE_H
#define DOSEGATE_STDOUTCAPTURE_H

#include <QByteArray>
#include <QTemporaryFile>

// Sends the process's standard output to a file for as long as it lives,
// or until Finish() hands back what was written.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();

    QByteArray Finish();
    // What was written so far; the capture goes on.
    QByteArray Peek() const;

private:
    QTemporaryFile m_file;
    int m_nSavedFd = -1;
    QByteArray m_text;
};

#endif

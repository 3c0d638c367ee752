#ifndef DOSEGATE_SOCKETCOMPAT_H
#define DOSEGATE_SOCKETCOMPAT_H

#include <QtGlobal>

// The socket's error signal was renamed in Qt 6.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#define SOCKET_ERROR_SIGNAL SIGNAL(errorOccurred(QAbstractSocket::SocketError))
#else
#define SOCKET_ERROR_SIGNAL SIGNAL(error(QAbstractSocket::SocketError))
#endif

#endif

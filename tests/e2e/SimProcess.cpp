#include "SimProcess.h"

#include <QRegularExpression>
#include <QTest>

SimProcess::SimProcess(const QStringList& options)
    : m_options(options)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            Kill();
    }
}

bool SimProcess::Start(quint16 port)
{
    m_process.start(QStringLiteral(CONTROLLER_SIM), m_options + QStringList { "--port", QString::number(port) });
    if (!m_process.waitForStarted(5000))
        return false;
    const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:(\\d+)"));
    QRegularExpressionMatch match;
    const bool up = QTest::qWaitFor([&] {
        match = listening.match(Output());
        return match.hasMatch() || m_process.state() == QProcess::NotRunning;
    }, 5000);
    if (!up || !match.hasMatch())
        return false;
    m_nPort = quint16(match.captured(1).toUInt());
    return true;
}

void SimProcess::Kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString SimProcess::Output()
{
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

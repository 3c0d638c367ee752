#include "FakeConsole.h"

#include "FrameProtocol.h"

#include <QCoreApplication>
#include <QTime>

QString FakeConsole::GetServerIp() const
{
    ++addressRequests;
    return ip;
}

int FakeConsole::GetServerPort() const
{
    return port;
}

void FakeConsole::SetStateText(const QString& text)
{
    NoteThread();
    states << text;
}

void FakeConsole::ShowDoseLine(int id, int count, int tag)
{
    NoteThread();
    doseLines << DoseLine { id, count, tag, FrameProtocol::FormatDoseLine(id, count, tag, QTime::currentTime()) };
}

int FakeConsole::GetCalibrationId() const
{
    return calibrationId;
}

void FakeConsole::SetLastCoefficients(double c1, double c2, double c3)
{
    NoteThread();
    coefficients << QList<double> { c1, c2, c3 };
}

void FakeConsole::NoteThread()
{
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        widgetCallOffGuiThread = true;
}

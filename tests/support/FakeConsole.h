#ifndef DOSEGATE_FAKECONSOLE_H
#define DOSEGATE_FAKECONSOLE_H

#include "LinkConsole.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>

// Records what the link asks of the window, and on which thread.
class FakeConsole : public LinkConsole
{
public:
    struct DoseLine {
        int id;
        int count;
        int tag;
        QString text;
    };

    QString GetServerIp() const override;
    int GetServerPort() const override;
    void SetStateText(const QString& text) override;
    void ShowDoseLine(int id, int count, int tag) override;
    int GetCalibrationId() const override;
    void SetLastCoefficients(double c1, double c2, double c3) override;

    QString ip = QStringLiteral("127.0.0.1");
    int port = 0;
    std::atomic<int> calibrationId { 1 };

    QStringList states;
    QList<DoseLine> doseLines;
    QList<QList<double>> coefficients;
    mutable int addressRequests = 0;
    bool widgetCallOffGuiThread = false;

private:
    void NoteThread();
};

#endif

#ifndef DOSEGATE_BENCH_BENCHCONSOLE_H
#define DOSEGATE_BENCH_BENCHCONSOLE_H

#include "LinkConsole.h"

// A window for the link that only counts what reaches it.
class BenchConsole : public LinkConsole
{
public:
    QString GetServerIp() const override { return QStringLiteral("127.0.0.1"); }
    int GetServerPort() const override { return port; }
    void SetStateText(const QString& text) override
    {
        state = text;
        ++stateChanges;
    }
    void ShowDoseLine(int, int, int) override { ++doseLines; }
    int GetCalibrationId() const override { return calibrationId; }
    void SetLastCoefficients(double, double, double) override { ++coefficients; }

    int port = 0;
    int calibrationId = 1;
    QString state;
    qint64 stateChanges = 0;
    qint64 doseLines = 0;
    qint64 coefficients = 0;
};

#endif

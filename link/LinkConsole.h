#ifndef DOSEGATE_LINKCONSOLE_H
#define DOSEGATE_LINKCONSOLE_H

#include <QString>

// The window operations the device link calls. The window implements them;
// tests pass a fake.
class LinkConsole
{
public:
    virtual ~LinkConsole() = default;

    // Link session, GUI thread.
    virtual QString GetServerIp() const = 0;
    virtual int GetServerPort() const = 0;
    virtual void SetStateText(const QString& text) = 0;

    // Decoder. ShowDoseLine and SetLastCoefficients come from the session's
    // relay on the GUI thread, after the signals of the frames before them;
    // the dose line at most every TcpSocket::kDoseLineMs, with the newest
    // frame. GetCalibrationId is called on the decoder thread.
    virtual void ShowDoseLine(int id, int count, int tag) = 0;
    virtual int GetCalibrationId() const = 0;
    virtual void SetLastCoefficients(double c1, double c2, double c3) = 0;
};

#endif

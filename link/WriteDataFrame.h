#ifndef DOSEGATE_WRITEDATAFRAME_H
#define DOSEGATE_WRITEDATAFRAME_H

#include <QObject>

class LinkCommand;
class QTcpSocket;

// Builds every command frame and writes it to the link's socket. Nothing
// waits for an answer here: replies come back through the decoder. While
// the socket is not open nothing is written.
class WriteDataFrame : public QObject
{
    Q_OBJECT

public:
    explicit WriteDataFrame(QObject* parent = nullptr);

    void SetSocket(QTcpSocket* socket);

    void SetThreshold(int id, float threshold);
    void SetDisplaySwitch(int id, int on);
    void SetDetectorParameters(int id, int p1, int p2, int p3);
    void ChangeNodeId(int currentId, int newId);
    void SetLanguage(int id, int language);
    void SetPrecision(int id, int precision);
    void SetCalibrationCoefficients(int id, double c1, double c2, double c3);
    void GetCalibrationCoefficients(int id);
    void SetDisplayUnit(int id, int unit);
    void SetAlarmTest(int id, int on);
    void ChangeSlaveAddress(int currentAddress, int newAddress);
    void PotentiometerDown(int id, int steps);
    void PotentiometerUp(int id, int steps);

    void SendFixedDoseFrame();
    // Wraps one inner frame in the envelope and writes it.
    void SendFrame(const char* frame, int len);

signals:
    // A command went to the socket, as the frame written, envelope
    // included; dose requests are not commands.
    void CommandSent(int code, int target, const QByteArray& frame);

private:
    bool CanSend() const;
    QByteArray Write(const char* frame, int len);
    void Send(const LinkCommand& command);

    QTcpSocket* m_pSocket; // not owned: the link session's
};

#endif

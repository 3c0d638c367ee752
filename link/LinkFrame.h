#ifndef DOSEGATE_LINKFRAME_H
#define DOSEGATE_LINKFRAME_H

#include <QVector>

// A reply as the decoder thread hands it to the GUI thread, stamped with the
// time its bytes reached the decoder.
struct LinkFrame {
    enum Kind { Acknowledgement, DoseCount, Coefficients };

    Kind kind;
    int nId;    // the answering node
    int nValue; // y of an acknowledgement, the count of a dose count
    int nCode;  // x of an acknowledgement, the tag of a dose count
    double fCoefficients[3];
    qint64 nArrivalMs; // ms since the epoch, UTC
};

using LinkBatch = QVector<LinkFrame>;

#endif

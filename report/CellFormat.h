#ifndef DOSEGATE_CELLFORMAT_H
#define DOSEGATE_CELLFORMAT_H

#include <QColor>
#include <QHashFunctions>

// Format attributes of one cell, gathered as the automation calls arrive;
// the workbook file turns each distinct combination into one cell style.
struct CellFormat
{
    double fontSize = 0; // 0: the workbook's default font size
    bool wrap = false;
    bool centreHorizontal = false;
    bool centreVertical = false;
    bool border = false; // continuous thin line on all four sides
    QColor borderColour; // invalid: automatic

    bool IsPlain() const;
    bool operator==(const CellFormat& other) const;
    bool operator!=(const CellFormat& other) const { return !(*this == other); }
};

// QHash's hash type: uint in Qt 5, size_t in Qt 6.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
using HashValue = size_t;
#else
using HashValue = uint;
#endif

HashValue qHash(const CellFormat& format, HashValue seed = 0);

#endif

#include "CellFormat.h"

bool CellFormat::IsPlain() const
{
    return *this == CellFormat();
}

bool CellFormat::operator==(const CellFormat& other) const
{
    return fontSize == other.fontSize && wrap == other.wrap && centreHorizontal == other.centreHorizontal
        && centreVertical == other.centreVertical && border == other.border
        && borderColour == other.borderColour;
}

HashValue qHash(const CellFormat& format, HashValue seed)
{
    const uint flags = uint(format.wrap) | uint(format.centreHorizontal) << 1 | uint(format.centreVertical) << 2
        | uint(format.border) << 3 | uint(format.borderColour.isValid()) << 4;
    return qHash(format.fontSize, seed) ^ qHash(flags, seed) ^ qHash(format.borderColour.rgba(), seed);
}

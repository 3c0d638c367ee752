#ifndef DOSEGATE_WORKBOOKREADER_H
#define DOSEGATE_WORKBOOKREADER_H

#include <QString>

// The Python 3 that CMake found, for the scripts that read exported
// workbooks back with openpyxl, an implementation independent of ours.
class WorkbookReader
{
public:
    // Its path, or empty when there is none or it cannot import openpyxl;
    // tests then skip with kMissing (fail under CI=true).
    static QString Python();
    static const char* const kMissing;
};

#endif

#include "FontSubstitutes.h"

#include <QFont>
#include <QStringList>

namespace {

// The package's fonts: DejaVu for the layout, WenQuanYi Micro Hei for the
// full-width punctuation and the CJK captions.
const char* const kSans = "DejaVu Sans";
const char* const kSerif = "DejaVu Serif";
const char* const kCjk = "WenQuanYi Micro Hei";

struct Substitute {
    const char* family; // as the form names it
    const char* first;
};

// Serif faces stay serif, as fontconfig would have chosen.
const Substitute kFormFamilies[] = {
    { "Times New Roman", kSerif },
    { "SimSun", kSerif },
    { "SimSun-ExtB", kSerif },
    { "\xe5\xae\x8b\xe4\xbd\x93", kSans }, // SimSun's Chinese name
    { "Arial", kSans },
    { "Adobe Arabic", kSans },
    { "\xe5\xbe\xae\xe8\xbd\xaf\xe9\x9b\x85\xe9\xbb\x91", kSans }, // Microsoft YaHei's Chinese name
};

} // namespace

void FontSubstitutes::Install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (const Substitute& s : kFormFamilies)
        QFont::insertSubstitutions(QString::fromUtf8(s.family),
                                   { QString::fromLatin1(s.first), QString::fromLatin1(kCjk) });
}

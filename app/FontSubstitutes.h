#ifndef DOSEGATE_FONTSUBSTITUTES_H
#define DOSEGATE_FONTSUBSTITUTES_H

// The form names the fonts of the desktop it was drawn on. Where one is
// absent, every font the form sets would send Qt through fontconfig's
// fallback search; substituted once, before the form is built, each lookup
// finds the families the package brings at once. A family that is present
// is still used itself.
class FontSubstitutes
{
public:
    static void Install();
};

#endif

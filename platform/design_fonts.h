#pragma once
// The faces the windows were designed with, and the free faces that stand in
// for them on a Debian desktop where the originals are missing.

#include <QFont>

namespace veskor {

enum class DesignFace { ComicSansMS, Verdana, Arial, MSSansSerif };

// `pixels` is the character height without internal leading, as the layouts
// give it.
QFont DesignFont(DesignFace face, int pixels, bool bold = false);

}  // namespace veskor

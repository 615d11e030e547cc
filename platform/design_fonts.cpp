#include "platform/design_fonts.h"

#include <QStringList>

namespace veskor {

QFont DesignFont(DesignFace face, int pixels, bool bold) {
  // The original face comes first, for a user who has it installed.
  QStringList families;
  switch (face) {
    case DesignFace::ComicSansMS:
      families = {QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue")};
      break;
    case DesignFace::Verdana:
      families = {QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")};
      break;
    case DesignFace::Arial:
      families = {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
      break;
    case DesignFace::MSSansSerif:
      families = {QStringLiteral("DejaVu Sans")};
      break;
  }
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

}  // namespace veskor

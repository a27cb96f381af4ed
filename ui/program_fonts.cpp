#include "program_fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QString>
#include <QStringList>

namespace {

const QString kWindowFamily = QStringLiteral("Tahoma");
const QString kCourierFamily = QStringLiteral("Courier New");
const QString kCourierTwin = QStringLiteral("Liberation Mono");

// Debian's fonts-wine: Tahoma and Tahoma Bold with Tahoma's metrics, kept
// off fontconfig's path, so the program registers them itself.
const char* const kTahomaFaces[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                    "/usr/share/wine/fonts/tahomabd.ttf"};

// Fontconfig answers every family name with some face; only the face it
// resolved tells whether the family is really there.
bool Resolves(const QString& family) {
    return QFontInfo(QFont(family)).family().compare(family, Qt::CaseInsensitive) == 0;
}

} // namespace

void LoadProgramFonts() {
    static const bool loaded = [] {
        if (!Resolves(kWindowFamily))
            for (const char* face : kTahomaFaces)
                QFontDatabase::addApplicationFont(QString::fromLatin1(face));
        return true;
    }();
    (void)loaded;
}

QFont WindowFont() {
    LoadProgramFonts();
    QFont font(kWindowFamily);
    font.setPointSizeF(8.25);
    return font;
}

QFont CourierFont(qreal pointSize) {
    LoadProgramFonts();
    QFont font;
    font.setFamilies(QStringList{kCourierFamily, kCourierTwin});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(pointSize);
    return font;
}

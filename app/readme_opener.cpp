#include "readme_opener.h"

#include "program_folder.h"

#include <QDesktopServices>
#include <QUrl>

QString ReadmePath() {
    return QString::fromStdString(ProgramFolder()) + "/readme.txt";
}

bool OpenInTextViewer(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

#include "splash_window.h"

#include "always_on_top.h"
#include "program_fonts.h"
#include "twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, int topTwips) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(TwipsToPixels(120), TwipsToPixels(topTwips), TwipsToPixels(3015),
                       TwipsToPixels(615));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

SplashWindow::SplashWindow() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("winSplash");
    setWindowTitle(QString());
    setFont(WindowFont());
    setFixedSize(TwipsToPixels(3270), TwipsToPixels(1890));

    lbla_ = MakeLabel(this, "lbla", 120);
    QFont bold = font();
    bold.setBold(true);
    lbla_->setFont(bold);
    lblB_ = MakeLabel(this, "lblB", 840);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
}

QString SplashWindow::StartUpText() {
    return QStringLiteral("Starting Velmora...\n\nversion %1.%2.%3 alpha")
        .arg(VELMORA_VERSION_MAJOR)
        .arg(VELMORA_VERSION_MINOR)
        .arg(VELMORA_VERSION_PATCH);
}

void SplashWindow::ShowSomeInfo(const QString& info) {
    // Callers may write Windows line ends; the label breaks lines at "\n" only.
    QString text = info;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    lblB_->setText(text);
}

void SplashWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    SetAlwaysOnTop(windowHandle(), true);
    lbla_->setText(StartUpText());
}

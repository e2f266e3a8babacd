#include "shell/ui/startup_picture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace qelvio::shell {

StartupPicture::StartupPicture()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      picture_(":/bitmaps/startup_211.png") {
    setAttribute(Qt::WA_DeleteOnClose);
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
    startTimer(10);
}

void StartupPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x20, 0x30, 0x60));
    QRect target = picture_.rect();
    target.moveCenter(rect().center());
    painter.drawPixmap(target, picture_);
}

void StartupPicture::timerEvent(QTimerEvent*) { close(); }

}  // namespace qelvio::shell

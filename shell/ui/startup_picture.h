// The start-up picture: a borderless top-most window covering the screen
// with bitmap 211, closing itself on its first tick of a 10 ms timer, so it
// covers the screen while the main window is being built.
#pragma once

#include <QWidget>

namespace qelvio::shell {

class StartupPicture : public QWidget {
    Q_OBJECT
public:
    StartupPicture();

protected:
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent*) override;

private:
    QPixmap picture_;
};

}  // namespace qelvio::shell

#include "support/modal_box.h"

#include <QAbstractButton>
#include <QApplication>

ModalBoxAnswer::ModalBoxAnswer(int deadlineMs) : remainingPolls_(deadlineMs / 10) {
    connect(&timer_, &QTimer::timeout, this, &ModalBoxAnswer::Poll);
    timer_.start(10);
}

void ModalBoxAnswer::Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box && box->isVisible()) {
        seen_ = true;
        text_ = box->text();
        title_ = box->windowTitle();
        icon_ = box->icon();
        buttons_ = static_cast<int>(box->buttons().size());
        timer_.stop();
        if (!box->buttons().isEmpty())
            box->buttons().first()->click();
        else
            box->reject();
        return;
    }
    if (--remainingPolls_ <= 0) {
        timer_.stop();
        if (QWidget* stuck = QApplication::activeModalWidget())
            stuck->close();
    }
}

#include "service_lost_box.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

namespace {

// Lets events reach the box, its children and its window, and no one else.
class OnlyTheBox : public QObject {
  public:
    explicit OnlyTheBox(const QMessageBox& box) : box_(box) {}

    bool eventFilter(QObject* receiver, QEvent*) override {
        if (receiver->isWindowType())
            return static_cast<QWindow*>(receiver) != box_.windowHandle();
        for (const QObject* o = receiver; o; o = o->parent())
            if (o == &box_)
                return false;
        return true;
    }

  private:
    const QMessageBox& box_;
};

} // namespace

void ShowServiceLostBox(const QString& reason) {
    QMessageBox box(QMessageBox::Critical, "Velmora", reason, QMessageBox::Ok);
    // The reason can be reached with Tab (as text with links can) and copied
    // into a report; Enter answers OK.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                                Qt::LinksAccessibleByKeyboard);
    box.button(QMessageBox::Ok)->setFocus();
    // A read during start-up may end it: not under the busy cursor.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    OnlyTheBox filter(box);
    qApp->installEventFilter(&filter);
    box.exec();
    qApp->removeEventFilter(&filter);
}
